// Encoding 24-bit bitmaps as BMP, PNG and JPEG files, chosen by the name's
// extension.
#pragma once

#include <string>

#include "render/Pixe.h"

namespace velmora {

enum class ImageFormat { Bmp, Png, Jpeg };

// ".jpg" and ".jpeg" (any case) are JPEG, ".png" is PNG, every other name BMP.
ImageFormat ImageFormatForName(const std::string& name);

// Encoders into memory.  Each returns false (with *error) on failure.
bool EncodeBmp(const Bitmap24& bm, std::string& out, std::string* error);
bool EncodePng(const Bitmap24& bm, std::string& out, std::string* error);
bool EncodeJpeg(const Bitmap24& bm, int quality, std::string& out, std::string* error);

// Writes the bitmap by its name's format (JPEG at the given quality, 0..100),
// through a temporary file so that no half-written picture is left behind.
// A write-protected file is kept unless REPLACEPROTECTED.
bool SaveBitmapByExtension(const Bitmap24& bm, const std::string& path, int jpegQuality,
                           std::string* error, bool replaceProtected = false);

// Reads a 24-bit BMP written by EncodeBmp (or any bottom-up or top-down
// uncompressed 24-bit BMP).  Used by tests and tools.
bool DecodeBmp(const std::string& bytes, Bitmap24& bm, std::string* error);
// Reads a PNG file's bytes (any PNG; alpha is composed onto black).  False
// with *error for anything libpng cannot read, truncated files included, and
// when the memory for its pixels cannot be had.  With WIDTH and HEIGHT above
// 0, a picture of another size is refused from its header, before any
// memory is taken for its pixels.
bool DecodePng(const std::string& bytes, Bitmap24& bm, std::string* error, int32_t width = 0,
               int32_t height = 0);

}  // namespace velmora
