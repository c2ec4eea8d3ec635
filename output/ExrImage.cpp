// OpenEXR stills: the pixels are prepared here as floats and written or read
// by the image module (output/ImageModule.h), in memory so that the file
// goes through the same aside-and-rename write as every other picture.
#include <algorithm>
#include <cmath>
#include <vector>

#include "base/Translate.h"
#include "output/ImageModule.h"
#include "output/StillImage.h"

namespace velmora {

namespace {

// Writes the interleaved floats; false with *error naming the failure.
bool WriteExr(const ExrLayout& layout, std::string& out, std::string* error) {
  std::string message;
  out.clear();
  if (const ImageModule* module = LoadImageModule(&message))
    if (module->EncodeExr(layout, out, message)) return true;
  if (error) *error = MsgFormat("OpenEXR encoding failed: %s", {message});
  out.clear();
  return false;
}

const char* const kRgba[] = {"R", "G", "B", "A"};
const char* const kGrey[] = {"Y"};

}  // namespace

bool EncodeExr(const Bitmap24& colour, const Bitmap24* alpha, std::string& out,
               std::string* error) {
  if (colour.width <= 0 || colour.height <= 0) {
    if (error) *error = MsgFormat("OpenEXR encoding failed: %s", {Msg("empty picture")});
    return false;
  }
  const size_t w = static_cast<size_t>(colour.width);
  const size_t h = static_cast<size_t>(colour.height);
  const int channels = alpha ? 4 : 3;
  // Interleaved R, G, B (, A), stored as halves.  With alpha the colour is
  // premultiplied, as OpenEXR files are read.
  std::vector<float> pixels(w * h * static_cast<size_t>(channels));
  for (size_t y = 0; y < h; ++y) {
    const uint8_t* row = colour.Row(static_cast<int32_t>(y));
    const uint8_t* arow = alpha ? alpha->Row(static_cast<int32_t>(y)) : nullptr;
    for (size_t x = 0; x < w; ++x) {
      float* p = &pixels[(y * w + x) * static_cast<size_t>(channels)];
      const float a = arow ? arow[x * 3] / 255.0f : 1.0f;
      p[0] = row[x * 3 + 2] / 255.0f * a;
      p[1] = row[x * 3 + 1] / 255.0f * a;
      p[2] = row[x * 3] / 255.0f * a;
      if (arow) p[3] = a;
    }
  }
  ExrLayout layout;
  layout.width = colour.width;
  layout.height = colour.height;
  layout.count = channels;
  layout.names = kRgba;
  layout.values = pixels.data();
  layout.halves = true;
  return WriteExr(layout, out, error);
}

bool EncodeExrHigh(const FloatImage& img, bool halves, std::string& out, std::string* error) {
  if (img.width <= 0 || img.height <= 0 || img.channels < 1) {
    if (error) *error = MsgFormat("OpenEXR encoding failed: %s", {Msg("empty picture")});
    return false;
  }
  const size_t n = static_cast<size_t>(img.width) * static_cast<size_t>(img.height);
  const int channels = img.channels;
  // Interleaved channels in the picture's order; with alpha the colour is
  // premultiplied, as OpenEXR files are read.
  std::vector<float> floats(img.values);
  if (channels == 4)
    for (size_t i = 0; i < n; ++i)
      for (int c = 0; c < 3; ++c) floats[i * 4 + c] *= floats[i * 4 + 3];
  ExrLayout layout;
  layout.width = img.width;
  layout.height = img.height;
  layout.count = channels;
  layout.names = channels == 1 ? kGrey : kRgba;
  layout.values = floats.data();
  layout.halves = halves;
  return WriteExr(layout, out, error);
}

bool DecodeExr(const std::string& bytes, Bitmap24& colour, Bitmap24* alpha, std::string* channels,
               std::string* error) {
  std::string message;
  int32_t w = 0, h = 0;
  std::vector<float> pixels;
  std::string list;
  const ImageModule* module = LoadImageModule(&message);
  if (!module || !module->DecodeExr(bytes, w, h, pixels, list, message)) {
    if (error) *error = MsgFormat("not a readable OpenEXR file: %s", {message});
    return false;
  }
  auto byte = [](float v) {
    return static_cast<uint8_t>(std::clamp(std::nearbyint(v * 255.0f), 0.0f, 255.0f));
  };
  colour.SetSize(w, h);
  if (alpha) alpha->SetSize(w, h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const float* p = &pixels[(static_cast<size_t>(y) * w + x) * 4];
      uint8_t* c = colour.Row(y) + x * 3;
      c[0] = byte(p[2]);
      c[1] = byte(p[1]);
      c[2] = byte(p[0]);
      if (alpha) std::fill_n(alpha->Row(y) + x * 3, 3, byte(p[3]));
    }
  if (channels) *channels = list;
  return true;
}

}  // namespace velmora
