// The one file-extension rule: the extension of a name starts at a "." among
// its last four characters with no "/" after it; otherwise the name has none.
// The settings path and the numbered movie files use it.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// Index of the extension's ".", or npos when the name has no extension.
size_t ExtensionStart(std::string_view name);

// The extension with its "." ("" when there is none).
std::string FileExtension(std::string_view name);

// The name without its extension (the whole name when it has none).
std::string StripExtension(std::string_view name);

// The folder part of a path: "." for a bare name, "/" for a name in the root.
std::string FolderOf(std::string_view path);

}  // namespace velmora
