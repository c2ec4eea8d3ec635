#!/usr/bin/env bash
# The files that install Velmora into a desktop: the menu entry, AppStream
# metadata and the project file type validate; the type's magic matches what
# the program writes; the thumbnailer writes a PNG of the requested size for
# every example; the completion offers commands and parameter keywords; the
# manual pages format without warnings.
#   run.sh VELMORA SOURCE_DIR
set -uo pipefail
velmora="$1"
src="$2"
data="$src/data"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

desktop-file-validate "$data/org.velmora.Velmora.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$data/org.velmora.Velmora.metainfo.xml" >"$work/as.log" 2>&1 ||
  { cat "$work/as.log" >&2; fail "AppStream metadata"; }
xmllint --noout "$data/velmora-mime.xml" || fail "MIME file is not well-formed XML"
mkdir -p "$work/mime/packages"
cp "$data/velmora-mime.xml" "$work/mime/packages/velmora.xml"
XDG_DATA_HOME="$work" update-mime-database "$work/mime" 2>"$work/mime.log"
[[ ! -s "$work/mime.log" ]] || { cat "$work/mime.log" >&2; fail "update-mime-database complains"; }
grep -q 'application/x-velmora-project' "$work/mime/globs2" || fail "*.vlm glob not registered"

# The magic rule's header is what a saved project begins with.
magic="$(sed -n 's/.*match type="string" offset="0" value="\([^"]*\)".*/\1/p' "$data/velmora-mime.xml")"
"$velmora" resave "$src/examples/sunset.vlm" -o "$work/saved.vlm" || fail "resave"
[[ -n "$magic" && "$(head -c ${#magic} "$work/saved.vlm")" == "$magic" ]] ||
  fail "magic '$magic' does not start a saved project"

# PNG width and height from the IHDR chunk.
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8}'; }
mapfile -t examples < <("$velmora" help examples)
((${#examples[@]} >= 6)) || fail "help examples lists ${#examples[@]} projects"
for ex in "${examples[@]}"; do
  [[ -f "$ex" ]] || fail "help examples names a missing file $ex"
  "$velmora" thumbnail "$ex" "$work/thumb" 48 || fail "thumbnail of $ex"
  [[ "$(head -c 8 "$work/thumb" | od -An -tx1 | tr -d ' \n')" == 89504e470d0a1a0a ]] || fail "$ex: not a PNG"
  [[ "$(png_size "$work/thumb")" == 48x48 ]] || fail "$ex: thumbnail is $(png_size "$work/thumb")"
done
# A wide project keeps its proportions; bad sizes and inputs leave the old file.
printf '320 160 resolution\r\n' >"$work/wide.vlm"
"$velmora" thumbnail "$work/wide.vlm" "$work/wide.png" 128 && [[ "$(png_size "$work/wide.png")" == 128x64 ]] ||
  fail "wide thumbnail is $(png_size "$work/wide.png")"
cp "$work/wide.png" "$work/keep.png"
for bad in "0" "2049" "12x" ""; do
  "$velmora" thumbnail "$work/wide.vlm" "$work/wide.png" "$bad" 2>/dev/null
  [[ $? == 2 ]] || fail "SIZE '$bad' is not a usage error"
done
"$velmora" thumbnail "$work/missing.vlm" "$work/wide.png" 64 2>/dev/null
[[ $? == 1 ]] || fail "a missing project is not a failure"
cmp -s "$work/wide.png" "$work/keep.png" || fail "a failed thumbnail touched the output"

# bash completion: registered, offers the commands and, after --set, every
# parameter keyword that params --list knows (and no other).
complete_words() {  # the completions of the words given, the last being completed
  bash -c 'source "$1"; shift; complete -p velmora >/dev/null || exit 9
           COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _velmora; printf "%s\n" "${COMPREPLY[@]}"' \
    _ "$data/completion/velmora.bash" "$@"
}
# (Each output is taken whole before it is searched: grep -q stopping early
# would break the pipe.)
offers() {  # offers WORD COMPLETION...: whether completing gives WORD
  local word="$1" got
  shift
  got="$(complete_words "$@")"
  grep -qxF -- "$word" <<<"$got"
}
offers render velmora re || fail "completion of commands"
offers complex= velmora render --set comp || fail "--set comp does not offer complex="
offers --format velmora render --fo || fail "completion of render options"
[[ "$(complete_words velmora render --format "" | sort | tr '\n' ' ')" == "bmp jpeg png " ]] ||
  fail "completion of formats"
diff <(complete_words velmora movie --set "" | sed 's/=$//' | sort) \
     <("$velmora" params --list | awk 'NR > 1 && $1 != "" {print $1}' | sort) ||
  fail "the completion's keywords differ from params --list"
if command -v zsh >/dev/null; then zsh -n "$data/completion/_velmora" || fail "zsh completion syntax"; fi

# Every option a command's help lists is completed and in the manual page.
for cmd in render params resave movie farm assemble settings brel thumbnail; do
  offered="$(complete_words velmora "$cmd" -)"
  for opt in $("$velmora" help "$cmd" | grep -oE '^ *--?[a-z][a-z-]*' | tr -d ' ' | sort -u); do
    grep -qxF -- "$opt" <<<"$offered" || grep -qxF -- "$opt=" <<<"$offered" ||
      fail "completion of $cmd lacks $opt"
    grep -qF -- "${opt//-/\\-}" "$data/man/velmora.1" || fail "velmora.1 lacks $opt"
  done
done

# Manual pages: format without warnings; name every command of velmora --help.
for page in "$data"/man/*.1; do
  out="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)"
  [[ -z "$out" ]] || { echo "$out" >&2; fail "$page has warnings"; }
done
# The commands as velmora --help lists them (two blanks, then the name).
commands="$("$velmora" --help | awk '/^commands:/ {on=1; next} on && /^  [a-z]/ {print $1}' | sort -u)"
(($(wc -w <<<"$commands") >= 9)) || fail "cannot read the commands from velmora --help"
for cmd in $commands; do
  grep -q "^\.B velmora $cmd\b\|^\.B $cmd\$" "$data/man/velmora.1" || fail "velmora.1 lacks the command $cmd"
  grep -q "commands=\".*\b$cmd\b" "$data/completion/velmora.bash" || fail "bash completion lacks $cmd"
done

((failures == 0)) || { echo "$failures failure(s)" >&2; exit 1; }
echo "desktop integration: all checks passed"
