#!/usr/bin/env bash
# Runs one fuzz target for a bounded time from seeds that this system's writers make.
# Usage: run_fuzzer.sh <fuzz build folder> <target> <seconds>. Exit 77 (skipped) when not built.
set -euo pipefail
dir=$1 name=$2 seconds=$3
bin=$dir/fuzz_$name
if [ ! -x "$bin" ] || [ ! -x "$dir/fuzz_seeds" ]; then
  echo "fuzz_$name was not built (needs clang; ./test.sh builds it)"
  exit 77
fi
corpus=$dir/corpus/$name
artifacts=$dir/artifacts/$name
rm -rf "$corpus"
mkdir -p "$corpus" "$artifacts"
"$dir/fuzz_seeds" "$name" "$corpus"
# A fixed seed keeps a run repeatable, so a finding can be replayed.
exec "$bin" -seed=1 -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$artifacts/" "$corpus"
