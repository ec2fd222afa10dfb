#!/usr/bin/env bash
# Installs what is missing, builds the release preset and starts the main program with the given arguments.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
bin=build/release/bin
if [ -x "$bin/mavrel" ]; then
  cd "$bin"
  exec ./mavrel "$@"
fi
echo "The main program is not built yet. Built in $bin:"
ls "$bin"
