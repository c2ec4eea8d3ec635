#!/usr/bin/env bash
# The example projects keep rendering: every one through the gallery script
# at 64 x 64 with its first two movie frames, and the looping movies meet
# themselves: the frame after the last is the first again.
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

for loop in loop30:30 blue_sky:120; do
  name="${loop%:*}" after="${loop#*:}"
  "$bin" render "$root/examples/$name.vlm" -o "$work/first.bmp" --size 48x48 --frame 0
  "$bin" render "$root/examples/$name.vlm" -o "$work/after.bmp" --size 48x48 --frame "$after"
  cmp -s "$work/first.bmp" "$work/after.bmp" || { echo "FAIL: $name frame $after differs from frame 0"; exit 1; }
done
echo "examples passed"
