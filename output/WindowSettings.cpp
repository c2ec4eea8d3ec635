#include "output/WindowSettings.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "output/Settings.h"

namespace velmora {

std::string CustomColourKey(int index) {
  return std::string("Color") + static_cast<char>('A' + index);
}

TCustomColourList ReadCustomColours(const std::string& path) {
  TCustomColourList colours{};
  for (int i = 0; i < CustomColourCount; ++i) {
    std::string text;
    if (!ReadIniString(path, CustomColourSection, CustomColourKey(i), text)) continue;
    uint32_t v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, 16);
    if (ec == std::errc() && end == text.data() + text.size() && v <= 0xFFFFFF) colours[i] = v;
  }
  return colours;
}

bool WriteCustomColours(const std::string& path, const TCustomColourList& colours,
                        std::string* error) {
  std::vector<std::pair<std::string, std::string>> values;
  for (int i = 0; i < CustomColourCount; ++i) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%06X", colours[i] & 0xFFFFFFu);
    values.emplace_back(CustomColourKey(i), hex);
  }
  return WriteIniValues(path, CustomColourSection, values, error);
}

bool ReadPreviewAutoUpdate(const std::string& path) {
  return ReadIniBool(path, SettingsSection, PreviewAutoUpdateKey, false);
}

bool WritePreviewAutoUpdate(const std::string& path, bool on, std::string* error) {
  return WriteIniBool(path, SettingsSection, PreviewAutoUpdateKey, on, error);
}

std::string ReadLastTexturePath(const std::string& path) {
  std::string file;
  ReadIniString(path, SettingsSection, TextureFileKey, file);
  return file;
}

bool WriteLastTexturePath(const std::string& path, const std::string& file, std::string* error) {
  return WriteIniString(path, SettingsSection, TextureFileKey, file, error);
}

std::vector<std::string> ReadRecentProjects(const std::string& path) {
  std::vector<std::string> files;
  for (int i = 1; i <= RecentProjectCount; ++i) {
    std::string file;
    if (ReadIniString(path, RecentProjectsSection, "File" + std::to_string(i), file) &&
        !file.empty())
      files.push_back(file);
  }
  return files;
}

bool WriteRecentProjects(const std::string& path, const std::vector<std::string>& files,
                         std::string* error) {
  std::vector<std::pair<std::string, std::string>> values;
  for (int i = 0; i < RecentProjectCount; ++i)
    values.emplace_back("File" + std::to_string(i + 1),
                        i < static_cast<int>(files.size()) ? files[i] : std::string());
  return WriteIniValues(path, RecentProjectsSection, values, error);
}

std::vector<std::string> AddRecentProject(std::vector<std::string> list,
                                          const std::string& file) {
  list.erase(std::remove(list.begin(), list.end(), file), list.end());
  list.insert(list.begin(), file);
  if (list.size() > static_cast<size_t>(RecentProjectCount)) list.resize(RecentProjectCount);
  return list;
}

std::optional<TWindowPosition> ReadWindowPosition(const std::string& path) {
  std::string left, top;
  TWindowPosition p;
  if (!ReadIniString(path, SettingsSection, "WindowLeft", left) ||
      !ReadIniString(path, SettingsSection, "WindowTop", top) || !ParseIniInteger(left, p.Left) ||
      !ParseIniInteger(top, p.Top))
    return std::nullopt;
  return p;
}

bool WriteWindowPosition(const std::string& path, TWindowPosition position, std::string* error) {
  return WriteIniValues(path, SettingsSection,
                        {{"WindowLeft", std::to_string(position.Left)},
                         {"WindowTop", std::to_string(position.Top)}},
                        error);
}

}  // namespace velmora
