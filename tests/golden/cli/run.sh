#!/usr/bin/env bash
# Command-line behaviour of velmora render and velmora settings: exit statuses,
# the sizes of the pictures written, and that a failure leaves no file behind.
# Usage: bash run.sh PATH_TO_velmora
set -u
export LC_ALL=C LANGUAGE=  # English messages
bin="${1:?usage: run.sh PATH_TO_velmora}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export VELMORA_SETTINGS="$work/velmora.ini"
passed=0
failed=0

check() {  # check NAME WANT_STATUS ARGS...
  local name="$1" want="$2"
  shift 2
  "$bin" "$@" > "$work/out" 2> "$work/err"
  local got=$?
  if [[ "$got" != "$want" ]]; then
    echo "FAIL $name: exit status $got, expected $want"; cat "$work/err"
    failed=$((failed + 1))
  elif [[ "$want" != 0 && $(wc -l < "$work/err") -ne 1 ]]; then
    echo "FAIL $name: expected one line on stderr"; cat "$work/err"
    failed=$((failed + 1))
  else
    passed=$((passed + 1))
  fi
}

expect() {  # expect NAME CONDITION-COMMAND...
  local name="$1"
  shift
  if "$@"; then passed=$((passed + 1)); else echo "FAIL $name"; failed=$((failed + 1)); fi
}

# Width and height of a BMP file from its header.
bmp_size() { od -An -t d4 -j 18 -N 8 "$1" | tr -s ' ' | sed 's/^ //'; }

check no-output 2 render
check bad-frame 2 render -o "$work/a.png" --frame 1.5
check bad-size 2 render -o "$work/a.png" --size 0x4
check bad-buffer 2 render -o "$work/a.png" --buffer nothing
check unknown-option 2 render -o "$work/a.png" --fast
check two-projects 2 render a.vlm b.vlm -o "$work/a.png"
check missing-folder 1 render -o "$work/none/a.bmp" --size 8x8
expect missing-folder-leaves-nothing test ! -e "$work/none"
check unknown-command 2 paint

check small-bmp 0 render -o "$work/small.bmp" --size 24x10
expect small-bmp-size test "$(bmp_size "$work/small.bmp")" = "24 10"
check oversampled 0 render -o "$work/over.bmp" --size 20x12 --oversampling 3
expect oversampled-size test "$(bmp_size "$work/over.bmp")" = "20 12"
check buffer-at-render-size 0 render -o "$work/cloud.bmp" --size 20x12 --oversampling 2 --buffer cloud
expect buffer-size test "$(bmp_size "$work/cloud.bmp")" = "40 24"
check pen 0 render -o "$work/pen.bmp" --size 16x16 --buffer WarpPenB
expect pen-size test "$(bmp_size "$work/pen.bmp")" = "16 16"
check png 0 render -o "$work/a.png" --size 16x16
expect png-signature test "$(head -c 4 "$work/a.png" | od -An -c | tr -d ' ')" = "211PNG"
check jpeg 0 render -o "$work/a.JPEG" --size 16x16 --jpeg-quality 0
expect jpeg-signature test "$(head -c 2 "$work/a.JPEG" | od -An -t x1 | tr -d ' ')" = "ffd8"

# The same settings give the same picture; another seed another one.
check again 0 render -o "$work/again.bmp" --size 24x10
expect deterministic cmp -s "$work/small.bmp" "$work/again.bmp"
check seed 0 render -o "$work/seed.bmp" --size 24x10 --seed 5
expect seed-differs bash -c "! cmp -s '$work/small.bmp' '$work/seed.bmp'"
check threads-one 0 render -o "$work/one.bmp" --size 24x10 --threads 1
check threads-three 0 render -o "$work/three.bmp" --size 24x10 --threads=3
expect threads-same-picture cmp -s "$work/one.bmp" "$work/three.bmp"
check threads-zero 2 render -o "$work/a.png" --threads 0
check movie-threads-text 2 movie --threads many

# A failed write keeps the previous picture.
cp "$work/small.bmp" "$work/keep.bmp"
chmod a-w "$work"
if [[ $(id -u) -ne 0 ]]; then
  check read-only-folder 1 render -o "$work/keep.bmp" --size 8x8
  expect previous-picture-kept cmp -s "$work/small.bmp" "$work/keep.bmp"
fi
chmod u+w "$work"
expect no-temporary-files test -z "$(find "$work" -name '*.bmp.*' -o -name '*.png.*')"

