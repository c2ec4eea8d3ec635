#include "output/TextureFile.h"

#include <cerrno>
#include <fstream>
#include <iterator>
#include <new>
#include <sys/stat.h>

#include "base/Translate.h"
#include "output/Formats.h"

namespace velmora {

namespace {

// Pictures above this many bytes are refused before they are read: a
// texture is scaled to the render size anyway.
constexpr uintmax_t kTextureFileLimit = uintmax_t{1} << 30;

}  // namespace

std::shared_ptr<const TTexture> ReadTextureFile(const std::string& path, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = MsgFormat("cannot read the texture %s: %s", {path, why});
    return nullptr;
  };
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return fail(SystemErrorText(errno));
  if (S_ISDIR(st.st_mode)) return fail(SystemErrorText(EISDIR));
  if (static_cast<uintmax_t>(st.st_size) > kTextureFileLimit) return fail(Msg("picture too large"));
  std::ifstream in(path, std::ios::binary);
  if (!in) return fail(SystemErrorText(errno ? errno : EACCES));
  std::string bytes;
  Bitmap24 colour, alpha;
  std::string why;
  try {
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) return fail(SystemErrorText(EIO));
    if (!DecodeStill(bytes, colour, alpha, &why)) return fail(why);
  } catch (const std::bad_alloc&) {
    return fail(Msg("out of memory"));
  }
  if (colour.width <= 0 || colour.height <= 0) return fail(Msg("the picture has no pixels"));
  std::shared_ptr<TTexture> t;
  try {
    t = NewTexture(colour.width, colour.height);
  } catch (const std::bad_alloc&) {
    return fail(Msg("out of memory"));
  }
  const size_t n = t->pixels.size();
  for (size_t i = 0; i < n; ++i) {
    const uint8_t* c = &colour.bytes[i * 3];
    t->pixels[i] = MakePixel(c[2], c[1], c[0], alpha.bytes[i * 3]);
  }
  t->path = path;
  return t;
}

}  // namespace velmora
