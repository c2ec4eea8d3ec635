#include "output/StillImage.h"

#include <png.h>
#include <stdio.h>
#include <jpeglib.h>

#include <algorithm>
#include <cctype>
#include <csetjmp>
#include <cstring>
#include <new>

#include "base/AtomicFile.h"
#include "base/Strings.h"
#include "base/Translate.h"

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
  if (GetLE(s, 28, 2) != 24 || GetLE(s, 30, 4) != 0) return fail(MsgNoop("not an uncompressed 24-bit BMP"));
  if (w < 0 || hRaw == INT32_MIN) return fail(MsgNoop("bad BMP size"));
  const bool topDown = hRaw < 0;
  const int32_t h = topDown ? -hRaw : hRaw;
  const uint64_t stride = (static_cast<uint64_t>(w) * 3 + 3) & ~3ull;
  if (offset + stride * static_cast<uint64_t>(h) > s.size()) return fail(MsgNoop("truncated BMP"));
  bm.SetSize(w, h);
  for (int32_t y = 0; y < h; ++y) {
    const int32_t row = topDown ? y : h - 1 - y;
    std::memcpy(bm.Row(y), s.data() + offset + stride * static_cast<uint64_t>(row),
                static_cast<size_t>(w) * 3);
  }
  return true;
}

bool EncodePng(const Bitmap24& bm, std::string& out, std::string* error) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(bm.width);
  image.height = static_cast<png_uint_32>(bm.height);
  image.format = PNG_FORMAT_BGR;
  // Encoded once into room for the largest possible file; only a buffer that
  // proves too small (libpng then reports the size it needs) is encoded again.
  png_alloc_size_t capacity = PNG_IMAGE_PNG_SIZE_MAX(image);
  for (int attempt = 0; attempt < 2; ++attempt) {
    out.resize(capacity);
    png_alloc_size_t size = capacity;
    const bool ok =
        png_image_write_to_memory(&image, out.data(), &size, 0, bm.bytes.data(), 0, nullptr);
    if (ok && size <= capacity) {
      out.resize(size);
      return true;
    }
    if (!ok && size <= capacity) break;
    capacity = size;
    image.warning_or_error = 0;
  }
  if (error) *error = MsgFormat("PNG encoding failed: %s", {image.message});
  png_image_free(&image);
  out.clear();
  return false;
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