# A render too large for memory fails with one line; the opened project is
# never an output.
check too-large 1 render -o "$work/big.bmp" --size 60000x60000
check resave-new 0 resave /dev/null -o "$work/p.vlm"
check over-project 1 render "$work/p.vlm" -o "$work/p.vlm" --size 8x8
expect project-kept grep -q "resolution" "$work/p.vlm"
# --set keys a parameter as a project would: the same pixels as the project.
printf '"TDiv_MP 1 0 0 0.7" complex\r\n24 10 resolution\r\n' > "$work/c7.vlm"
check set-project 0 render "$work/c7.vlm" -o "$work/c7.bmp"
check set-option 0 render -o "$work/set.bmp" --set complex=0.7 --set resolution=24x10
expect set-equals-project cmp -s "$work/c7.bmp" "$work/set.bmp"
check set-unknown 2 render -o "$work/x.bmp" --set compex=1
expect set-near-match grep -q "did you mean complex" "$work/err"
check set-not-number 2 params --set complex=high
check set-two-curves 2 params --set cloud_position=0.5
# --key keys a curve at any frame and --curve gives a whole one: the same
# pixels as a project holding that curve.
printf '"TDiv_MP 2 0 0 1 10 0.2" brightness\r\n24 10 resolution\r\n' > "$work/k2.vlm"
check key-project 0 render "$work/k2.vlm" -o "$work/k2.bmp" --frame 4
check key-option 0 render -o "$work/key.bmp" --set resolution=24x10 --frame 4 \
  --key brightness@0=1 --key brightness@10=0.2
expect key-equals-project cmp -s "$work/k2.bmp" "$work/key.bmp"
check curve-option 0 render -o "$work/curve.bmp" --set resolution=24x10 --frame 4 \
  --curve 'brightness=TDiv_MP 2 0 0 1 10 0.2'
expect curve-equals-project cmp -s "$work/k2.bmp" "$work/curve.bmp"
check key-needs-a-curve 2 params --key resolution@0=5
check key-needs-a-frame 2 params --key brightness@x=5
check curve-refused 2 movie --curve brightness=TDiv_XX -o "$work/never.bmp"
expect curve-refused-says-why grep -q "unknown curve kind 'TDiv_XX'" "$work/err"
check help-curves 0 help curves
expect help-curves-kinds grep -q "TDiv_BM" "$work/out"
check help-keyword 0 help brightness
expect help-keyword-meaning grep -q "^brightness: brightness of the clouds" "$work/out"
check help-unknown 2 help nothing
# A folder as the movie's output holds the numbered series; a missing one
# fails before any frame.
mkdir "$work/frames"
check movie-folder 0 movie --set resolution=8x8 --set frames=0..1 -o "$work/frames"
expect movie-folder-series test -s "$work/frames/frame0001.png"
check movie-missing-folder 1 movie --set resolution=8x8 -o "$work/none/"
expect movie-missing-folder-nothing test ! -e "$work/none"
# A picture is not written to a terminal.
if command -v script > /dev/null; then
  script -qec "'$bin' render -o - --size 8x8; echo status \$?" /dev/null < /dev/null > "$work/tty"
  expect render-refuses-terminal grep -q "standard output is a terminal" "$work/tty"
  expect render-terminal-status grep -q "status 2" "$work/tty"
  # The console shows the top 20 values and how many lie below.
  printf '0 var i 1 30 for i i next\n' | script -qec "'$bin' brel" /dev/null > "$work/tty"
  expect console-stack-capped grep -q "10 more below (30 values" "$work/tty"
  expect console-stack-top test "$(grep -c '^  int  :' "$work/tty")" = 20
  # man explains a project keyword, which the console has no word for.
  printf 'man brightness\n' | script -qec "'$bin' brel" /dev/null > "$work/tty"
  expect console-man-keyword grep -q "^brightness: brightness of the clouds" "$work/tty"
fi
# Standard input and output, as image tools do.
"$bin" render - -o - --format bmp < "$work/c7.vlm" > "$work/piped.bmp" 2> /dev/null
expect stdin-stdout cmp -s "$work/c7.bmp" "$work/piped.bmp"
# The format table: --format forces a format, an unknown extension is a
# usage error naming the formats, .tiff is a TIFF.
check format-forces 0 render -o "$work/x.bmp" --format png --size 8x8
expect format-forced test "$(head -c 4 "$work/x.bmp" | od -An -c | tr -d ' ')" = "211PNG"
check unknown-extension 2 render -o "$work/x.xyz" --size 8x8
expect unknown-extension-lists grep -q "bmp, png, jpeg, tiff" "$work/err"
expect unknown-extension-writes-nothing test ! -e "$work/x.xyz"
check unknown-format 2 render -o - --format avi
check tiff 0 render -o "$work/a.tiff" --size 8x8
expect tiff-signature test "$(head -c 4 "$work/a.tiff" | od -An -t x1 | tr -d ' ')" = "49492a00"
check movie-unknown-extension 2 movie --set resolution=8x8 -o "$work/m.xyz"
# Alone, without the modules beside it, the program still writes BMP, PNG
# and JPEG; a TIFF or the console fails with one line naming the library it
# could not load, and leaves no file.
mkdir "$work/alone"
cp "$bin" "$work/alone/velmora"
whole="$bin"
bin="$work/alone/velmora"
check alone-png 0 render -o "$work/alone/a.png" --size 8x8
check alone-tiff 1 render -o "$work/alone/a.tif" --size 8x8
expect alone-tiff-names-module grep -q "cannot find libvelmora-images.so" "$work/err"
expect alone-tiff-writes-nothing test ! -e "$work/alone/a.tif"
if command -v script > /dev/null; then
  script -qec "'$bin' brel; echo status \$?" /dev/null < /dev/null > "$work/tty"
  expect alone-console-names-module grep -q "cannot find libvelmora-lineedit.so" "$work/tty"
  expect alone-console-status grep -q "status 1" "$work/tty"
