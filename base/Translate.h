// Translation of the core's own texts through gettext.  The source texts
// are Japanese and are what appears under a Japanese, C or unset locale;
// the catalogue of the "velmora" domain supplies the other languages.
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

// Chooses the language of messages from LANGUAGE, LC_ALL, LC_MESSAGES and
// LANG as gettext programs do, and binds the catalogue found next to the
// program PROGRAM_PATH (its "locale" folder, or "../share/locale" in an
// installed tree).  Works when the named locale is not generated on the
// machine: the messages category then runs under C.UTF-8 with the language
// the user asked for.  Only LC_MESSAGES is set, so number texts keep "." as
// their decimal point.  Returns whether a catalogue folder was found.
bool SetUpMessageLanguage(const char* program_path);

}  // namespace velmora
