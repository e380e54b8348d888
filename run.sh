#!/usr/bin/env bash
# Builds Velinor and starts it on the given files, or on sample DV clips made by the build.
# Without a display it prints what the program reads from each file instead.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target velinor-cli velinor-samples
bin=build/release/src

files=("$@")
if [[ ${#files[@]} -eq 0 ]]; then
  samples=build/samples
  if ! compgen -G "$samples/*.avi" >/dev/null; then
    rm -rf "$samples"
    mkdir -p "$samples"
    "$bin/cli/velinor-samples" "$samples" >/dev/null
  fi
  mapfile -t files < <(find "$samples" -maxdepth 1 -type f -name '*.avi' | sort)
fi

if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} ]]; then
  echo "Aucun affichage (DISPLAY et WAYLAND_DISPLAY sont vides) : voici ce que Velinor lit dans chaque fichier." >&2
  "$bin/cli/velinor-cli" info "${files[@]}"
  for f in "${files[@]}"; do
    echo "== $f"
    "$bin/cli/velinor-cli" frames "$f" | head -n 5
  done
  exit 0
fi

cmake --build --preset release -j "$(nproc)" --target velinor
exec "$bin/ui/velinor" "${files[@]}"
