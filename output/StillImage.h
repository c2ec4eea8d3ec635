// Encoding 24-bit bitmaps as BMP, PNG, JPEG and TIFF files, chosen by the
// name's extension (the table of output/Formats.h).
#pragma once

#include <string>

#include "render/Pixe.h"

namespace velmora {

enum class ImageFormat { Bmp, Png, Jpeg, Tiff };

// ".jpg" and ".jpeg" (any case) are JPEG, ".png" is PNG, ".tif" and ".tiff"
// TIFF, every other name BMP.
ImageFormat ImageFormatForName(const std::string& name);

// Encoders into memory.  Each returns false (with *error) on failure.
bool EncodeBmp(const Bitmap24& bm, std::string& out, std::string* error);
bool EncodePng(const Bitmap24& bm, std::string& out, std::string* error);
bool EncodeJpeg(const Bitmap24& bm, int quality, std::string& out, std::string* error);
// Baseline RGB TIFF, 8 bits per channel, deflate-compressed.
bool EncodeTiff(const Bitmap24& bm, std::string& out, std::string* error);

// Writes the bitmap in its name's format (StillFormatForPath: BMP for a name
// the table does not know), JPEG at the given quality (0..100), through a temporary file so that no half-written picture is left behind.
bool SaveBitmapByExtension(const Bitmap24& bm, const std::string& path, int jpegQuality,
                           std::string* error);

// Reads a 24-bit BMP written by EncodeBmp (or any bottom-up or top-down
// uncompressed 24-bit BMP).  Used by tests and tools.
bool DecodeBmp(const std::string& bytes, Bitmap24& bm, std::string* error);
// Reads a PNG file's bytes (any PNG; alpha is composed onto black).  False
// with *error for anything libpng cannot read, truncated files included.
bool DecodePng(const std::string& bytes, Bitmap24& bm, std::string* error);
// Reads a TIFF file's bytes (any TIFF libtiff reads as RGBA; alpha dropped).
bool DecodeTiff(const std::string& bytes, Bitmap24& bm, std::string* error);

}  // namespace velmora
