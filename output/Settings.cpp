#include "output/Settings.h"

// The settings are byte texts (UTF-8 passes through unchanged); no wide
// character conversion is needed.  The ini parser's template code is compiled
// here, its only user.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>

#include "base/AtomicFile.h"
#include "base/FileName.h"
#include "base/ProgramFiles.h"
#include "base/Strings.h"
#include "base/Translate.h"

namespace velmora {

std::string ExecutablePath() {
  std::string buf(4096, '\0');
  const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
  if (n <= 0 || static_cast<size_t>(n) >= buf.size()) return "";
  buf.resize(static_cast<size_t>(n));
  return buf;
}

std::string SettingsPathBeside(const std::string& exePath) {
  return StripExtension(exePath) + ".ini";
}

std::string UserSettingsPath() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (xdg && xdg[0] == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || !home[0]) return "";
    base = std::string(home) + "/.config";
  }
  return base + "/velmora/velmora.ini";
}

namespace {

bool FolderWritable(const std::string& folder) {
  struct stat st;
  if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  return faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

// Creates the folder and its missing parents (mode 0700 for new ones, as a
// configuration folder should be).
bool MakeFolders(const std::string& folder, std::string* error) {
  if (folder.empty() || folder == "/" || folder == ".") return true;
  struct stat st;
  if (stat(folder.c_str(), &st) == 0) return true;
  if (!MakeFolders(FolderOf(folder), error)) return false;
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    if (error) *error = MsgFormat("cannot create folder %s: %s", {folder, SystemErrorText(errno)});
    return false;
  }
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Whether TEXT looks like a settings file: no NUL byte, and every line
// blank, a comment, a [section] or a key=value pair.
bool LooksLikeSettings(std::string_view text) {
  if (text.find('\0') != std::string_view::npos) return false;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string line = Trim(std::string(text.substr(start, end - start)), " \t\r");
    start = end + 1;
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line.front() == '[' && line.back() == ']') continue;
    if (line.find('=') == std::string::npos) return false;
  }
  return true;
}

// Reads the settings file at PATH into TEXT: "" when it was read, else why
// not (a missing file gives "missing" and an empty TEXT).
std::string ReadSettingsText(const std::string& path, std::string& text) {
  text.clear();
  struct stat st;
  if (path.empty() || (stat(path.c_str(), &st) != 0 && errno == ENOENT)) return "missing";
  auto what = [&](const std::string& why) {
    return MsgFormat("cannot read settings file %s: %s", {path, why});
  };
  const std::string tooLarge =
      MsgFormat("larger than %s MB", {std::to_string(SettingsFileByteLimit >> 20)});
  if (stat(path.c_str(), &st) != 0) return what(SystemErrorText(errno));
  if (!S_ISREG(st.st_mode)) return what(Msg("not a regular file"));
  if (static_cast<uint64_t>(st.st_size) > SettingsFileByteLimit) return what(tooLarge);
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return what(SystemErrorText(errno));
  char buf[65536];
  for (;;) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int err = errno;
      close(fd);
      return what(SystemErrorText(err));
    }
    if (n == 0) break;
    text.append(buf, static_cast<size_t>(n));
    if (text.size() > SettingsFileByteLimit) break;
  }
  close(fd);
  if (text.size() > SettingsFileByteLimit) return what(tooLarge);
  if (!LooksLikeSettings(text)) return MsgFormat("%s is not a settings file", {path});
  return "";
}

// Loads the file into ini; a missing or unusable file gives an empty ini
// and false.
bool LoadIni(const std::string& path, CSimpleIniA& ini) {
  std::string text;
  if (!ReadSettingsText(path, text).empty()) return false;
  return ini.LoadData(text) == SI_OK;
}

}  // namespace

std::string ChooseSettingsPath(const std::string& exePath) {
  if (const char* env = std::getenv(SettingsPathVariable); env && env[0]) return env;
  // An installed program (share/velmora beside its bin folder) never writes
  // into its bin folder, not even as the super-user.
  if (!exePath.empty() && !IsInstalledProgram(FolderOf(exePath))) {
    const std::string beside = SettingsPathBeside(exePath);
    if (FolderWritable(FolderOf(beside))) return beside;
  }
  const std::string user = UserSettingsPath();
  if (!user.empty()) return user;
  return exePath.empty() ? "" : SettingsPathBeside(exePath);
}

std::string SettingsPath() { return ChooseSettingsPath(ExecutablePath()); }

