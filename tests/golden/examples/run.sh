#!/usr/bin/env bash
# The example projects keep rendering: every one through the gallery script
# at 64 x 64 with its first two movie frames, and the 30-frame loop meets
# itself: frame 30 is frame 0 again, so frame 29 leads into frame 0.
# Usage: bash run.sh PATH_TO_velmora
set -euo pipefail
bin="${1:?usage: run.sh PATH_TO_velmora}"
root="$(cd "$(dirname "$0")/../../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export VELMORA_SETTINGS="$work/velmora.ini"

bash "$root/scripts/gallery" --velmora "$bin" --size 64 --frames 2 --out "$work/gallery" --no-previews 2> "$work/log" ||
  { cat "$work/log"; echo "FAIL: the gallery script"; exit 1; }
for project in "$root"/examples/*.vlm; do
  name="$(basename "$project" .vlm)"
  [[ -s "$work/gallery/$name.png" ]] || { echo "FAIL: no picture of $name"; exit 1; }
done

"$bin" render "$root/examples/loop30.vlm" -o "$work/first.bmp" --size 48x48 --frame 0
"$bin" render "$root/examples/loop30.vlm" -o "$work/after.bmp" --size 48x48 --frame 30
cmp -s "$work/first.bmp" "$work/after.bmp" || { echo "FAIL: loop30 frame 30 differs from frame 0"; exit 1; }
echo "examples passed"
