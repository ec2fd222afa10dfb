#!/usr/bin/env bash
# scenedemo --textured: the textured scene has far more colours than the plain one, and its glass
# panes over the sky show as the 50/50 mix of the pink glass and the sky blue.
set -euo pipefail
demo=$1
work=$2
mkdir -p "$work"
"$demo" --textured --out "$work/textured.png" --width 160 --height 120
"$demo" --out "$work/plain.png" --width 160 --height 120
textured=$(identify -format '%k' "$work/textured.png")
plain=$(identify -format '%k' "$work/plain.png")
# Pink 0xff50d0 over the sky 565 (7, 20, 29), as the demo writes 565 pixels out.
glass=$(identify -verbose "$work/textured.png" | sed -n 's/^ *\([0-9]*\): .*srgb(156,80,222)$/\1/p')
echo "colours: textured $textured, plain $plain; glass over sky: ${glass:-0} pixels"
[ "$textured" -ge $((3 * plain)) ] || { echo "too few colours in the textured scene"; exit 1; }
[ "${glass:-0}" -ge 20 ] || { echo "no glass over the sky"; exit 1; }
