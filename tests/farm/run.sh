#!/usr/bin/env bash
# Movies rendered on a Slurm cluster (scripts/slurm-local start): a farm of 4
# tasks decodes frame for frame like one velmora movie, a frame range equals
# those frames of a whole run, a cancelled task leaves no damaged frame and a
# second farm finishes the movie; bad input gives the README's statuses.
# Skipped (status 77) when no cluster answers.
# Usage: bash run.sh PATH_TO_velmora
set -u
bin="${1:?usage: run.sh PATH_TO_velmora}"
here="$(cd "$(dirname "$0")" && pwd)"
if [[ -z "${SLURM_CONF:-}" && -f /tmp/velmora-slurm/slurm.conf ]]; then
  export SLURM_CONF=/tmp/velmora-slurm/slurm.conf
fi
if ! command -v scontrol > /dev/null || ! scontrol ping 2>/dev/null | grep -q "is UP"; then
  echo "no Slurm cluster answers (scripts/slurm-local start): skipped"
  exit 77
fi
# The tasks run on the cluster's node and must see the work folders.
work="$(mktemp -d /tmp/velmora-farm-test.XXXXXX)"
jobs=()
cleanup() {
  for j in "${jobs[@]}"; do scancel "$j" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
export VELMORA_SETTINGS="$work/velmora.ini"
passed=0
failed=0

expect() {  # expect NAME CONDITION-COMMAND...
  local name="$1"
  shift
  if "$@"; then passed=$((passed + 1)); else echo "FAIL $name"; failed=$((failed + 1)); fi
}

status() {  # status NAME WANT ARGS...: the exit status and one line on stderr when failing
  local name="$1" want="$2"
  shift 2
  "$bin" "$@" > "$work/out" 2> "$work/err"
  local got=$?
  if [[ "$got" != "$want" ]]; then
    echo "FAIL $name: exit status $got, expected $want"; cat "$work/err"
    failed=$((failed + 1))
  else
    passed=$((passed + 1))
  fi
}

# One MD5 per decoded frame.
frames_md5() { ffmpeg -v error -i "$1" -f framemd5 - | grep -v '^#'; }

# A 24-frame project at 64 x 64 whose seed, oversampling and cloud position
# are keyed, so ranges depend on the pens and the state of earlier frames.
project="$work/clouds.vlm"
{
  tr -d '\r' < "$here/../golden/project/new_project.resave"
  printf '"TDiv_MP 2 0 0 65536 23 65600" seed\n'
  printf '"TDiv_MP 2 0 0 1 23 3" oversampling\n'
  printf '"TDiv_MP 2 0 0 0 23 0.5" "TDiv_MP 1 0 0 0" cloud_position\n'
  printf '64 64 resolution\n0 23 frames\n'
} > "$project"

status whole-movie 0 movie "$project" -o "$work/whole.avi" --codec ffv1
mkdir -p "$work/whole" "$work/mid"
status whole-series 0 movie "$project" -o "$work/whole/f.png" --alpha "$work/whole/a.png"
expect whole-series-complete test -f "$work/whole/f0023.png" -a -f "$work/whole/a0023.png"

# A range in the middle equals the same frames of the whole run.
status middle-range 0 movie "$project" --frames 9..14 -o "$work/mid/f.png" --alpha "$work/mid/a.png"
same_range=true
for f in 0009 0010 0011 0012 0013 0014; do
  cmp -s "$work/mid/f$f.png" "$work/whole/f$f.png" || same_range=false
  cmp -s "$work/mid/a$f.png" "$work/whole/a$f.png" || same_range=false
done
expect middle-range-equals-whole "$same_range"
expect middle-range-only test ! -e "$work/mid/f0008.png" -a ! -e "$work/mid/f0015.png"

# Four tasks on the cluster give the same movie, frame for frame.
status farm 0 farm "$project" -o "$work/farm.avi" --alpha "$work/farm-alpha.avi" --chunks 4 \
  --work-dir "$work/w1"
expect farm-equals-movie test "$(frames_md5 "$work/farm.avi")" = "$(frames_md5 "$work/whole.avi")"
expect farm-frame-count test "$(frames_md5 "$work/farm.avi" | wc -l)" = 24
expect farm-alpha-frames test "$(frames_md5 "$work/farm-alpha.avi" | wc -l)" = 24
expect farm-alpha-picture cmp -s "$work/w1/frames/alpha0017.png" "$work/whole/a0017.png"
# A second farm on the complete folder submits nothing and assembles again.
status farm-again 0 farm "$project" -o "$work/farm.avi" --alpha "$work/farm-alpha.avi" \
  --chunks 4 --work-dir "$work/w1"
expect farm-again-no-job test "$(grep -c "tasks for" "$work/err")" = 0

# With a texture the tasks mix with its copy in the work folder: the same
# frames as one movie with it; the folder then refuses another texture.
status texture-picture 0 render -o "$work/tex.png" --size 40x30 --seed 7
status texture-movie 0 movie "$project" -o "$work/tex.avi" --texture "$work/tex.png" \
  --texture-mix average --texture-layer over
status texture-farm 0 farm "$project" -o "$work/texfarm.avi" --chunks 2 --work-dir "$work/w3" \
  --texture "$work/tex.png" --texture-mix average --texture-layer over
expect texture-farm-equals-movie test "$(frames_md5 "$work/texfarm.avi")" = "$(frames_md5 "$work/tex.avi")"
expect texture-mixed test "$(frames_md5 "$work/tex.avi")" != "$(frames_md5 "$work/whole.avi")"
expect texture-copied cmp -s "$work/w3/texture.png" "$work/tex.png"
status texture-other-mix 1 farm "$project" -o "$work/texfarm.avi" --chunks 2 --work-dir "$work/w3" \
  --texture "$work/tex.png"
expect texture-other-mix-message grep -q "another texture" "$work/err"

# Normal maps on the farm equal those of one movie; the folder refuses
# height maps, and a folder recorded at another depth is refused too.
status depth-farm 2 farm "$project" -o "$work/deep.mkv" --chunks 2 --depth 16
status normal-movie 0 movie "$project" -o "$work/normal.avi" --codec ffv1 --buffer normal \
  --normal-strength 2
status normal-farm 0 farm "$project" -o "$work/normalfarm.avi" --codec ffv1 --chunks 2 \
  --work-dir "$work/w4" --buffer normal --normal-strength 2
expect normal-farm-equals-movie test "$(frames_md5 "$work/normalfarm.avi")" = "$(frames_md5 "$work/normal.avi")"
status other-buffer 1 farm "$project" -o "$work/normalfarm.avi" --chunks 2 --work-dir "$work/w4" \
  --buffer height
expect other-buffer-message grep -q "another buffer" "$work/err"
sed -i 's/^Depth=8$/Depth=16/' "$work/w4/farm.ini"
status other-depth 1 farm "$project" -o "$work/normalfarm.avi" --codec ffv1 --chunks 2 \
  --work-dir "$work/w4" --buffer normal --normal-strength 2
expect other-depth-message grep -q "another depth" "$work/err"

# A task cancelled part-way: no damaged frame; a second farm finishes.
status no-wait 0 farm "$project" -o "$work/cut.avi" --chunks 2 --work-dir "$work/w2" --no-wait
job="$(head -n 1 "$work/out")"
jobs+=("$job")
expect no-wait-assemble-command grep -q "^velmora assemble '$work/w2' -o '$work/cut.avi'" "$work/out"
for _ in $(seq 600); do
  [[ -e "$work/w2/frames/colour0001.png" ]] && break
  sleep 0.1
done
scancel "${job}_0"
echo "task 0 cancelled with $(ls "$work/w2/frames" | wc -l) pictures in place"
while squeue -h -j "$job" 2>/dev/null | grep -q .; do sleep 0.5; done
damaged=0
for f in "$work"/w2/frames/*.png; do
  [[ -e "$f" ]] || continue
  ffmpeg -v error -i "$f" -f null - > /dev/null 2>&1 || damaged=$((damaged + 1))
done
expect cancelled-no-damaged-frame test "$damaged" = 0
status assemble-incomplete 1 assemble "$work/w2" -o "$work/cut.avi"
expect assemble-names-missing-frame grep -q "frame [0-9]* (.*) is missing" "$work/err"
expect assemble-wrote-nothing test ! -e "$work/cut.avi"
status farm-finishes 0 farm "$project" -o "$work/cut.avi" --chunks 2 --work-dir "$work/w2"
expect farm-finishes-equal test "$(frames_md5 "$work/cut.avi")" = "$(frames_md5 "$work/whole.avi")"
status assemble 0 assemble "$work/w2" -o "$work/again.avi"
expect assemble-equal test "$(frames_md5 "$work/again.avi")" = "$(frames_md5 "$work/whole.avi")"
# Any movie format: a lossless FFV1 Matroska file holds the same pictures.
status assemble-mkv 0 assemble "$work/w2" -o "$work/again.mkv"
pictures_md5() { ffmpeg -v error -i "$1" -pix_fmt bgr24 -f framemd5 - | grep -v '^#' | awk -F, '{print $NF}'; }
expect assemble-mkv-equal test "$(pictures_md5 "$work/again.mkv")" = "$(pictures_md5 "$work/whole.avi")"

# Bad input.
status range-outside 2 movie "$project" --frames 20..24 -o "$work/bad/f.png"
status range-reversed 2 movie "$project" --frames 5..3 -o "$work/bad/f.png"
status range-malformed 2 movie "$project" --frames 5 -o "$work/bad/f.png"
expect bad-ranges-wrote-nothing test ! -e "$work/bad"
status farm-no-chunks 2 farm "$project" -o "$work/x.avi"
status farm-bad-texture 1 farm "$project" -o "$work/x.avi" --chunks 2 --texture "$work/nope.png"
expect farm-bad-texture-wrote-nothing test ! -e "$work/x.farm"
status farm-not-avi 2 farm "$project" -o "$work/x.png" --chunks 2
mkdir -p "$work/empty-path"
PATH="$work/empty-path" status no-sbatch 1 farm "$project" -o "$work/x.avi" --chunks 2
expect no-sbatch-message grep -q "sbatch not found" "$work/err"
touch "$work/file"
status unwritable-work-dir 1 farm "$project" -o "$work/x.avi" --chunks 2 --work-dir "$work/file/w"
{ cat "$project"; printf '"TDiv_MP 1 0 0 7" seed\n'; } > "$work/other.vlm"
status other-project-refused 1 farm "$work/other.vlm" -o "$work/farm.avi" --chunks 4 \
  --work-dir "$work/w1"
expect other-project-message grep -q "was made for another project" "$work/err"
status assemble-not-a-farm 1 assemble "$work/whole" -o "$work/x.avi"

echo "farm: $passed passed, $failed failed"
[[ "$failed" == 0 ]]
