// Reading the texture the clouds are mixed with from a picture file.
#pragma once

#include <memory>
#include <string>

#include "render/TextureMix.h"

namespace velmora {

// Reads PATH in any still format the format table reads (recognised by the
// file's content, whatever its name): its colour and alpha (opaque where
// the file has none) as a texture.  Null with a one-line *error that names
// the file when it cannot be read, is no picture of a readable format, is
// damaged or holds no pixels.
std::shared_ptr<const TTexture> ReadTextureFile(const std::string& path, std::string* error);

}  // namespace velmora
