#!/usr/bin/env bash
# Installs what is missing, builds the test preset (sanitizers on) and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
cmake --preset test >/dev/null
cmake --build --preset test
ctest --preset test "$@"
