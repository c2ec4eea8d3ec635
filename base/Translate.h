// Translation of texts through gettext, one language at a time: Japanese
// under a Japanese locale, English under every other one (C, POSIX and an
// unset locale included).  Two kinds of source text share the "velmora"
// domain: the fixed Japanese texts of the engine, the interpreter and the
// project words (Tr, translated to English by po/en.po), and the tool's own
// English texts (Msg, translated to Japanese by po/ja.po).
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace velmora {

// Marks a text in a table for the catalogue; Tr translates it where it is
// shown.
constexpr const char* TrNoop(const char* source) { return source; }

// The translation of SOURCE for the chosen language, or SOURCE itself.
const char* Tr(const char* source);
// The same for a text of any bytes; one holding NUL is never translated.
std::string Tr(const std::string& source);

// As Tr, for a SOURCE text that needs a disambiguating CONTEXT (gettext's
// msgctxt): the same source text may translate differently in each context.
const char* TrIn(const char* context, const char* source);

// Tr of a SOURCE holding "%s" placeholders, each replaced in turn by the next
// of ARGS (taken literally: an argument may itself hold "%s").
std::string TrFormat(const char* source, std::initializer_list<std::string_view> args);
std::string TrFormatIn(const char* context, const char* source,
                       std::initializer_list<std::string_view> args);

// The tool's own English texts: the same lookup as Tr, kept apart so that
// each catalogue can be checked against the texts it must translate.
constexpr const char* MsgNoop(const char* source) { return source; }
inline const char* Msg(const char* source) { return Tr(source); }
inline std::string MsgFormat(const char* source, std::initializer_list<std::string_view> args) {
  return TrFormat(source, args);
}

// The text of the system error ERR ("No such file or directory") in the
// language of the messages, whatever the machine's locales: the catalogue's
// text, else the C library's own translation, else the English text.
std::string SystemErrorText(int err);

// The language of the messages for these environment values (null or empty:
// unset), as gettext reads them: "ja" when LANGUAGE (which gettext ignores
// under the C locale) or else the locale (the first non-empty of LC_ALL,
// LC_MESSAGES and LANG) names Japanese; "en" for every other language and
// for C, POSIX and no locale at all.
const char* MessageLanguageFor(const char* language, const char* lc_all,
                               const char* lc_messages, const char* lang);

// Sets the messages up in the language of MessageLanguageFor the process's
// environment and binds the catalogue found next to the program
// PROGRAM_PATH (its "locale" folder, or "../share/locale" in an installed
// tree).  Works when the named locale is not generated on the machine: the
// messages category then runs under C.UTF-8, and LANGUAGE is set to the
// chosen language so that gettext and the C library's error texts follow
// it.  Only LC_MESSAGES is set, so number texts keep "." as their decimal
// point.  Returns whether a catalogue folder was found.
bool SetUpMessageLanguage(const char* program_path);

}  // namespace velmora
