// The module libvelmora-images.so (output/ImageModule.h): TIFF through
// libtiff and OpenEXR through the OpenEXR library, both in memory so that a
// file goes through the same aside-and-rename write as every other picture.
#include <tiffio.h>

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfIO.h>
#include <ImfInputFile.h>
#include <ImfOutputFile.h>
#include <half.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <exception>
#include <stdexcept>

#include "base/Translate.h"
#include "output/ImageModule.h"

namespace velmora {

namespace {

// A growing file in memory for libtiff's client interface.
struct TiffMemory {
  std::string* bytes = nullptr;
  const std::string* input = nullptr;
  toff_t pos = 0;
  toff_t Size() const { return bytes ? bytes->size() : input->size(); }
};
tsize_t TiffRead(thandle_t h, tdata_t data, tsize_t n) {
  auto* m = static_cast<TiffMemory*>(h);
  if (m->pos >= m->Size()) return 0;
  const toff_t count = std::min<toff_t>(static_cast<toff_t>(n), m->Size() - m->pos);
  const std::string& from = m->bytes ? *m->bytes : *m->input;
  std::memcpy(data, from.data() + m->pos, count);
  m->pos += count;
  return static_cast<tsize_t>(count);
}
tsize_t TiffWrite(thandle_t h, tdata_t data, tsize_t n) {
  auto* m = static_cast<TiffMemory*>(h);
  if (!m->bytes || n < 0) return -1;
  const size_t end = static_cast<size_t>(m->pos) + static_cast<size_t>(n);
  if (m->bytes->size() < end) m->bytes->resize(end);
  std::memcpy(m->bytes->data() + m->pos, data, static_cast<size_t>(n));
  m->pos = end;
  return n;
}
toff_t TiffSeek(thandle_t h, toff_t off, int whence) {
  auto* m = static_cast<TiffMemory*>(h);
  toff_t base = whence == SEEK_CUR ? m->pos : whence == SEEK_END ? m->Size() : 0;
  m->pos = base + off;
  return m->pos;
}
int TiffClose(thandle_t) { return 0; }
toff_t TiffSize(thandle_t h) { return static_cast<TiffMemory*>(h)->Size(); }
int TiffMap(thandle_t, tdata_t*, toff_t*) { return 0; }
void TiffUnmap(thandle_t, tdata_t, toff_t) {}

// libtiff reports through handlers of its own; the last error goes to the
// caller's message instead of the standard error stream.
int TiffErrorHandler(TIFF*, void* user, const char*, const char* fmt, va_list ap) {
  auto* message = static_cast<std::string*>(user);
  char text[512];
  std::vsnprintf(text, sizeof text, fmt, ap);
  *message = text;
  return 1;
}
int TiffWarningHandler(TIFF*, void*, const char*, const char*, va_list) { return 1; }

TIFF* OpenTiffMemory(TiffMemory& m, const char* mode, std::string& message) {
  TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
  TIFFOpenOptionsSetErrorHandlerExtR(opts, TiffErrorHandler, &message);
  TIFFOpenOptionsSetWarningHandlerExtR(opts, TiffWarningHandler, nullptr);
  TIFF* tif = TIFFClientOpenExt("memory", mode, &m, TiffRead, TiffWrite, TiffSeek, TiffClose,
                                TiffSize, TiffMap, TiffUnmap, opts);
  TIFFOpenOptionsFree(opts);
  return tif;
}

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

class Codecs final : public ImageModule {
 public:
  bool EncodeTiff(const TiffLayout& l, const std::function<void*(int32_t)>& row, std::string& out,
                  std::string& message) const override {
    out.clear();
    TiffMemory m;
    m.bytes = &out;
    TIFF* tif = OpenTiffMemory(m, "w", message);
    if (!tif) return false;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(l.width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(l.height));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, l.samples);
    if (l.samples == 4) {
      const uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
      TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
    }
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, l.bits);
    if (l.format) TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, l.format);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC,
                 l.samples == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(tif, TIFFTAG_PREDICTOR, l.predictor);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    bool ok = true;
    for (int32_t y = 0; y < l.height && ok; ++y) {
      void* samples = row(y);
      ok = samples && TIFFWriteScanline(tif, samples, static_cast<uint32_t>(y), 0) == 1;
    }
    ok = ok && TIFFWriteDirectory(tif) == 1;
    TIFFClose(tif);
    return ok;
  }

  bool DecodeTiff(const std::string& bytes, uint32_t& w, uint32_t& h,
                  std::vector<uint32_t>& raster, std::string& message) const override {
    TiffMemory m;
    m.input = &bytes;
    TIFF* tif = OpenTiffMemory(m, "r", message);
    w = h = 0;
    bool ok = tif && TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w) == 1 &&
              TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h) == 1 && w <= INT32_MAX / 3 &&
              h <= INT32_MAX && static_cast<uint64_t>(w) * h <= (1ull << 28);
    if (ok) {
      raster.resize(static_cast<size_t>(w) * h);
      ok = TIFFReadRGBAImageOriented(tif, w, h, raster.data(), ORIENTATION_TOPLEFT, 0) == 1;
    }
    if (tif) TIFFClose(tif);
    return ok;
  }

  bool EncodeExr(const ExrLayout& l, std::string& out, std::string& message) const override {
    const size_t w = static_cast<size_t>(l.width);
    const size_t count = w * static_cast<size_t>(l.height) * static_cast<size_t>(l.count);
    std::vector<half> halfs(l.halves ? count : 0);
    for (size_t i = 0; i < halfs.size(); ++i) halfs[i] = half(l.values[i]);
    const Imf::PixelType type = l.halves ? Imf::HALF : Imf::FLOAT;
    const size_t size = l.halves ? sizeof(half) : sizeof(float);
    // The library only reads the slices it is given to write.
    char* base = l.halves ? reinterpret_cast<char*>(halfs.data())
                          : const_cast<char*>(reinterpret_cast<const char*>(l.values));
    try {
      out.clear();
      Imf::Header header(l.width, l.height);
      header.compression() = Imf::ZIP_COMPRESSION;
      Imf::FrameBuffer frame;
      const size_t xStride = size * static_cast<size_t>(l.count);
      for (int c = 0; c < l.count; ++c) {
        header.channels().insert(l.names[c], Imf::Channel(type));
        frame.insert(l.names[c], Imf::Slice(type, base + size * static_cast<size_t>(c), xStride,
                                            xStride * w));
      }
      MemoryOut stream(out);
      Imf::OutputFile file(stream, header, 1);
      file.setFrameBuffer(frame);
      file.writePixels(l.height);
    } catch (const std::exception& e) {
      message = e.what();
      out.clear();
      return false;
    }
    return true;
  }

  bool DecodeExr(const std::string& bytes, int32_t& w, int32_t& h, std::vector<float>& rgba,
                 std::string& channels, std::string& message) const override {
    try {
      MemoryIn stream(bytes);
      Imf::InputFile file(stream, 1);
      const Imath::Box2i box = file.header().dataWindow();
      w = box.max.x - box.min.x + 1;
      h = box.max.y - box.min.y + 1;
      if (w <= 0 || h <= 0 || static_cast<int64_t>(w) * h > (1 << 28))
        throw std::runtime_error(Msg("bad size"));
      std::string list;
      for (auto it = file.header().channels().begin(); it != file.header().channels().end(); ++it)
        list += std::string(it.name()) + (it.channel().type == Imf::HALF    ? ":half "
                                          : it.channel().type == Imf::FLOAT ? ":float "
                                                                            : ":uint ");
      rgba.assign(static_cast<size_t>(w) * h * 4, 1.0f);
      Imf::FrameBuffer frame;
      // A grey file (Y alone) reads as equal R, G and B.
      const bool grey = file.header().channels().findChannel("Y") &&
                        !file.header().channels().findChannel("R");
      const char* names[] = {grey ? "Y" : "R", "G", "B", "A"};
      for (int c = 0; c < 4; ++c)
        frame.insert(names[c], Imf::Slice::Make(Imf::FLOAT, &rgba[c], box, 4 * sizeof(float),
                                                4 * sizeof(float) * static_cast<size_t>(w), 1, 1,
                                                c == 3 ? 1.0 : 0.0));
      file.setFrameBuffer(frame);
      file.readPixels(box.min.y, box.max.y);
      if (grey)
        for (size_t i = 0; i < rgba.size(); i += 4) rgba[i + 1] = rgba[i + 2] = rgba[i];
      channels = list;
    } catch (const std::exception& e) {
      message = e.what();
      return false;
    }
    return true;
  }
};

}  // namespace

}  // namespace velmora

extern "C" __attribute__((visibility("default"))) const velmora::ImageModule*
velmora_images_module() {
  static const velmora::Codecs codecs;
  return &codecs;
}
