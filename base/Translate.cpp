#include "base/Translate.h"

#include <libintl.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
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

// The locale name gettext takes the language from when the user's locale
// could not be set: the first non-empty of LC_ALL, LC_MESSAGES and LANG.
const char* RequestedLocale() {
  for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* v = std::getenv(var);
    if (v && *v) return v;
  }
  return nullptr;
}

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

bool SetUpMessageLanguage(const char* program_path) {
  if (!std::setlocale(LC_MESSAGES, "")) {
    // The user's locale is not generated here.  gettext ignores LANGUAGE
    // only under the plain C locale, so run the messages under C.UTF-8 and
    // hand it the requested language through LANGUAGE unless that is set.
    const char* requested = RequestedLocale();
    if (std::setlocale(LC_MESSAGES, "C.UTF-8") && requested &&
        std::strcmp(requested, "C") != 0 && std::strcmp(requested, "POSIX") != 0)
      setenv("LANGUAGE", requested, 0);
  }
  bind_textdomain_codeset(kDomain, "UTF-8");
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
