#include "output/StillImage.h"

#include <png.h>
#include <stdio.h>
#include <jpeglib.h>
#include <jerror.h>
// Only the tag values and pixel macros: libtiff itself is in the image module.
#include <tiffio.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <csetjmp>
#include <cstring>
#include <functional>
#include <new>
#include <vector>

#include "base/AtomicFile.h"
#include "base/Strings.h"
#include "base/Translate.h"
#include "output/Formats.h"
#include "output/ImageModule.h"

namespace velmora {

namespace {
void PutLE16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void PutLE32(std::string& out, uint32_t v) {
  PutLE16(out, v & 0xFFFF);
  PutLE16(out, v >> 16);
}
uint32_t GetLE(const std::string& s, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(s[at + i]);
  return v;
}
}  // namespace

ImageFormat ImageFormatForName(const std::string& name) {
  const std::string_view format = StillFormatForPath(name).name;
  if (format == "jpeg") return ImageFormat::Jpeg;
  if (format == "png") return ImageFormat::Png;
  if (format == "tiff") return ImageFormat::Tiff;
  return ImageFormat::Bmp;
}

bool EncodeBmp(const Bitmap24& bm, std::string& out, std::string* error) {
  const uint64_t stride = (static_cast<uint64_t>(bm.width) * 3 + 3) & ~3ull;
  const uint64_t imageSize = stride * static_cast<uint64_t>(bm.height);
  if (imageSize + 54 > 0xFFFFFFFFull) {
    if (error) *error = Msg("picture too large for BMP");
    return false;
  }
  out.clear();
  out.reserve(static_cast<size_t>(imageSize + 54));
  out += "BM";
  PutLE32(out, static_cast<uint32_t>(imageSize + 54));
  PutLE32(out, 0);
  PutLE32(out, 54);
  PutLE32(out, 40);
  PutLE32(out, static_cast<uint32_t>(bm.width));
  PutLE32(out, static_cast<uint32_t>(bm.height));  // positive: bottom-up rows
  PutLE16(out, 1);
  PutLE16(out, 24);
  PutLE32(out, 0);
  PutLE32(out, static_cast<uint32_t>(imageSize));
  PutLE32(out, 2835);  // 72 dpi
  PutLE32(out, 2835);
  PutLE32(out, 0);
  PutLE32(out, 0);
  const size_t pad = static_cast<size_t>(stride) - static_cast<size_t>(bm.width) * 3;
  for (int32_t y = bm.height - 1; y >= 0; --y) {
    out.append(reinterpret_cast<const char*>(bm.Row(y)), static_cast<size_t>(bm.width) * 3);
    out.append(pad, '\0');
  }
  return true;
}

bool DecodeBmp(const std::string& s, Bitmap24& bm, std::string* error) {
  auto fail = [&](const char* why) {
    if (error) *error = Msg(why);
    return false;
  };
  if (s.size() < 54 || s[0] != 'B' || s[1] != 'M') return fail(MsgNoop("not a BMP file"));
  const uint32_t offset = GetLE(s, 10, 4);
  const int32_t w = static_cast<int32_t>(GetLE(s, 18, 4));
  const int32_t hRaw = static_cast<int32_t>(GetLE(s, 22, 4));
  const uint32_t bits = GetLE(s, 28, 2);
  const uint32_t compression = GetLE(s, 30, 4);
  // 24-bit uncompressed, and 32-bit uncompressed (B, G, R, unused) or with
  // the usual bit fields of that layout.
  const bool ok32 = bits == 32 && (compression == 0 || compression == 3);
  if (!(bits == 24 && compression == 0) && !ok32)
    return fail(MsgNoop("not an uncompressed 24-bit BMP"));
  if (w < 0 || hRaw == INT32_MIN) return fail(MsgNoop("bad BMP size"));
  const bool topDown = hRaw < 0;
  const int32_t h = topDown ? -hRaw : hRaw;
  if (static_cast<uint64_t>(w) * static_cast<uint64_t>(h) > (1ull << 28))
    return fail(MsgNoop("bad BMP size"));
  const uint64_t bytesPerPixel = bits / 8;
  const uint64_t stride = (static_cast<uint64_t>(w) * bytesPerPixel + 3) & ~3ull;
  if (offset + stride * static_cast<uint64_t>(h) > s.size()) return fail(MsgNoop("truncated BMP"));
  bm.SetSize(w, h);
  for (int32_t y = 0; y < h; ++y) {
    const int32_t row = topDown ? y : h - 1 - y;
    const char* in = s.data() + offset + stride * static_cast<uint64_t>(row);
    if (bits == 24) {
      std::memcpy(bm.Row(y), in, static_cast<size_t>(w) * 3);
      continue;
    }
    for (int32_t x = 0; x < w; ++x) std::memcpy(bm.Row(y) + x * 3, in + x * 4, 3);
  }
  return true;
}

namespace {
struct PngSink {
  std::string* out;
  std::string message;
};
void PngAppend(png_structp png, png_bytep data, size_t length) {
  auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
  sink->out->append(reinterpret_cast<const char*>(data), length);
}
void PngFlush(png_structp) {}
[[noreturn]] void PngError(png_structp png, png_const_charp message) {
  static_cast<PngSink*>(png_get_error_ptr(png))->message = message;
  png_longjmp(png, 1);
}
void PngWarning(png_structp, png_const_charp) {}

// Writes HEIGHT rows of WIDTH pixels, B, G, R (and A when ALPHA) bytes each,
// ROW(y) giving row y, as an 8-bit PNG file.
template <typename RowOf>
bool WritePngImage(int32_t width, int32_t height, bool alpha, RowOf row, std::string& out,
                   std::string* error, int colourType = -1, int bitDepth = 8) {
  const bool bgr = colourType < 0;  // the 8-bit pictures come as B, G, R bytes
  if (bgr) colourType = alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
  out.clear();
  PngSink sink{&out, {}};
  std::vector<png_bytep> rows(static_cast<size_t>(std::max(height, 0)));
  for (int32_t y = 0; y < height; ++y) rows[static_cast<size_t>(y)] = const_cast<png_bytep>(row(y));
  const size_t channels = (alpha ? 4 : 3) * static_cast<size_t>(bitDepth / 8);
  // Room for the whole picture with the usual compression, so that appending
  // rarely has to grow the string.
  out.reserve(static_cast<size_t>(std::max(width, 0)) * rows.size() * channels / 3 + 1024);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, PngError, PngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    if (error) *error = MsgFormat("PNG encoding failed: %s", {Msg("out of memory")});
    out.clear();
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    if (error) *error = MsgFormat("PNG encoding failed: %s", {sink.message});
    out.clear();
    return false;
  }
  png_set_write_fn(png, &sink, PngAppend, PngFlush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height),
               bitDepth, colourType, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  // Speed over the last bytes: the "up" filter alone (the clouds change
  // smoothly from row to row) at zlib's fastest level encodes a 512 x 512
  // cloud picture about five times faster than libpng's adaptive filters at
  // level 6, for a file about 13% larger.
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
  png_set_compression_level(png, 1);
  png_write_info(png, info);
  if (bgr) png_set_bgr(png);
  png_write_image(png, rows.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}
}  // namespace

bool EncodePng(const Bitmap24& bm, std::string& out, std::string* error) {
  return WritePngImage(bm.width, bm.height, false, [&](int32_t y) { return bm.Row(y); }, out, error);
}

bool EncodePngRgba(const Bitmap24& colour, const Bitmap24& alpha, std::string& out,
                   std::string* error) {
  std::vector<uint8_t> bgra(static_cast<size_t>(colour.width) * colour.height * 4);
  for (size_t i = 0, n = bgra.size() / 4; i < n; ++i) {
    std::memcpy(&bgra[i * 4], &colour.bytes[i * 3], 3);
    bgra[i * 4 + 3] = alpha.bytes[i * 3];
  }
  const size_t stride = static_cast<size_t>(std::max(colour.width, 0)) * 4;
  return WritePngImage(colour.width, colour.height, true,
                       [&](int32_t y) { return bgra.data() + stride * static_cast<size_t>(y); },
                       out, error);
}

namespace {
// A float value limited to 0..1 as a 16-bit sample.
inline uint16_t Sample16(float v) {
  if (!(v > 0)) return 0;
  return static_cast<uint16_t>(std::nearbyint(std::min(v, 1.0f) * 65535.0f));
}
}  // namespace

bool EncodePng16(const FloatImage& img, std::string& out, std::string* error) {
  const int c = img.channels;
  const int type = c == 1 ? PNG_COLOR_TYPE_GRAY : c == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGB_ALPHA;
  // Samples big-endian, as PNG stores them.
  std::vector<uint8_t> bytes(img.values.size() * 2);
  for (size_t i = 0; i < img.values.size(); ++i) {
    const uint16_t v = Sample16(img.values[i]);
    bytes[i * 2] = static_cast<uint8_t>(v >> 8);
    bytes[i * 2 + 1] = static_cast<uint8_t>(v & 0xFF);
  }
  const size_t stride = static_cast<size_t>(std::max(img.width, 0)) * static_cast<size_t>(c) * 2;
  return WritePngImage(img.width, img.height, c == 4,
                       [&](int32_t y) { return bytes.data() + stride * static_cast<size_t>(y); },
                       out, error, type, 16);
}

bool DecodePng(const std::string& bytes, Bitmap24& bm, std::string* error, int32_t width,
               int32_t height) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  auto fail = [&](const std::string& why) {
    if (error) *error = MsgFormat("not a readable PNG file: %s", {why});
    png_image_free(&image);
    return false;
  };
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()))
    return fail(image.message);
  if (image.width > INT32_MAX / 3 || image.height > INT32_MAX) {
    return fail(Msg("picture too large"));
  }
  if (width > 0 && height > 0 &&
      (image.width != static_cast<uint32_t>(width) || image.height != static_cast<uint32_t>(height))) {
    if (error)
      *error = MsgFormat("it is %s x %s, not %s x %s",
                         {std::to_string(image.width), std::to_string(image.height),
                          std::to_string(width), std::to_string(height)});
    png_image_free(&image);
    return false;
  }
  image.format = PNG_FORMAT_BGR;
  Bitmap24 read;
  try {
    read.SetSize(static_cast<int32_t>(image.width), static_cast<int32_t>(image.height));
  } catch (const std::bad_alloc&) {
    return fail(MsgFormat("not enough memory for %s x %s pixels",
                          {std::to_string(image.width), std::to_string(image.height)}));
  }
  if (!png_image_finish_read(&image, nullptr, read.bytes.data(), 0, nullptr))
    return fail(image.message);
  bm = std::move(read);
  return true;
}

