#!/usr/bin/env bash
# Languages of the core's messages: English from the catalogue when the
# user's locale names another language (whether or not that locale is
# generated on the machine), the Japanese source texts byte for byte under a
# Japanese, C or unset locale, and a catalogue that translates every text
# the sources mark.
# Usage: bash run.sh PATH_TO_velmora
set -u
bin="${1:?usage: run.sh PATH_TO_velmora}"
root="$(cd "$(dirname "$0")/../../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export VELMORA_SETTINGS="$work/velmora.ini"
passed=0
failed=0

unknown_en="error 1: Syntax error: unknown word 'foo'"
unknown_ja="error 1: 文法的な誤りです。:foo"

# same NAME WANT ENV... -- ARGS...: the first line velmora ARGS writes on
# stderr under exactly the variables ENV.
same() {
  local name="$1" want="$2"
  shift 2
  local envs=()
  while [[ "$1" != "--" ]]; do envs+=("$1"); shift; done
  shift
  local got
  got="$({ env -i PATH="$PATH" ASAN_OPTIONS="${ASAN_OPTIONS:-}" VELMORA_SETTINGS="$VELMORA_SETTINGS" \
    "${envs[@]}" "$bin" "$@" 2>&1 >/dev/null; } | head -n 1)"
  if [[ "$got" == "$want" ]]; then
    passed=$((passed + 1))
  else
    echo "FAIL $name"; echo "  expected: $want"; echo "  actual:   $got"
    failed=$((failed + 1))
  fi
}

same en-lang "$unknown_en" LANG=en_US.UTF-8 -- brel -e foo
same en-lc-messages "$unknown_en" LANG=ja_JP.UTF-8 LC_MESSAGES=en_GB.UTF-8 -- brel -e foo
same en-language-first "$unknown_en" LANG=de_DE.UTF-8 LANGUAGE=en:de -- brel -e foo
same en-generated-locale "$unknown_en" LC_ALL=C.UTF-8 LANGUAGE=en -- brel -e foo
same ja-lang "$unknown_ja" LANG=ja_JP.UTF-8 -- brel -e foo
same ja-lc-all-wins "$unknown_ja" LC_ALL=ja_JP.UTF-8 LC_MESSAGES=en_US.UTF-8 -- brel -e foo
same ja-c-ignores-language "$unknown_ja" LC_ALL=C LANGUAGE=en -- brel -e foo
same ja-unset "$unknown_ja" -- brel -e foo
same en-composed-context "error 13: Undefined name: the for control variable i is not defined" \
  LANG=en_US.UTF-8 -- brel -e '1 3 for i next'
same ja-composed-context "error 13: 未定義の名称です。:for制御変数に指定された i は未定義です。" \
  LANG=C -- brel -e '1 3 for i next'
same en-engine-message "velmora: render: not enough memory for a 12000 x 12000 render (Could not allocate the cloud buffer (base_pattern))" \
  LANG=en_US.UTF-8 -- render -o "$work/big.png" --size 12000x12000 --buffer base_pattern

# Manual texts go to stdout; numbers keep "." under any language.
manual() {  # manual NAME WANT ENV...
  local name="$1" want="$2"
  shift 2
  local got
  got="$(env -i PATH="$PATH" ASAN_OPTIONS="${ASAN_OPTIONS:-}" "$@" "$bin" brel -e 'man dup . cr 1.5 .')"
  if [[ "$got" == "$want" ]]; then
    passed=$((passed + 1))
  else
    echo "FAIL $name"; echo "  expected: $want"; echo "  actual:   $got"
    failed=$((failed + 1))
  fi
}
manual en-manual $'(BinDic)/<a> dup → <a><a> : duplicates the top value\r\n1.5' LANG=de_DE.UTF-8 LANGUAGE=en
manual ja-manual $'(BinDic)/<a> dup → <a><a> : スタックトップの値を二重化する\r\n1.5' LANG=ja_JP.UTF-8

# Every text the sources mark for translation has an English translation.
if command -v xgettext > /dev/null && command -v msgcmp > /dev/null; then
  (cd "$root" && LC_ALL=C.UTF-8 xgettext --from-code=UTF-8 --language=C++ \
    --keyword=Tr --keyword=TrNoop --keyword=TrFormat --keyword=TrIn:1c,2 --keyword=TrFormatIn:1c,2 \
    -o "$work/velmora.pot" base/*.cpp render/*.cpp anim/*.cpp script/*.cpp project/*.cpp output/*.cpp 2> /dev/null)
  if LC_ALL=C.UTF-8 msgcmp "$root/po/en.po" "$work/velmora.pot"; then
    passed=$((passed + 1))
  else
    echo "FAIL catalogue-complete"; failed=$((failed + 1))
  fi
fi

echo "$passed passed, $failed failed"
((failed == 0))
