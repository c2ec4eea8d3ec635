// OpenEXR stills through the OpenEXR library, in memory so that the file
// goes through the same aside-and-rename write as every other picture.
#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfIO.h>
#include <ImfInputFile.h>
#include <ImfOutputFile.h>
#include <half.h>

#include <algorithm>
#include <cstring>
#include <exception>

#include "base/Translate.h"
#include "output/StillImage.h"

namespace velmora {

namespace {

class MemoryOut : public Imf::OStream {
 public:
  explicit MemoryOut(std::string& out) : Imf::OStream("memory"), out_(out) {}
  void write(const char c[], int n) override {
    const size_t end = pos_ + static_cast<size_t>(n);
    if (out_.size() < end) out_.resize(end);
    std::memcpy(out_.data() + pos_, c, static_cast<size_t>(n));
    pos_ = end;
  }
  uint64_t tellp() override { return pos_; }
  void seekp(uint64_t pos) override { pos_ = static_cast<size_t>(pos); }

 private:
  std::string& out_;
  size_t pos_ = 0;
};

class MemoryIn : public Imf::IStream {
 public:
  explicit MemoryIn(const std::string& in) : Imf::IStream("memory"), in_(in) {}
  bool read(char c[], int n) override {
    if (pos_ + static_cast<size_t>(n) > in_.size()) throw std::runtime_error(Msg("truncated file"));
    std::memcpy(c, in_.data() + pos_, static_cast<size_t>(n));
    pos_ += static_cast<size_t>(n);
    return pos_ < in_.size();
  }
  uint64_t tellg() override { return pos_; }
  void seekg(uint64_t pos) override { pos_ = static_cast<size_t>(pos); }