bool DecodePngRgba(const std::string& bytes, Bitmap24& colour, Bitmap24& alpha,
                   std::string* error) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()) ||
      static_cast<uint64_t>(image.width) * image.height > (1ull << 28)) {
    if (error) *error = MsgFormat("not a readable PNG file: %s", {image.message});
    png_image_free(&image);
    return false;
  }
  image.format = PNG_FORMAT_BGRA;
  const auto w = static_cast<int32_t>(image.width), h = static_cast<int32_t>(image.height);
  std::vector<uint8_t> bgra(static_cast<size_t>(w) * h * 4);
  if (!png_image_finish_read(&image, nullptr, bgra.data(), 0, nullptr)) {
    if (error) *error = MsgFormat("not a readable PNG file: %s", {image.message});
    png_image_free(&image);
    return false;
  }
  colour.SetSize(w, h);
  alpha.SetSize(w, h);
  for (size_t i = 0, n = bgra.size() / 4; i < n; ++i) {
    std::memcpy(&colour.bytes[i * 3], &bgra[i * 4], 3);
    std::memset(&alpha.bytes[i * 3], bgra[i * 4 + 3], 3);
  }
  return true;
}

namespace {
struct JpegErrorManager {
  jpeg_error_mgr base;
  jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};
void JpegErrorExit(j_common_ptr info) {
  auto* mgr = reinterpret_cast<JpegErrorManager*>(info->err);
  info->err->format_message(info, mgr->message);
  longjmp(mgr->jump, 1);
}
}  // namespace

