#include "base/FileName.h"

namespace velmora {

size_t ExtensionStart(std::string_view name) {
  const size_t start = name.size() > 4 ? name.size() - 4 : 0;
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot < start) return std::string_view::npos;
  if (name.find('/', dot) != std::string_view::npos) return std::string_view::npos;
  return dot;
}

std::string FileExtension(std::string_view name) {
  const size_t dot = ExtensionStart(name);
  return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot));
}

std::string StripExtension(std::string_view name) {
  return std::string(name.substr(0, ExtensionStart(name)));
}

std::string FolderOf(std::string_view path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return ".";
  if (slash == 0) return "/";
  return std::string(path.substr(0, slash));
}

}  // namespace velmora
