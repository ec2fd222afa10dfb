#!/usr/bin/env bash
# Builds the tests of the threads that share state with a game's producer under ThreadSanitizer
# (preset tsan, build/tsan) and runs them. Arguments go to ctest (default: the preview tests; -R media_threads
# runs Media's handle table from two threads).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset tsan >/dev/null
cmake --build --preset tsan --target vokscore_preview_tests media_threads_tests
if [ $# -eq 0 ]; then set -- -R vokscore_preview; fi
# The platform's virtual clock and threads are part of the run: keep TSan's reports and fail on them.
TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1 second_deadlock_stack=1}" ctest --test-dir build/tsan --output-on-failure "$@"