bool EncodeJpeg(const Bitmap24& bm, int quality, std::string& out, std::string* error) {
  if (bm.width <= 0 || bm.height <= 0) {
    if (error) *error = Msg("cannot write an empty picture as JPEG");
    return false;
  }
  jpeg_compress_struct cinfo;
  JpegErrorManager err;
  cinfo.err = jpeg_std_error(&err.base);
  err.base.error_exit = JpegErrorExit;
  unsigned char* mem = nullptr;
  unsigned long memSize = 0;
  std::vector<uint8_t> rgb(static_cast<size_t>(bm.width) * 3);
  if (setjmp(err.jump)) {
    if (error) *error = MsgFormat("JPEG encoding failed: %s", {err.message});
    jpeg_destroy_compress(&cinfo);
    free(mem);
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &mem, &memSize);
  cinfo.image_width = static_cast<JDIMENSION>(bm.width);
  cinfo.image_height = static_cast<JDIMENSION>(bm.height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, std::clamp(quality, 0, 100), TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  for (int32_t y = 0; y < bm.height; ++y) {
    const uint8_t* row = bm.Row(y);
    for (int32_t x = 0; x < bm.width; ++x) {
      rgb[x * 3] = row[x * 3 + 2];
      rgb[x * 3 + 1] = row[x * 3 + 1];
      rgb[x * 3 + 2] = row[x * 3];
    }
    JSAMPROW rows[1] = {rgb.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  out.assign(reinterpret_cast<const char*>(mem), memSize);
  jpeg_destroy_compress(&cinfo);
  free(mem);
  return true;
}

namespace {
// libjpeg's warnings stay quiet, except that a file cut short (whose missing
// part libjpeg would fill with grey) is an error.
void JpegWarning(j_common_ptr info, int level) {
  if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) JpegErrorExit(info);
}
}  // namespace

bool DecodeJpeg(const std::string& bytes, Bitmap24& bm, std::string* error) {
  jpeg_decompress_struct cinfo;
  JpegErrorManager err;
  cinfo.err = jpeg_std_error(&err.base);
  err.base.error_exit = JpegErrorExit;
  err.base.emit_message = JpegWarning;
  Bitmap24 read;
  std::vector<uint8_t> rgb;
  if (setjmp(err.jump)) {
    if (error) *error = MsgFormat("not a readable JPEG file: %s", {err.message});
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.data()),
               static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&cinfo, TRUE);
  // Grey and YCbCr pictures come out as RGB; libjpeg refuses CMYK here.
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  const auto w = static_cast<int32_t>(cinfo.output_width);
  const auto h = static_cast<int32_t>(cinfo.output_height);
  if (static_cast<uint64_t>(w) * static_cast<uint64_t>(h) > (1ull << 28) ||
      cinfo.output_components != 3) {
    if (error) *error = MsgFormat("not a readable JPEG file: %s", {Msg("picture too large")});
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  read.SetSize(w, h);
  rgb.resize(static_cast<size_t>(w) * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    const auto y = static_cast<int32_t>(cinfo.output_scanline);
    JSAMPROW rows[1] = {rgb.data()};
    jpeg_read_scanlines(&cinfo, rows, 1);
    uint8_t* row = read.Row(y);
    for (int32_t x = 0; x < w; ++x) {
      row[x * 3] = rgb[x * 3 + 2];
      row[x * 3 + 1] = rgb[x * 3 + 1];
      row[x * 3 + 2] = rgb[x * 3];
    }
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  bm = std::move(read);
  return true;
}

namespace {
// One TIFF through the image module (LoadImageModule); ROW(y) gives row y's
// samples, top row first.
bool EncodeTiffRows(const TiffLayout& layout, std::string& out, std::string* error,
                    const std::function<void*(int32_t)>& row) {
  std::string message = Msg("cannot create the file");
  out.clear();
  if (layout.width <= 0 || layout.height <= 0) {
    message = Msg("empty picture");
  } else if (const ImageModule* module = LoadImageModule(&message)) {
    if (module->EncodeTiff(layout, row, out, message)) return true;
  }
  if (error) *error = MsgFormat("TIFF encoding failed: %s", {message});
  out.clear();
  return false;
}
}  // namespace

bool EncodeTiff(const Bitmap24& bm, std::string& out, std::string* error,
                const Bitmap24* alpha) {
  TiffLayout layout;
  layout.width = bm.width;
  layout.height = bm.height;
  layout.samples = alpha ? 4 : 3;
  layout.predictor = PREDICTOR_HORIZONTAL;
  const int samples = layout.samples;
  std::vector<uint8_t> rgb(static_cast<size_t>(std::max(bm.width, 0)) * samples);
  return EncodeTiffRows(layout, out, error, [&](int32_t y) {
    const uint8_t* row = bm.Row(y);
    for (int32_t x = 0; x < bm.width; ++x) {
      uint8_t* p = &rgb[static_cast<size_t>(x) * samples];
      p[0] = row[x * 3 + 2];
      p[1] = row[x * 3 + 1];
      p[2] = row[x * 3];
      if (alpha) p[3] = alpha->Row(y)[x * 3];
    }
    return static_cast<void*>(rgb.data());
  });
}

bool EncodeTiffHigh(const FloatImage& img, bool floats, std::string& out, std::string* error) {
  const size_t n = static_cast<size_t>(img.width) * static_cast<size_t>(img.channels);
  std::vector<uint16_t> row16(floats ? 0 : n);
  std::vector<float> row32(floats ? n : 0);
  TiffLayout layout;
  layout.width = img.width;
  layout.height = img.height;
  layout.samples = img.channels;
  layout.bits = floats ? 32 : 16;
  layout.format = floats ? SAMPLEFORMAT_IEEEFP : SAMPLEFORMAT_UINT;
  layout.predictor = floats ? PREDICTOR_FLOATINGPOINT : PREDICTOR_HORIZONTAL;
  return EncodeTiffRows(layout, out, error, [&](int32_t y) {
    const float* in = img.Pixel(0, y);
    if (floats) {
      std::copy_n(in, n, row32.data());
      return static_cast<void*>(row32.data());
    }
    for (size_t i = 0; i < n; ++i) row16[i] = Sample16(in[i]);
    return static_cast<void*>(row16.data());
  });
}

bool DecodeTiff(const std::string& bytes, Bitmap24& bm, std::string* error, Bitmap24* alpha) {
  std::string message = Msg("not a TIFF file");
  uint32_t w = 0, h = 0;
  std::vector<uint32_t> raster;
  const ImageModule* module = LoadImageModule(&message);
  if (!module || !module->DecodeTiff(bytes, w, h, raster, message)) {
    if (error) *error = MsgFormat("not a readable TIFF file: %s", {message});
    return false;
  }
  bm.SetSize(static_cast<int32_t>(w), static_cast<int32_t>(h));
  if (alpha) alpha->SetSize(static_cast<int32_t>(w), static_cast<int32_t>(h));
  for (uint32_t y = 0; y < h; ++y) {
    uint8_t* row = bm.Row(static_cast<int32_t>(y));
    for (uint32_t x = 0; x < w; ++x) {
      const uint32_t p = raster[static_cast<size_t>(y) * w + x];
      row[x * 3] = static_cast<uint8_t>(TIFFGetB(p));
      row[x * 3 + 1] = static_cast<uint8_t>(TIFFGetG(p));
      row[x * 3 + 2] = static_cast<uint8_t>(TIFFGetR(p));
      if (alpha) std::memset(alpha->Row(static_cast<int32_t>(y)) + x * 3, TIFFGetA(p), 3);
    }
  }
  return true;
}

bool SaveBitmapByExtension(const Bitmap24& bm, const std::string& path, int jpegQuality,
                           std::string* error, bool replaceProtected) {
  StillEncodeOptions options;
  options.quality = jpegQuality;
  return SaveStill(StillFormatForPath(path), bm, path, options, error, replaceProtected);
}

}  // namespace velmora
