#!/usr/bin/env bash
# Writes a cube with the model writer and checks what its dump shows: 24 vertices (four per side, each
# with its own texture corners) and 12 faces, one smoothing group per side.
set -euo pipefail
tool=$1 out=$2
rm -f "$out"
"$tool" cube "$out"
dump=$("$tool" dump "$out")
head -3 <<<"$dump"
grep -q '^model "cube" flags 0x0000 vertices 24 faces 12$' <<<"$dump"
[ "$(grep -c '^  f ' <<<"$dump")" -eq 12 ]
grep -q 'uv 0.9900 0.9900' <<<"$dump"
grep -q '^  f   11 .*smoothing 0x0020' <<<"$dump"
"$tool" sphere "$out" --text --segments 8 --rings 4
dump=$("$tool" dump "$out")
grep -q '^model "sphere" flags 0x0000 vertices 45 faces 48$' <<<"$dump"
# A shape it does not know, and a file that is not a model file, are errors.
if "$tool" pyramid "$out" 2>/dev/null; then exit 1; fi
if "$tool" dump "$0" 2>/dev/null; then exit 1; fi
# A file holding no model (not a model file, a model file cut to its header, nothing at all) is
# answered with that alone: none of the loader's own reports before it.
dir=$(dirname "$out")
head -c 16 "$out" >"$dir/header_only.mod"
: >"$dir/empty.mod"
for f in "$0" "$dir/header_only.mod" "$dir/empty.mod"; do
  if err=$("$tool" dump "$f" 2>&1 >/dev/null); then exit 1; fi
  [ "$err" = "modtool: no model in '$f'" ] || { echo "dump of $f said: $err"; exit 1; }
done
echo ok