bool ParseIniInteger(const std::string& raw, int32_t& value) {
  const std::string text = Trim(raw, " \t\r\n");
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  bool hex = false;
  if (i < text.size() && text[i] == '$') {
    hex = true;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= text.size()) return false;
  const uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
  uint64_t v = 0;
  for (; i < text.size(); ++i) {
    const int d = hex ? HexDigit(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
    if (d < 0) return false;
    v = v * (hex ? 16 : 10) + static_cast<uint64_t>(d);
    if (v > limit) return false;
  }
  const uint32_t bits = static_cast<uint32_t>(negative ? (0 - v) : v);
  value = static_cast<int32_t>(bits);
  return true;
}

std::string SettingsFileProblem(const std::string& path) {
  std::string text;
  const std::string problem = ReadSettingsText(path, text);
  return problem == "missing" ? "" : problem;
}

bool SettingsFileExists(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool ReadIniString(const std::string& path, const std::string& section, const std::string& key,
                   std::string& value) {
  CSimpleIniA ini;
  if (!LoadIni(path, ini)) return false;
  const char* v = ini.GetValue(section.c_str(), key.c_str(), nullptr);
  if (!v) return false;
  value = v;
  return true;
}

int32_t ReadIniInteger(const std::string& path, const std::string& section,
                       const std::string& key, int32_t def) {
  std::string text;
  int32_t v = 0;
  if (!ReadIniString(path, section, key, text) || !ParseIniInteger(text, v)) return def;
  return v;
}

bool ReadIniBool(const std::string& path, const std::string& section, const std::string& key,
                 bool def) {
  return ReadIniInteger(path, section, key, def ? 1 : 0) != 0;
}

bool WriteIniValues(const std::string& path, const std::string& section,
                    const std::vector<std::pair<std::string, std::string>>& values,
                    std::string* error) {
  if (path.empty()) {
    if (error) *error = Msg("no settings file");
    return false;
  }
  CSimpleIniA ini;
  ini.SetSpaces(false);  // key=value, as private-profile files have them
  // Refuse to replace a file that exists but cannot be read or is no
  // settings file: writing would lose every other setting in it, or a file
  // that was never ours.
  std::string text;
  if (const std::string problem = ReadSettingsText(path, text); problem != "missing") {
    if (!problem.empty() || ini.LoadData(text) != SI_OK) {
      if (error)
        *error = MsgFormat("%s; it is kept as it is",
                           {problem.empty() ? MsgFormat("cannot read settings file %s", {path})
                                            : problem});
      return false;
    }
  }
  for (const auto& [key, value] : values) {
    if (ini.SetValue(section.c_str(), key.c_str(), value.c_str()) < 0) {
      if (error) *error = MsgFormat("cannot store %s in %s", {key, path});
      return false;
    }
  }
  text.clear();
  if (ini.Save(text) != SI_OK) {
    if (error) *error = MsgFormat("cannot format settings for %s", {path});
    return false;
  }
  // Only the user's configuration folder is made; a folder named through
  // the environment or beside the program must exist (a typing error there
  // should not create folders).
  const std::string folder = FolderOf(path);
  if (path == UserSettingsPath()) {
    if (!MakeFolders(folder, error)) return false;
  } else if (struct stat st; stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    if (error) *error = MsgFormat("cannot write settings file %s: no folder %s", {path, folder});
    return false;
  }
  return WriteFileAtomically(path, text, error);
}

bool WriteIniString(const std::string& path, const std::string& section, const std::string& key,
                    const std::string& value, std::string* error) {
  return WriteIniValues(path, section, {{key, value}}, error);
}

bool WriteIniInteger(const std::string& path, const std::string& section,
                     const std::string& key, int32_t value, std::string* error) {
  return WriteIniString(path, section, key, std::to_string(value), error);
}

bool WriteIniBool(const std::string& path, const std::string& section, const std::string& key,
                  bool value, std::string* error) {
  return WriteIniInteger(path, section, key, value ? 1 : 0, error);
}

uint8_t ReadJpegQuality(const std::string& path) {
  return static_cast<uint8_t>(ReadIniInteger(path, SettingsSection, JpegQualityKey,
                                              DefaultJpegQuality) & 0xFF);
}

bool WriteJpegQuality(const std::string& path, uint8_t quality, std::string* error) {
  return WriteIniInteger(path, SettingsSection, JpegQualityKey, quality, error);
}

}  // namespace velmora
