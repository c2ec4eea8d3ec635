#include "base/Translate.h"

#include <libintl.h>

#include <algorithm>
#include <clocale>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "base/ProgramFiles.h"

namespace velmora {

namespace {

constexpr char kDomain[] = "velmora";

std::string Substitute(std::string_view pattern, std::initializer_list<std::string_view> args) {
  std::string out;
  auto next = args.begin();
  size_t from = 0;
  for (;;) {
    const size_t at = pattern.find("%s", from);
    if (at == std::string_view::npos || next == args.end()) break;
    out.append(pattern, from, at - from);
    out.append(*next++);
    from = at + 2;
  }
  out.append(pattern.substr(from));
  return out;
}

bool IsSet(const char* v) { return v && *v; }

bool IsPlainC(std::string_view locale) {
  return locale == "C" || locale == "POSIX" || locale.rfind("C.", 0) == 0;
}

bool NamesJapanese(std::string_view name) { return name.rfind("ja", 0) == 0; }
bool NamesEnglish(std::string_view name) { return name.rfind("en", 0) == 0; }

bool IsDirectory(const std::filesystem::path& p) {
  std::error_code ec;
  return std::filesystem::is_directory(p, ec);
}

}  // namespace

const char* Tr(const char* source) {
  // The empty text is the key of the catalogue's header.
  return *source ? dgettext(kDomain, source) : source;
}

std::string Tr(const std::string& source) {
  if (source.find('\0') != std::string::npos) return source;
  return Tr(source.c_str());
}

const char* TrIn(const char* context, const char* source) {
  // gettext keys a text with a context as CONTEXT, EOT, SOURCE.
  std::string key = std::string(context) + '\004' + source;
  const char* found = dgettext(kDomain, key.c_str());
  return found == key.c_str() ? source : found;
}

std::string TrFormat(const char* source, std::initializer_list<std::string_view> args) {
  return Substitute(Tr(source), args);
}

std::string TrFormatIn(const char* context, const char* source,
                       std::initializer_list<std::string_view> args) {
  return Substitute(TrIn(context, source), args);
}

std::string SystemErrorText(int err) {
  const char* english = strerrordesc_np(err);
  if (!english) return "error " + std::to_string(err);
  const char* ours = Tr(english);
  if (ours != english) return ours;
  return dgettext("libc", english);
}

const char* MessageLanguageFor(const char* language, const char* lc_all,
                               const char* lc_messages, const char* lang) {
  const char* locale = IsSet(lc_all) ? lc_all : IsSet(lc_messages) ? lc_messages : lang;
  if (!IsSet(locale) || IsPlainC(locale)) return "en";
  if (IsSet(language)) {
    // The first listed language that has texts here decides.
    std::string_view list(language);
    while (!list.empty()) {
      const std::string_view entry = list.substr(0, list.find(':'));
      if (NamesJapanese(entry)) return "ja";
      if (NamesEnglish(entry)) return "en";
      list.remove_prefix(std::min(list.size(), entry.size() + 1));
    }
  }
  return NamesJapanese(locale) ? "ja" : "en";
}

bool SetUpMessageLanguage(const char* program_path) {
  const char* chosen = MessageLanguageFor(std::getenv("LANGUAGE"), std::getenv("LC_ALL"),
                                          std::getenv("LC_MESSAGES"), std::getenv("LANG"));
  // gettext ignores LANGUAGE under the plain C locale, which is also what
  // stands when the user's locale is not generated here: the messages then
  // run under C.UTF-8.  LANGUAGE names the one chosen language, so the
  // catalogue and the C library's error texts agree with it.
  const char* set = std::setlocale(LC_MESSAGES, "");
  if (!set || IsPlainC(set)) std::setlocale(LC_MESSAGES, "C.UTF-8");
  setenv("LANGUAGE", chosen, 1);
  bind_textdomain_codeset(kDomain, "UTF-8");
  // Error texts of the C library in UTF-8 whatever LC_CTYPE says, never "?".
  bind_textdomain_codeset("libc", "UTF-8");
  const std::filesystem::path folder = ProgramFolder(program_path);
  for (const char* rel : {"locale", "../share/locale", "../locale"}) {
    const std::filesystem::path dir = (folder / rel).lexically_normal();
    if (IsDirectory(dir / "en" / "LC_MESSAGES")) {
      bindtextdomain(kDomain, dir.c_str());
      return true;
    }
  }
  return false;
}

}  // namespace velmora
