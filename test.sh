#!/usr/bin/env bash
# Builds Velinor and runs every test. Installs what is missing first.
# Extra arguments go to ctest (for example: ./test.sh -L unit -R Dvcodes).
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps
preset=${VELINOR_TEST_PRESET:-ci}
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)"
ctest --preset "$preset" -j "$(nproc)" "$@"
