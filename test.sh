#!/usr/bin/env bash
# Installs what is missing, builds the test preset (sanitizers on) and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
cmake --preset test >/dev/null
cmake --build --preset test
# The fuzz targets need clang; without it their tests are skipped.
if command -v clang++ >/dev/null && command -v clang >/dev/null; then
  cmake --build --preset test --target fuzzers
fi
ctest --preset test "$@"
