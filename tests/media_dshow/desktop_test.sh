#!/usr/bin/env bash
# mziview on a generated movie, headless: keys move through the frames, a capture is taken and the
# window closes; the viewer ends the process with its own code. Usage: desktop_test.sh <bin> <work>.
set -euo pipefail
bin=$1 work=$2
rm -rf "$work" && mkdir -p "$work" && cd "$work"
"$bin/mzitool" demo demo.mzi --frames 8 --size 32x24 --format 5

cat > keys.txt <<KEYS
0 window mziview
+400 key L
+200 key E
+200 capture $work/shot.png
+100 key ESCAPE
KEYS
status=0
VOK_HEADLESS=1 VOK_VIRTUAL_CLOCK=1 VOK_LOG="$work/view.log" VOK_INPUT_SCRIPT="$work/keys.txt" timeout 60 \
    "$bin/mziview" "$work/demo.mzi" || status=$?
[ "$status" -eq 120 ] || { echo "viewer ended with $status"; cat view.log; exit 1; }  # 0x12345678 & 0xFF
[ -s shot.png ] || { echo "no capture"; exit 1; }
grep -q "window show .*Media_MovieWindow" view.log || { echo "movie not shown"; cat view.log; exit 1; }

# A command line that names no movie ends the viewer at once with a failure.
status=0
VOK_HEADLESS=1 timeout 30 "$bin/mziview" keys.txt || status=$?
[ "$status" -eq 1 ] || { echo "viewer on a text file ended with $status"; exit 1; }
echo ok
