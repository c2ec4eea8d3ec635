#include "output/StillImage.h"

#include <png.h>
#include <stdio.h>
#include <jpeglib.h>

#include <algorithm>
#include <cctype>
#include <csetjmp>
#include <cstring>
#include <new>
#include <vector>

#include "base/AtomicFile.h"
#include "base/Strings.h"

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
  const std::string lower = ToLower(name);
  if (EndsWith(lower, ".jpg") || EndsWith(lower, ".jpeg")) return ImageFormat::Jpeg;
  if (EndsWith(lower, ".png")) return ImageFormat::Png;
  return ImageFormat::Bmp;
}

bool EncodeBmp(const Bitmap24& bm, std::string& out, std::string* error) {
  const uint64_t stride = (static_cast<uint64_t>(bm.width) * 3 + 3) & ~3ull;
  const uint64_t imageSize = stride * static_cast<uint64_t>(bm.height);
  if (imageSize + 54 > 0xFFFFFFFFull) {
    if (error) *error = "picture too large for BMP";
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
    if (error) *error = why;
    return false;
  };
  if (s.size() < 54 || s[0] != 'B' || s[1] != 'M') return fail("not a BMP file");
  const uint32_t offset = GetLE(s, 10, 4);
  const int32_t w = static_cast<int32_t>(GetLE(s, 18, 4));
  const int32_t hRaw = static_cast<int32_t>(GetLE(s, 22, 4));
  if (GetLE(s, 28, 2) != 24 || GetLE(s, 30, 4) != 0) return fail("not an uncompressed 24-bit BMP");
  if (w < 0 || hRaw == INT32_MIN) return fail("bad BMP size");
  const bool topDown = hRaw < 0;
  const int32_t h = topDown ? -hRaw : hRaw;
  const uint64_t stride = (static_cast<uint64_t>(w) * 3 + 3) & ~3ull;
  if (offset + stride * static_cast<uint64_t>(h) > s.size()) return fail("truncated BMP");
  bm.SetSize(w, h);
  for (int32_t y = 0; y < h; ++y) {
    const int32_t row = topDown ? y : h - 1 - y;
    std::memcpy(bm.Row(y), s.data() + offset + stride * static_cast<uint64_t>(row),
                static_cast<size_t>(w) * 3);
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
}  // namespace

bool EncodePng(const Bitmap24& bm, std::string& out, std::string* error) {
  out.clear();
  PngSink sink{&out, {}};
  std::vector<png_bytep> rows(static_cast<size_t>(std::max(bm.height, 0)));
  for (int32_t y = 0; y < bm.height; ++y)
    rows[static_cast<size_t>(y)] = const_cast<png_bytep>(bm.Row(y));
  // Room for the whole picture with the usual compression, so that appending
  // rarely has to grow the string.
  out.reserve(static_cast<size_t>(std::max(bm.width, 0)) * rows.size() + 1024);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, PngError, PngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    if (error) *error = "PNG encoding failed: out of memory";
    out.clear();
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    if (error) *error = "PNG encoding failed: " + sink.message;
    out.clear();
    return false;
  }
  png_set_write_fn(png, &sink, PngAppend, PngFlush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(bm.width), static_cast<png_uint_32>(bm.height),
               8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  // Speed over the last bytes: the "up" filter alone (the clouds change
  // smoothly from row to row) at zlib's fastest level encodes a 512 x 512
  // cloud picture about five times faster than libpng's adaptive filters at
  // level 6, for a file about 13% larger.
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
  png_set_compression_level(png, 1);
  png_write_info(png, info);
  png_set_bgr(png);
  png_write_image(png, rows.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

bool DecodePng(const std::string& bytes, Bitmap24& bm, std::string* error, int32_t width,
               int32_t height) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  auto fail = [&] {
    if (error) *error = std::string("not a readable PNG file: ") + image.message;
    png_image_free(&image);
    return false;
  };
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return fail();
  if (image.width > INT32_MAX / 3 || image.height > INT32_MAX) {
    std::snprintf(image.message, sizeof image.message, "picture too large");
    return fail();
  }
  if (width > 0 && height > 0 &&
      (image.width != static_cast<uint32_t>(width) || image.height != static_cast<uint32_t>(height))) {
    if (error)
      *error = "it is " + std::to_string(image.width) + " x " + std::to_string(image.height) +
               ", not " + std::to_string(width) + " x " + std::to_string(height);
    png_image_free(&image);
    return false;
  }
  image.format = PNG_FORMAT_BGR;
  Bitmap24 read;
  try {
    read.SetSize(static_cast<int32_t>(image.width), static_cast<int32_t>(image.height));
  } catch (const std::bad_alloc&) {
    std::snprintf(image.message, sizeof image.message, "not enough memory for %u x %u pixels",
                  image.width, image.height);
    return fail();
  }
  if (!png_image_finish_read(&image, nullptr, read.bytes.data(), 0, nullptr)) return fail();
  bm = std::move(read);
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
    if (error) *error = "cannot write an empty picture as JPEG";
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
    if (error) *error = std::string("JPEG encoding failed: ") + err.message;
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

bool SaveBitmapByExtension(const Bitmap24& bm, const std::string& path, int jpegQuality,
                           std::string* error, bool replaceProtected) {
  std::string bytes;
  bool ok = false;
  switch (ImageFormatForName(path)) {
    case ImageFormat::Jpeg:
      ok = EncodeJpeg(bm, jpegQuality, bytes, error);
      break;
    case ImageFormat::Png:
      ok = EncodePng(bm, bytes, error);
      break;
    case ImageFormat::Bmp:
      ok = EncodeBmp(bm, bytes, error);
      break;
  }
  return ok && WriteFileAtomically(path, bytes, error, replaceProtected);
}

}  // namespace velmora
