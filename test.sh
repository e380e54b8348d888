#!/usr/bin/env bash
# Builds Velinor and runs every test. Installs what is missing first.
# Extra arguments go to ctest (for example: ./test.sh -L unit -R Dvcodes).
# With clang, the libFuzzer targets are built too and each replays its seed corpus once (no
# fuzzing); VELINOR_TEST_FUZZ=0 leaves them out.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps
preset=${VELINOR_TEST_PRESET:-ci}
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)"
ctest --preset "$preset" -j "$(nproc)" "$@"
if [[ ${VELINOR_TEST_FUZZ:-1} != 0 ]]; then
  if command -v clang++ >/dev/null; then
    cmake --preset fuzz >/dev/null
    cmake --build --preset fuzz -j "$(nproc)" --target fuzz-corpora
  else
    echo "test.sh: clang++ is missing, the fuzz corpora are not replayed" >&2
  fi
fi
