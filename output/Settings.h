// The settings file: a private-profile (ini) text file, opened, read or
// written and closed again at each use, so there is no cached copy.  Its path
// is the executable's path with the extension replaced by ".ini"; when that
// folder is not writable (an installed program) the file lives in the user's
// configuration folder instead, so that settings are not silently lost.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace velmora {

// Environment variable that names the settings file outright (tests, portable
// set-ups).  It takes precedence over every other rule.
inline constexpr char SettingsPathVariable[] = "VELMORA_SETTINGS";

// The executable's own path, or "" when it cannot be found.
std::string ExecutablePath();

// exePath with its extension (a "." among the last four characters, with no
// "/" after it) removed,
// followed by ".ini": /opt/velmora/velmora -> /opt/velmora/velmora.ini,
// tool.exe -> tool.ini, a.b.c.d -> a.b.c.ini.
std::string SettingsPathBeside(const std::string& exePath);

// $XDG_CONFIG_HOME/velmora/velmora.ini, or $HOME/.config/velmora/velmora.ini
// when XDG_CONFIG_HOME is unset, empty or not absolute; "" without either.
std::string UserSettingsPath();

// The path rule in full: the environment override when set and non-empty;
// otherwise the path beside exePath when its folder is writable and the
// program is not installed (no share/velmora beside its folder); otherwise
// UserSettingsPath().
std::string ChooseSettingsPath(const std::string& exePath);

// The settings path of this program: ChooseSettingsPath(ExecutablePath()).
// Chosen afresh at each call (the core keeps no state); a host that wants
// another path passes its own to the functions that take one.
std::string SettingsPath();

// An integer literal as the settings file stores it: optional surrounding
// blanks, an optional sign, then decimal digits, or "$" or "0x" followed by
// hexadecimal digits.  Decimal values must fit 32 bits signed; hexadecimal
// ones 32 bits unsigned (read back as their 32-bit pattern).  False for
// anything else, including the empty text.
bool ParseIniInteger(const std::string& text, int32_t& value);

// The largest settings file read or replaced.
inline constexpr size_t SettingsFileByteLimit = size_t{1} << 20;

// Why the settings file at PATH cannot be used, one line; "" when it is a
// readable settings file or missing.  A file that cannot be read, is not a
// regular file, is larger than SettingsFileByteLimit or is not a settings
// file (a NUL byte, or a line that is no comment, [section] or key=value)
// reads as the defaults, and the writers below refuse to replace it.
std::string SettingsFileProblem(const std::string& path);

bool SettingsFileExists(const std::string& path);

// Reads one value; false when the file, the section or the key is missing.
bool ReadIniString(const std::string& path, const std::string& section, const std::string& key,
                   std::string& value);
// The stored integer, or def when the key is missing or not an integer.
int32_t ReadIniInteger(const std::string& path, const std::string& section,
                       const std::string& key, int32_t def);
// Booleans are stored as integers: non-zero is true.
bool ReadIniBool(const std::string& path, const std::string& section, const std::string& key,
                 bool def);

// Writes the keys into the section, keeping everything else in the file;
// creates the file (and, for the user path, its folder) when missing.  The
// file is replaced as a whole, so a failed write leaves the old one intact.
// False with a one-line reason on failure.
bool WriteIniValues(const std::string& path, const std::string& section,
                    const std::vector<std::pair<std::string, std::string>>& values,
                    std::string* error);
bool WriteIniString(const std::string& path, const std::string& section, const std::string& key,
                    const std::string& value, std::string* error);
bool WriteIniInteger(const std::string& path, const std::string& section,
                     const std::string& key, int32_t value, std::string* error);
bool WriteIniBool(const std::string& path, const std::string& section, const std::string& key,
                  bool value, std::string* error);

// The JPEG quality: integer "JpegQuality" of section "Velmora", default 75;
// only the low 8 bits of the stored integer count (300 reads as 44).
inline constexpr char SettingsSection[] = "Velmora";
inline constexpr char JpegQualityKey[] = "JpegQuality";
inline constexpr uint8_t DefaultJpegQuality = 75;
uint8_t ReadJpegQuality(const std::string& path);
bool WriteJpegQuality(const std::string& path, uint8_t quality, std::string* error);

}  // namespace velmora
