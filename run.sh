#!/usr/bin/env bash
# Builds Velinor and starts it on the given files, or on sample DV clips made by the build.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"
bin=build/release/src

files=("$@")
if [[ ${#files[@]} -eq 0 ]]; then
  samples=build/samples
  if [[ ! -d $samples ]] || [[ -z $(ls -A "$samples" 2>/dev/null) ]]; then
    mkdir -p "$samples"
    "$bin/cli/velinor-samples" "$samples"
  fi
  mapfile -t files < <(find "$samples" -maxdepth 1 -type f | sort)
fi

if [[ -x $bin/ui/velinor ]]; then
  exec "$bin/ui/velinor" "${files[@]}"
fi
# Until the window lands, show what the program reads from each file.
for f in "${files[@]}"; do
  echo "== $f"
  "$bin/cli/velinor-cli" frames "$f" | head -n 20
done