fi
bin="$whole"
# RGBA in one file: the alpha channel of a numbered PNG series is the
# separate alpha series, byte for byte; formats without alpha refuse it.
check rgba-png 0 render -o "$work/rgba.png" --size 8x8 --alpha-channel
expect rgba-png-colour-type test "$(od -An -t u1 -j 25 -N 1 "$work/rgba.png" | tr -d ' ')" = 6
check rgba-bmp 2 render -o "$work/rgba.bmp" --size 8x8 --alpha-channel
check rgba-avi 2 movie --set resolution=8x8 -o "$work/rgba.avi" --alpha-channel
mkdir "$work/rgba"
check rgba-series 0 movie --set resolution=12x8 --set frames=0..1 -o "$work/rgba/c.png" \
  --alpha "$work/rgba/a.png" --alpha-channel
gray() { ffmpeg -v error -i "$1" -vf "$2" -f rawvideo -pix_fmt gray - | od -An -t x1; }
expect rgba-alpha-is-alpha-output test "$(gray "$work/rgba/c0001.png" alphaextract)" = \
  "$(gray "$work/rgba/a0001.png" null)"
# 16-bit and float pictures, heights and normals; depths a format cannot
# hold are usage errors.
png_depth() { od -An -t u1 -j 24 -N 2 "$1" | tr -s ' ' | sed 's/^ //'; }
check depth16-png 0 render -o "$work/d16.png" --size 8x6 --depth 16 --alpha-channel
expect depth16-png-header test "$(png_depth "$work/d16.png")" = "16 6"
check height16-png 0 render -o "$work/h16.png" --size 8x6 --oversampling 2 --buffer height --depth 16
expect height16-png-grey test "$(png_depth "$work/h16.png")" = "16 0"
check normal-bmp 0 render -o "$work/n.bmp" --size 8x6 --oversampling 2 --buffer normal --normal-strength 3
expect normal-at-output-size test "$(bmp_size "$work/n.bmp")" = "8 6"
check float-exr 0 render -o "$work/f.exr" --size 8x6 --depth float
check depth16-jpeg 2 render -o "$work/d.jpg" --size 8x6 --depth 16
check float-png 2 render -o "$work/d.png" --size 8x6 --depth float
check depth-unknown 2 render -o "$work/d.png" --depth 12
check depth-engine-buffer 2 render -o "$work/d.png" --depth 16 --buffer cloud
check height-alpha 2 render -o "$work/d.png" --buffer height --alpha-channel
check normal-strength-alone 2 render -o "$work/d.png" --normal-strength 2
check normal-strength-text 2 render -o "$work/d.png" --buffer normal --normal-strength x
expect refused-depths-write-nothing test ! -e "$work/d.png" -a ! -e "$work/d.jpg"
check help-formats 0 help formats
expect help-formats-table grep -q "^tiff  .tif .tiff" "$work/out"
# A refused curve text warns with its file and line; --strict fails.
printf '"TDiv_XX 1 0 0 3" brightness\r\n' > "$work/bad.vlm"
check refused-curve-warns 0 params "$work/bad.vlm"
expect warning-names-line grep -q "bad.vlm:1: brightness: unknown curve kind" "$work/err"
check strict 3 render --strict "$work/bad.vlm" -o "$work/strict.bmp"
expect strict-writes-nothing test ! -e "$work/strict.bmp"
# Away from a terminal a movie logs a line at every tenth of its frames.
mkdir "$work/series"
check movie-log 0 movie --set resolution=8x8 --set frames=0..19 -o "$work/series/m.bmp"
expect movie-log-lines test "$(grep -c 'frames (' "$work/err")" = 10
expect movie-log-last grep -q "^velmora: movie: 20/20 frames (100%), .* elapsed, 0:00 left$" "$work/err"
check version 0 --version
check help-command 0 help render
expect help-shows-options grep -q -- "--set KEYWORD=VALUE" "$work/out"
check params-list 0 params --list
expect list-has-every-curve test "$(grep -c '^[a-z]' "$work/out")" -ge 38
expect list-says-how grep -q "^current_frame .*--frame N" "$work/out"

