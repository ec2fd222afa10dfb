#!/usr/bin/env bash
# Builds everything under ThreadSanitizer (preset tsan, build/tsan) and runs the tests there through
# the tsan test preset (TSan's reports fail a test; a refused allocation answers null, as under the
# other sanitizers). Arguments go to ctest (default: the whole suite).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j3
ctest --preset tsan "$@"
