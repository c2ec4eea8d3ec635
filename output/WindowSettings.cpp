#include "output/WindowSettings.h"

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

}  // namespace velmora