# Output that cannot be written is a failure; program files are bounded.
"$bin" brel -e '"hi" .' > /dev/full 2> /dev/null
expect lost-output-fails test $? -eq 1
"$bin" render --help > /dev/full 2> /dev/null
expect lost-help-fails test $? -eq 1
check brel-file-too-large 1 brel /dev/zero
check brel-memory-bound 1 brel --max-memory 1M -e '0 var i "x" var s 1 21 for i s s + subst s next'
expect brel-memory-error grep -q "^error 12: " "$work/err"

check settings-show 0 settings
expect settings-default grep -qx "jpeg_quality 75" "$work/out"
check settings-store 0 settings --jpeg-quality 30
expect settings-stored grep -qx "jpeg_quality 30" "$work/out"
check settings-range 2 settings --jpeg-quality 101
VELMORA_SETTINGS="$work/none/v.ini" check settings-missing-folder 1 settings --jpeg-quality 30
expect settings-folder-not-made test ! -e "$work/none"

# Hostile and unlucky input: one line and the right status, nothing lost.
# A reader that goes away is lost output (status 1, one line), not SIGPIPE.
"$bin" render -o - --size 64x64 2> "$work/err" | true
expect closed-pipe-status test "${PIPESTATUS[0]}" = 1
expect closed-pipe-one-line test "$(wc -l < "$work/err")" = 1
expect closed-pipe-says-why grep -q "Broken pipe" "$work/err"
"$bin" brel -e '0 var i 1 20000 for i "0123456789" . next' 2> "$work/err" | head -c1 > /dev/null
expect brel-closed-pipe-status test "${PIPESTATUS[0]}" = 1
# Names from the command line are escaped: a newline cannot fake a line.
check newline-in-name 1 render -o "$work/nodir"$'\n'"velmora: render: fake success/x.png" --size 8x8
# A write-protected picture is kept unless --force; a forced one keeps its mode.
cp "$work/small.bmp" "$work/ro.bmp" && chmod 444 "$work/ro.bmp"
check write-protected 1 render -o "$work/ro.bmp" --size 8x8
expect write-protected-kept cmp -s "$work/small.bmp" "$work/ro.bmp"
check write-protected-forced 0 render -o "$work/ro.bmp" --size 8x8 --force
expect forced-mode-kept test "$(stat -c %a "$work/ro.bmp")" = 444
check resave-write-protected 1 resave /dev/null -o "$work/ro.bmp"
# A numbered series never goes beside a device, and one that cannot make its
# first file is refused before any frame is rendered.
check movie-device 1 movie --set resolution=8x8 --set frames=0..1 -o /dev/null
expect no-files-beside-device test ! -e /dev/null0000
check movie-series-missing-folder 1 movie --set resolution=8x8 --set frames=0..1 -o "$work/none/m.bmp"
check movie-series-long-name 1 movie --set resolution=8x8 --set frames=0..1 -o "$work/$(printf 'n%.0s' {1..300}).bmp"
# A settings file that is not one (or cannot be read) gives the defaults with
# a warning and is never replaced.
head -c 200000 /dev/urandom > "$work/garbage.ini"
cp "$work/garbage.ini" "$work/garbage.copy"
VELMORA_SETTINGS="$work/garbage.ini" check settings-foreign-kept 1 settings --jpeg-quality 50
expect settings-foreign-same cmp -s "$work/garbage.ini" "$work/garbage.copy"
VELMORA_SETTINGS="$work/garbage.ini" check settings-foreign-warns 0 settings
expect settings-foreign-warning grep -q "warning: .* is not a settings file; the default settings are used" "$work/err"
# SIGTERM stops a movie at once, mid-frame (status 143, no picture); a first
# Ctrl-C says at once that the movie stops after this frame, also in a log.
wait_for_start() {
  for _ in $(seq 300); do grep -q "writing" "$work/err" && break; sleep 0.1; done
  sleep 0.5
}
"$bin" movie --set resolution=2048x2048 --set frames=0..1 -o "$work/term.bmp" 2> "$work/err" &
pid=$!
wait_for_start
kill -TERM "$pid"
wait "$pid"
expect sigterm-status test $? = 143
expect sigterm-no-picture test ! -e "$work/term0000.bmp"
"$bin" movie --set resolution=2048x2048 --set frames=0..1 -o "$work/int.bmp" 2> "$work/err" &
pid=$!
wait_for_start
kill -INT "$pid"
for _ in $(seq 100); do grep -q "stopping after this frame" "$work/err" && break; sleep 0.1; done
expect interrupt-note-at-once grep -q "stopping after this frame" "$work/err"
kill -INT "$pid"
wait "$pid"
expect second-interrupt-status test $? = 130

echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
