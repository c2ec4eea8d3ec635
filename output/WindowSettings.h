// The main window's keys of the settings file: the automatic preview switch,
// the colour dialog's 16 custom colours, the last texture, the recent
// projects and the window's position.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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

// The last texture picture opened in the window (key "TextureFile" of section
// "Velmora"): where the next texture dialog starts.  Empty when missing.
inline constexpr char TextureFileKey[] = "TextureFile";
std::string ReadLastTexturePath(const std::string& path);
bool WriteLastTexturePath(const std::string& path, const std::string& file, std::string* error);

// The recent projects, newest first: keys "File1" .. "File10" of section
// "RecentProjects".  Empty keys are skipped when reading.
inline constexpr char RecentProjectsSection[] = "RecentProjects";
inline constexpr int RecentProjectCount = 10;
std::vector<std::string> ReadRecentProjects(const std::string& path);
// Writes all ten keys (those beyond the list empty), so a shorter list
// leaves no old entry behind.
bool WriteRecentProjects(const std::string& path, const std::vector<std::string>& files,
                         std::string* error);
// FILE moved to the front of LIST (once), the list cut to ten entries.
std::vector<std::string> AddRecentProject(std::vector<std::string> list,
                                          const std::string& file);

// The main window's top-left corner on the screen: integers "WindowLeft" and
// "WindowTop" of section "Velmora"; nothing unless both are stored.
struct TWindowPosition {
  int32_t Left = 0, Top = 0;
};
std::optional<TWindowPosition> ReadWindowPosition(const std::string& path);
bool WriteWindowPosition(const std::string& path, TWindowPosition position, std::string* error);

}  // namespace velmora
