// Encoding 24-bit bitmaps as BMP, PNG, JPEG and TIFF files, chosen by the
// name's extension (the table of output/Formats.h).
#pragma once

#include <string>

#include "render/HighPrecision.h"
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
// RGBA PNG, 8 bits per channel: the colour picture with ALPHA's blue byte as
// the alpha channel (straight, not premultiplied).
bool EncodePngRgba(const Bitmap24& colour, const Bitmap24& alpha, std::string& out,
                   std::string* error);
// RGB TIFF, 8 bits per channel, deflate-compressed; with ALPHA an RGBA TIFF
// whose fourth sample is unassociated (straight) alpha.
bool EncodeTiff(const Bitmap24& bm, std::string& out, std::string* error,
                const Bitmap24* alpha = nullptr);
// OpenEXR with half-float R, G, B (and A with ALPHA: the colour is then
// premultiplied, as OpenEXR files are), ZIP-compressed.
bool EncodeExr(const Bitmap24& colour, const Bitmap24* alpha, std::string& out,
               std::string* error);

// Pictures of the high-precision render (grey, RGB or RGBA floats, nominal
// 0..1; alpha straight except in OpenEXR).  Values are limited to 0..1 where
// the file holds integers.
// 16-bit PNG: grey, RGB or RGBA.
bool EncodePng16(const FloatImage& img, std::string& out, std::string* error);
// TIFF with 16-bit integer samples or, with FLOATS, 32-bit floats;
// deflate-compressed; grey is min-is-black, alpha unassociated.
bool EncodeTiffHigh(const FloatImage& img, bool floats, std::string& out, std::string* error);
// OpenEXR, ZIP-compressed, HALF or 32-bit float channels: Y for grey;
// R, G, B; with alpha R, G, B premultiplied and A.
bool EncodeExrHigh(const FloatImage& img, bool half, std::string& out, std::string* error);

// Writes the bitmap in its name's format (StillFormatForPath: BMP for a name
// the table does not know), JPEG at the given quality (0..100), through a
// temporary file so that no half-written picture is left behind.  A
// write-protected file is kept unless REPLACEPROTECTED.
bool SaveBitmapByExtension(const Bitmap24& bm, const std::string& path, int jpegQuality,
                           std::string* error, bool replaceProtected = false);

// Reads a 24-bit BMP written by EncodeBmp (or any bottom-up or top-down
// uncompressed 24-bit or 32-bit BMP).
bool DecodeBmp(const std::string& bytes, Bitmap24& bm, std::string* error);
// Reads a JPEG file's bytes (grey or colour; CMYK is refused).
bool DecodeJpeg(const std::string& bytes, Bitmap24& bm, std::string* error);
// Reads a PNG file's bytes (any PNG; alpha is composed onto black).  False
// with *error for anything libpng cannot read, truncated files included, and
// when the memory for its pixels cannot be had.  With WIDTH and HEIGHT above
// 0, a picture of another size is refused from its header, before any
// memory is taken for its pixels.
bool DecodePng(const std::string& bytes, Bitmap24& bm, std::string* error, int32_t width = 0,
               int32_t height = 0);
// Reads a PNG's colour and, as grey pixels, its alpha (255 without one).
bool DecodePngRgba(const std::string& bytes, Bitmap24& colour, Bitmap24& alpha,
                   std::string* error);
// Reads a TIFF file's bytes (any TIFF libtiff reads as RGBA); ALPHA, when
// given, gets the alpha as grey pixels.
bool DecodeTiff(const std::string& bytes, Bitmap24& bm, std::string* error,
                Bitmap24* alpha = nullptr);
// Reads an OpenEXR file's R, G, B (and A, 1 where missing) rounded to bytes;
// CHANNELS, when given, gets the file's channel list ("A:half B:half ...").
bool DecodeExr(const std::string& bytes, Bitmap24& colour, Bitmap24* alpha,
               std::string* channels, std::string* error);

}  // namespace velmora
