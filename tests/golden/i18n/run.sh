#!/usr/bin/env bash
# One language per message: Japanese under a Japanese locale (the fixed
# Japanese texts byte for byte, the tool's own texts from po/ja.po), English
# under every other locale, C, POSIX and an unset one included (the fixed
# texts from po/en.po), whether or not the locale is generated on the
# machine; system error texts follow; each catalogue translates every text
# the sources mark for it.
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
same en-c-ignores-language "$unknown_en" LC_ALL=C LANGUAGE=ja -- brel -e foo
same en-unset "$unknown_en" -- brel -e foo
same en-posix "$unknown_en" LANG=POSIX -- brel -e foo
same en-other-language "$unknown_en" LANG=de_DE.UTF-8 -- brel -e foo
same en-empty-language "$unknown_en" LANGUAGE= LANG=en_US.UTF-8 -- brel -e foo
same ja-empty-language "$unknown_ja" LANGUAGE= LANG=ja_JP.UTF-8 -- brel -e foo
same ja-language-first "$unknown_ja" LANG=de_DE.UTF-8 LANGUAGE=ja -- brel -e foo
same en-composed-context "error 13: Undefined name: the for control variable i is not defined" \
  LANG=en_US.UTF-8 -- brel -e '1 3 for i next'
same ja-composed-context "error 13: 未定義の名称です。:for制御変数に指定された i は未定義です。" \
  LANG=ja_JP.UTF-8 -- brel -e '1 3 for i next'
same en-engine-message "velmora: render: not enough memory for a 12000 x 12000 render (Could not allocate the cloud buffer (base_pattern))" \
  LANG=en_US.UTF-8 -- render -o "$work/big.png" --size 12000x12000 --buffer base_pattern

# The tool's own texts and the system's error texts in the same language.
same ja-own-text "velmora: 'paint' というコマンドはありません ('velmora --help' を参照)" \
  LANG=ja_JP.UTF-8 -- paint
same en-own-text "velmora: unknown command 'paint' (try 'velmora --help')" LANG=de_DE.UTF-8 -- paint
mkdir "$work/folder"
same ja-system-error "velmora: render: $work/folder に書き込めません: ディレクトリです" \
  LANG=ja_JP.UTF-8 -- render -o "$work/folder" --size 8x8
same en-system-error "velmora: render: cannot write $work/folder: Is a directory" \
  LANG=de_DE.UTF-8 -- render -o "$work/folder" --size 8x8
printf '1 2 foo\r\n' > "$work/bad.vlm"
same en-project-stop "velmora: params: warning: project '$work/bad.vlm' stopped at line 1: Syntax error: unknown word 'foo'; the rest of the file was not run" \
  LC_ALL=C.UTF-8 -- params "$work/bad.vlm"
same ja-project-stop "velmora: params: 警告: プロジェクト '$work/bad.vlm' は 1 行目で止まりました: 文法的な誤りです。:foo (ファイルの残りは実行されていません)" \
  LANG=ja_JP.UTF-8 -- params "$work/bad.vlm"

# The output layer's and the farm tools' own texts, one case per family:
# the settings file, the movie outputs, a codec FFmpeg cannot give, a work
# folder.
printf '\x01\x02binary\n' > "$work/foreign.ini"
same ja-settings-file "velmora: settings: 警告: $work/foreign.ini は設定ファイルではありません (既定の設定を使います)" \
  LANG=ja_JP.UTF-8 VELMORA_SETTINGS="$work/foreign.ini" -- settings
same ja-movie-output "velmora: movie: メイン出力: /dev/null はデバイスかパイプです: 連番の画像にはファイル名が必要です (.avi の名前なら 1 本のストリームに書きます)" \
  LANG=ja_JP.UTF-8 -- movie --set resolution=8x8 --set frames=0..1 -o /dev/null
same ja-codec "velmora: movie: コーデック ABCD は知られていません" \
  LANG=ja_JP.UTF-8 -- movie --set resolution=8x8 --set frames=0..1 -o "$work/m.avi" --codec ABCD
same ja-farm-folder "velmora: assemble: $work は farm の作業フォルダではありません ($work/farm.ini がありません)" \
  LANG=ja_JP.UTF-8 -- assemble "$work" -o "$work/m.avi"
same en-farm-folder "velmora: assemble: $work is not a farm work folder (no $work/farm.ini)" \
  LANG=C.UTF-8 -- assemble "$work" -o "$work/m.avi"

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

# The format table's header of 'velmora help formats' follows the language;
# its rows hold the names the options take.
table() {  # table NAME WANT ENV...
  local name="$1" want="$2"
  shift 2
  local got
  got="$(env -i PATH="$PATH" ASAN_OPTIONS="${ASAN_OPTIONS:-}" "$@" "$bin" help formats |
    grep -m 1 -E '^(name|名前) ')"
  if [[ "$got" == "$want" ]]; then
    passed=$((passed + 1))
  else
    echo "FAIL $name"; echo "  expected: $want"; echo "  actual:   $got"
    failed=$((failed + 1))
  fi
}
table ja-format-table "名前  拡張子       書き出し方            チャンネル       深さ          オプション" \
  LANG=ja_JP.UTF-8
table en-format-table "name  extensions   written as            channels         depths        options" \
  LANG=de_DE.UTF-8

# Every text the sources mark for translation has an English translation.
if command -v xgettext > /dev/null && command -v msgcmp > /dev/null; then
  (cd "$root" && LC_ALL=C.UTF-8 xgettext --from-code=UTF-8 --language=C++ \
    --keyword=Tr --keyword=TrNoop --keyword=TrFormat --keyword=TrIn:1c,2 --keyword=TrFormatIn:1c,2 \
    -o "$work/velmora.pot" base/*.cpp render/*.cpp anim/*.cpp anim/*.h script/*.cpp project/*.cpp output/*.cpp output/movie/*.cpp output/images/*.cpp \
    studio/*.cpp 2> /dev/null)
  if LC_ALL=C.UTF-8 msgcmp "$root/po/en.po" "$work/velmora.pot"; then
    passed=$((passed + 1))
  else
    echo "FAIL catalogue-complete"; failed=$((failed + 1))
  fi
fi

# The tool's own texts (marked Msg, MsgNoop, MsgFormat) all have Japanese.
if command -v xgettext > /dev/null && command -v msgcmp > /dev/null; then
  (cd "$root" && LC_ALL=C.UTF-8 xgettext --from-code=UTF-8 --language=C++ --keyword \
    --keyword=Msg --keyword=MsgNoop --keyword=MsgFormat -o "$work/own.pot" \
    base/*.cpp base/*.h render/*.cpp anim/*.cpp anim/*.h script/*.cpp project/*.cpp \
    output/*.cpp output/movie/*.cpp output/images/*.cpp studio/*.cpp cli/*.cpp cli/lineedit/*.cpp 2> /dev/null)
  if LC_ALL=C.UTF-8 msgcmp "$root/po/ja.po" "$work/own.pot" 2> >(grep -v "message is not used" >&2); then
    passed=$((passed + 1))
  else
    echo "FAIL japanese-catalogue-complete"; failed=$((failed + 1))
  fi
fi

echo "$passed passed, $failed failed"
((failed == 0))
