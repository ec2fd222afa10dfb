#!/usr/bin/env bash
# Installs what is missing, builds the test preset (sanitizers on) and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
cmake --preset test >/dev/null
cmake --build --preset test
# The fuzz targets need clang (scripts/deps.sh installs it); without it their tests are skipped.
skipped=""
if command -v clang++ >/dev/null && command -v clang >/dev/null; then
  cmake --build --preset test --target fuzzers
else
  skipped="the fuzz tests (fuzz.*) are skipped: clang/clang++ is not installed (scripts/deps.sh installs it)"
  echo "test.sh: $skipped"
fi
status=0
ctest --preset test "$@" || status=$?
[ -n "$skipped" ] && echo "test.sh: $skipped"
exit $status
