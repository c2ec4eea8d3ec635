#!/usr/bin/env bash
# Golden tests of `velmora brel`: every NAME.brel here is run as
#   velmora brel [ARGS from NAME.args] NAME.brel
# and its stdout is compared with NAME.out; when they exist, its stderr with
# NAME.err and its exit status with NAME.status (0 otherwise).
# Usage: bash run.sh PATH_TO_velmora
set -u
export LC_ALL=ja_JP.UTF-8 LANGUAGE=  # the interpreter's fixed Japanese texts, byte for byte
bin=${1:?usage: run.sh PATH_TO_velmora}
dir="$(cd "$(dirname "$0")" && pwd)"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
pass=0
fail=0
for prog in "$dir"/*.brel; do
  name=$(basename "$prog" .brel)
  args=()
  if [[ -f "$dir/$name.args" ]]; then read -r -a args < "$dir/$name.args"; fi
  "$bin" brel "${args[@]}" "$prog" > "$tmp/out" 2> "$tmp/err"
  status=$?
  want_status=0
  if [[ -f "$dir/$name.status" ]]; then want_status=$(< "$dir/$name.status"); fi
  ok=1
  if ! diff -u --label "$name.out (expected)" --label "$name.out (actual)" "$dir/$name.out" "$tmp/out"; then ok=0; fi
  if [[ -f "$dir/$name.err" ]] &&
     ! diff -u --label "$name.err (expected)" --label "$name.err (actual)" "$dir/$name.err" "$tmp/err"; then
    ok=0
  fi
  if [[ "$status" != "$want_status" ]]; then
    echo "$name: exit status $status, expected $want_status"
    ok=0
  fi
  if ((ok)); then
    pass=$((pass + 1))
  else
    echo "FAIL: $name"
    fail=$((fail + 1))
  fi
done
echo "$pass passed, $fail failed"
((fail == 0))