 private:
  const std::string& in_;
  size_t pos_ = 0;
};

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
  // Interleaved R, G, B (, A) halves.  With alpha the colour is
  // premultiplied, as OpenEXR files are read.
  std::vector<half> pixels(w * h * static_cast<size_t>(channels));
  for (size_t y = 0; y < h; ++y) {
    const uint8_t* row = colour.Row(static_cast<int32_t>(y));
    const uint8_t* arow = alpha ? alpha->Row(static_cast<int32_t>(y)) : nullptr;
    for (size_t x = 0; x < w; ++x) {
      half* p = &pixels[(y * w + x) * static_cast<size_t>(channels)];
      const float a = arow ? arow[x * 3] / 255.0f : 1.0f;
      p[0] = half(row[x * 3 + 2] / 255.0f * a);
      p[1] = half(row[x * 3 + 1] / 255.0f * a);
      p[2] = half(row[x * 3] / 255.0f * a);
      if (arow) p[3] = half(a);
    }
  }
  try {
    out.clear();
    Imf::Header header(colour.width, colour.height);
    header.compression() = Imf::ZIP_COMPRESSION;
    const char* names[] = {"R", "G", "B", "A"};
    Imf::FrameBuffer frame;
    const size_t xStride = sizeof(half) * static_cast<size_t>(channels);
    for (int c = 0; c < channels; ++c) {
      header.channels().insert(names[c], Imf::Channel(Imf::HALF));
      frame.insert(names[c], Imf::Slice(Imf::HALF, reinterpret_cast<char*>(&pixels[c]), xStride,
                                        xStride * w));
    }
    MemoryOut stream(out);
    Imf::OutputFile file(stream, header, 1);
    file.setFrameBuffer(frame);
    file.writePixels(colour.height);
  } catch (const std::exception& e) {
    if (error) *error = MsgFormat("OpenEXR encoding failed: %s", {e.what()});
    out.clear();
    return false;
  }
  return true;
}

bool EncodeExrHigh(const FloatImage& img, bool halves, std::string& out, std::string* error) {
  if (img.width <= 0 || img.height <= 0 || img.channels < 1) {
    if (error) *error = MsgFormat("OpenEXR encoding failed: %s", {Msg("empty picture")});
    return false;
  }
  const size_t w = static_cast<size_t>(img.width);
  const size_t n = w * static_cast<size_t>(img.height);
  const int channels = img.channels;
  // Interleaved channels in the picture's order; with alpha the colour is
  // premultiplied, as OpenEXR files are read.
  std::vector<float> floats(img.values);
  if (channels == 4)
    for (size_t i = 0; i < n; ++i)
      for (int c = 0; c < 3; ++c) floats[i * 4 + c] *= floats[i * 4 + 3];
  std::vector<half> halfs(halves ? floats.size() : 0);
  for (size_t i = 0; i < halfs.size(); ++i) halfs[i] = half(floats[i]);
  const Imf::PixelType type = halves ? Imf::HALF : Imf::FLOAT;
  const size_t size = halves ? sizeof(half) : sizeof(float);
  char* base = halves ? reinterpret_cast<char*>(halfs.data()) : reinterpret_cast<char*>(floats.data());
  try {
    out.clear();
    Imf::Header header(img.width, img.height);
    header.compression() = Imf::ZIP_COMPRESSION;
    const char* grey[] = {"Y"};
    const char* rgba[] = {"R", "G", "B", "A"};
    const char** names = channels == 1 ? grey : rgba;
    Imf::FrameBuffer frame;
    const size_t xStride = size * static_cast<size_t>(channels);
    for (int c = 0; c < channels; ++c) {
      header.channels().insert(names[c], Imf::Channel(type));
      frame.insert(names[c], Imf::Slice(type, base + size * static_cast<size_t>(c), xStride,
                                        xStride * w));
    }
    MemoryOut stream(out);
    Imf::OutputFile file(stream, header, 1);
    file.setFrameBuffer(frame);
    file.writePixels(img.height);
  } catch (const std::exception& e) {
    if (error) *error = MsgFormat("OpenEXR encoding failed: %s", {e.what()});
    out.clear();
    return false;
  }
  return true;
}

bool DecodeExr(const std::string& bytes, Bitmap24& colour, Bitmap24* alpha, std::string* channels,
               std::string* error) {
  try {
    MemoryIn stream(bytes);
    Imf::InputFile file(stream, 1);
    const Imath::Box2i box = file.header().dataWindow();
    const int32_t w = box.max.x - box.min.x + 1;
    const int32_t h = box.max.y - box.min.y + 1;
    if (w <= 0 || h <= 0 || static_cast<int64_t>(w) * h > (1 << 28))
      throw std::runtime_error(Msg("bad size"));
    std::string list;
    for (auto it = file.header().channels().begin(); it != file.header().channels().end(); ++it)
      list += std::string(it.name()) + (it.channel().type == Imf::HALF    ? ":half "
                                        : it.channel().type == Imf::FLOAT ? ":float "
                                                                          : ":uint ");
    std::vector<float> pixels(static_cast<size_t>(w) * h * 4, 1.0f);
    Imf::FrameBuffer frame;
    // A grey file (Y alone) reads as equal R, G and B.
    const bool grey = file.header().channels().findChannel("Y") &&
                      !file.header().channels().findChannel("R");
    const char* names[] = {grey ? "Y" : "R", "G", "B", "A"};
    for (int c = 0; c < 4; ++c)
      frame.insert(names[c], Imf::Slice::Make(Imf::FLOAT, &pixels[c], box, 4 * sizeof(float),
                                              4 * sizeof(float) * static_cast<size_t>(w), 1, 1,
                                              c == 3 ? 1.0 : 0.0));
    file.setFrameBuffer(frame);
    file.readPixels(box.min.y, box.max.y);
    auto byte = [](float v) {
      return static_cast<uint8_t>(std::clamp(std::nearbyint(v * 255.0f), 0.0f, 255.0f));
    };
    colour.SetSize(w, h);
    if (alpha) alpha->SetSize(w, h);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        float* p = &pixels[(static_cast<size_t>(y) * w + x) * 4];
        if (grey) p[1] = p[2] = p[0];
        uint8_t* c = colour.Row(y) + x * 3;
        c[0] = byte(p[2]);
        c[1] = byte(p[1]);
        c[2] = byte(p[0]);
        if (alpha) std::fill_n(alpha->Row(y) + x * 3, 3, byte(p[3]));
      }
    if (channels) *channels = list;
  } catch (const std::exception& e) {
    if (error) *error = MsgFormat("not a readable OpenEXR file: %s", {e.what()});
    return false;
  }
  return true;
}

}  // namespace velmora
