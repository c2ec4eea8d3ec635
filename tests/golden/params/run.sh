#!/usr/bin/env bash
# Golden tests of `velmora params`: each CASE.args holds the arguments (one
# per line); CASE.out is the expected standard output and CASE.status, when
# present, the expected exit status (0 otherwise).
# Usage: bash run.sh PATH_TO_velmora
set -u
export LC_ALL=C LANGUAGE=  # messages in their source language
bin="${1:?usage: run.sh PATH_TO_velmora}"
[[ "$bin" == */* ]] && bin="$(cd "$(dirname "$bin")" && pwd)/$(basename "$bin")"
here="$(cd "$(dirname "$0")" && pwd)"
passed=0
failed=0
tmp="$(mktemp)"
trap 'rm -f "$tmp"' EXIT
for argsfile in "$here"/*.args; do
  name="$(basename "$argsfile" .args)"
  mapfile -t args < "$argsfile"
  (cd "$here" && "$bin" params "${args[@]}" > "$tmp" 2>/dev/null)
  status=$?
  want_status=0
  [[ -f "$here/$name.status" ]] && want_status="$(cat "$here/$name.status")"
  if [[ "$status" != "$want_status" ]]; then
    echo "FAIL $name: exit status $status, expected $want_status"
    failed=$((failed + 1))
  elif ! diff -u "$here/$name.out" "$tmp"; then
    echo "FAIL $name: output differs"
    failed=$((failed + 1))
  else
    passed=$((passed + 1))
  fi
done
echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
