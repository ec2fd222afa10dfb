#!/usr/bin/env bash
# mzitool on pictures and sound that other programs wrote (ImageMagick, ffmpeg), then mziplay on the
# result and on a generated clip. Usage: tools_test.sh <bin folder> <work folder>. Exit 77: skipped.
set -euo pipefail
bin=$1 work=$2
command -v convert >/dev/null && command -v ffmpeg >/dev/null || { echo "needs ImageMagick and ffmpeg"; exit 77; }
rm -rf "$work" && mkdir -p "$work" && cd "$work"

# 6x4 red with a green top-left pixel (BMP), 6x4 blue (TGA), half a second of 440 Hz.
convert -size 6x4 xc:'#ff0000' -fill '#00ff00' -draw 'point 0,0' -type TrueColor BMP3:f0.bmp
convert -size 6x4 xc:'#0000ff' f1.tga
ffmpeg -loglevel error -y -f lavfi -i sine=frequency=440:duration=0.5 -ac 1 -ar 22050 -c:a pcm_s16le tone.wav

"$bin/mzitool" build pictures.mzi --fps 10 f0.bmp f1.tga
bytes() { od -An -tx1 -j "$1" -N "$2" pictures.mzi | tr -s ' ' | sed 's/^ //'; }
# Frame 0's pixels follow the header and one frame header (5-6-5, bottom row first).
[ "$(bytes 280 2)" = "00 f8" ] || { echo "bottom-left of frame 0: $(bytes 280 2)"; exit 1; }
[ "$(bytes 316 2)" = "e0 07" ] || { echo "top-left of frame 0: $(bytes 316 2)"; exit 1; }
[ "$(bytes 328 2)" = "1f 00" ] || { echo "frame 1: $(bytes 328 2)"; exit 1; }

"$bin/mzitool" build clip.mzi --fps 10 --wav tone.wav --start 1 f0.bmp f1.tga
info=$("$bin/mzitool" info clip.mzi)
echo "$info"
grep -q "2 frames at 10 fps" <<<"$info"
grep -q "track 0: tag 1, 1 channels, 22050 Hz, 16 bits, 22050 bytes, from frame 1" <<<"$info"

# Played to its end in a window of its own.
VOK_HEADLESS=1 VOK_LOG="$work/play.log" timeout 30 "$bin/mziplay" clip.mzi
grep -q "window show .*Media_MovieWindow" "$work/play.log"
"$bin/mzitool" demo demo.mzi --frames 8 --size 32x24 --format 10 --tone 330:300 --start 2
VOK_HEADLESS=1 timeout 30 "$bin/mziplay" demo.mzi

# Refusals come with a message and a failing status.
if "$bin/mziplay" f0.bmp 2>err.txt; then echo "played a picture"; exit 1; fi
grep -q "not a playable movie" err.txt
echo ok
