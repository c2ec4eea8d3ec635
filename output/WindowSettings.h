// The main window's keys of the settings file: the automatic preview switch
// and the colour dialog's 16 custom colours.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace velmora {

inline constexpr char PreviewAutoUpdateKey[] = "Preview_AutoUpdate";  // section "Velmora"
inline constexpr char CustomColourSection[] = "CustomColor";
inline constexpr int CustomColourCount = 16;

// Colours as the colour panels hold them: R + 256 G + 65536 B.
using TCustomColourList = std::array<uint32_t, CustomColourCount>;

// "ColorA" .. "ColorP".
std::string CustomColourKey(int index);

// Each key holds six hexadecimal digits of the colour (blue, green, red);
// a missing or unreadable key is black.
TCustomColourList ReadCustomColours(const std::string& path);
bool WriteCustomColours(const std::string& path, const TCustomColourList& colours,
                        std::string* error);

// Off when the file or the key is missing; stored as 1 or 0.
bool ReadPreviewAutoUpdate(const std::string& path);
bool WritePreviewAutoUpdate(const std::string& path, bool on, std::string* error);

}  // namespace velmora
