#!/usr/bin/env bash
# Golden tests of project files.  For each CASE.vlm:
#   velmora params CASE.vlm [arguments of CASE.args, one per line]
#     standard output must equal CASE.params, standard error CASE.err (when
#     that file exists);
#   velmora resave CASE.vlm
#     standard output must equal CASE.resave;
#   velmora resave CASE.vlm -o FILE
#     FILE must equal CASE.resave, and resaving FILE must give it back unchanged
#     with status 0.
# Every command must exit with CASE.status (0 when absent).  Then a missing
# project must fail with status 1 and write nothing.
# Usage: bash run.sh PATH_TO_velmora
set -u
export LC_ALL=ja_JP.UTF-8 LANGUAGE=  # the interpreter's fixed Japanese texts, byte for byte
bin="${1:?usage: run.sh PATH_TO_velmora}"
[[ "$bin" == */* ]] && bin="$(cd "$(dirname "$bin")" && pwd)/$(basename "$bin")"
here="$(cd "$(dirname "$0")" && pwd)"
passed=0
failed=0
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL $1"
  failed=$((failed + 1))
}

# check NAME WANT_STATUS STATUS EXPECTED_FILE ACTUAL_FILE
check() {
  if [[ "$3" != "$2" ]]; then
    fail "$1: exit status $3, expected $2"
  elif ! cmp -s "$4" "$5"; then
    diff -u --text "$4" "$5" | head -40
    fail "$1: output differs from $(basename "$4")"
  else
    passed=$((passed + 1))
  fi
}

for project in "$here"/*.vlm; do
  name="$(basename "$project" .vlm)"
  want=0
  [[ -f "$here/$name.status" ]] && want="$(cat "$here/$name.status")"
  args=()
  [[ -f "$here/$name.args" ]] && mapfile -t args < "$here/$name.args"

  (cd "$here" && "$bin" params "$name.vlm" "${args[@]}" > "$work/out" 2> "$work/err")
  check "$name params" "$want" $? "$here/$name.params" "$work/out"
  if [[ -f "$here/$name.err" ]]; then
    check "$name params stderr" 0 0 "$here/$name.err" "$work/err"
  fi

  (cd "$here" && "$bin" resave "$name.vlm" > "$work/out" 2> /dev/null)
  check "$name resave" "$want" $? "$here/$name.resave" "$work/out"

  rm -f "$work/saved.vlm"
  (cd "$here" && "$bin" resave "$name.vlm" -o "$work/saved.vlm" > "$work/out" 2> /dev/null)
  status=$?
  [[ -s "$work/out" ]] && fail "$name resave -o: wrote to standard output"
  check "$name resave -o" "$want" $status "$here/$name.resave" "$work/saved.vlm"
  "$bin" resave "$work/saved.vlm" > "$work/out" 2> /dev/null
  check "$name resave twice" 0 $? "$here/$name.resave" "$work/out"
done

# render takes its settings from the project: a small project renders as the
# new project does with the same settings given as options, also when the
# project stopped on an error (status 3, picture written all the same).
printf '"TDiv_MP 1 0 0 7" seed\r\n24 16 resolution\r\n' > "$work/small.vlm"
printf '"TDiv_MP 1 0 0 7" seed\r\n24 16 resolution\r\nnot_a_word\r\n' > "$work/broken.vlm"
"$bin" render -o "$work/want.bmp" --size 24x16 --seed 7 2> /dev/null
"$bin" render "$work/small.vlm" -o "$work/got.bmp" 2> /dev/null
check "render small.vlm" 0 $? "$work/want.bmp" "$work/got.bmp"
rm -f "$work/got.bmp"
"$bin" render "$work/broken.vlm" -o "$work/got.bmp" 2> /dev/null
check "render broken.vlm" 3 $? "$work/want.bmp" "$work/got.bmp"

# A missing project: status 1, a message naming it, nothing written.
: > "$work/empty"
for cmd in params resave render; do
  rm -f "$work/out.bmp"
  extra=()
  [[ $cmd == render ]] && extra=(-o "$work/out.bmp")
  (cd "$work" && "$bin" $cmd no_such.vlm "${extra[@]}" > "$work/out" 2> "$work/err")
  check "missing project ($cmd)" 1 $? "$work/empty" "$work/out"
  grep -q "no_such.vlm" "$work/err" || fail "missing project ($cmd): the message does not name the file"
  [[ -e "$work/out.bmp" ]] && fail "missing project ($cmd): a picture was written"
done
rm -f "$work/kept.vlm"
echo "old" > "$work/kept.vlm"
"$bin" resave "$work/no_such.vlm" -o "$work/kept.vlm" 2> /dev/null
status=$?
echo "old" > "$work/want"
check "missing project (resave -o keeps the old file)" 1 $status "$work/want" "$work/kept.vlm"

echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
