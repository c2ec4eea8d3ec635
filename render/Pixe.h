// Pixel buffers: packed 8-bit RGBA, float RGBA and integer accumulation
// images, all drawn from the block pool; pixel access with optional
// wrap-around; the packed and float blend families; scaled draws; the 24-bit
// bitmap type and the conversions to it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmora {

// Packed pixel: R in bits 0..7, G 8..15, B 16..23, A 24..31.
using PackedPixel = uint32_t;

inline uint32_t PixR(PackedPixel p) { return p & 0xFFu; }
inline uint32_t PixG(PackedPixel p) { return (p >> 8) & 0xFFu; }
inline uint32_t PixB(PackedPixel p) { return (p >> 16) & 0xFFu; }
inline uint32_t PixA(PackedPixel p) { return p >> 24; }
inline PackedPixel MakePixel(uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  return (r & 0xFFu) | ((g & 0xFFu) << 8) | ((b & 0xFFu) << 16) | ((a & 0xFFu) << 24);
}
inline bool IsTransparent(PackedPixel p) { return p <= 0x00FFFFFFu; }

struct FloatPixel {
  float r, g, b, a;
};

struct SumPixel {
  int32_t r, g, b, a, n;
};

class HungerPool;
class ThreadPool;

// A buffer header: width, height and the data block, element (x, y) at index
// x + y * width.  Headers and data both come from a block pool, which the
// header names; whoever holds the header owns the buffer.
struct TPixeBuffer {
  int32_t width;
  int32_t height;
  PackedPixel* data;
  HungerPool* pool;  // where header and data came from; null for borrowed pixels
};

struct TPixeFloatBuffer {
  int32_t width;
  int32_t height;
  FloatPixel* data;
  HungerPool* pool;  // where header and data came from; null for borrowed pixels
};

struct TPixeSumBuffer {
  int32_t width;
  int32_t height;
  SumPixel* data;
  HungerPool* pool;  // where header and data came from; null for borrowed pixels
};

// Creation returns nullptr on failure (and releases what it had obtained);
// a negative size counts as 0.  Contents are undefined.
TPixeBuffer* NewPixeBuffer(HungerPool& pool, int32_t w, int32_t h);
TPixeFloatBuffer* NewPixeFloatBuffer(HungerPool& pool, int32_t w, int32_t h);
TPixeSumBuffer* NewPixeSumBuffer(HungerPool& pool, int32_t w, int32_t h);
// Data first, then header; nullptr is ignored.
void FreePixeBuffer(TPixeBuffer* b);
void FreePixeFloatBuffer(TPixeFloatBuffer* b);
void FreePixeSumBuffer(TPixeSumBuffer* b);
// Resize keeping the overlapping top-left area; unchanged size succeeds at
// once; on failure the buffer is unchanged and false is returned.
bool ResizePixeBuffer(TPixeBuffer* b, int32_t w, int32_t h);
bool ResizePixeFloatBuffer(TPixeFloatBuffer* b, int32_t w, int32_t h);
// Resize the target to the source's size, then copy all elements.
bool CopyPixeBuffer(TPixeBuffer* dst, const TPixeBuffer* src);
bool CopyPixeFloatBuffer(TPixeFloatBuffer* dst, const TPixeFloatBuffer* src);

// POOL (when given) shares the fill out among its threads.
void FillPixeBuffer(TPixeBuffer* b, PackedPixel v, ThreadPool* pool = nullptr);
void FillPixeFloatBuffer(TPixeFloatBuffer* b, FloatPixel v, ThreadPool* pool = nullptr);
void ClearPixeSumBuffer(TPixeSumBuffer* b);

// Wrapped coordinate: v mod size made non-negative.
inline int32_t WrapCoord(int32_t v, int32_t size) {
  int32_t m = v % size;
  return m < 0 ? m + size : m;
}

// Outside the buffer: with wrap the coordinates wrap, without it reads give
// zeros and writes do nothing.  A buffer without pixels reads zeros.
PackedPixel GetPixel(const TPixeBuffer* b, int32_t x, int32_t y, bool wrap);
void PutPixel(TPixeBuffer* b, int32_t x, int32_t y, bool wrap, PackedPixel v);
FloatPixel GetFloatPixel(const TPixeFloatBuffer* b, int32_t x, int32_t y, bool wrap);
void PutFloatPixel(TPixeFloatBuffer* b, int32_t x, int32_t y, bool wrap, FloatPixel v);
// Puts v at (x, y) for x from x0 to x1 inclusive; nothing when x1 < x0.
void PutFloatSpan(TPixeFloatBuffer* b, int32_t x0, int32_t x1, bool wrap, FloatPixel v, int32_t y);

// Blends.  Modes outside the tables give an all-zero result.
PackedPixel PackedBlend(PackedPixel d, PackedPixel s, int mode);
FloatPixel FloatBlend(FloatPixel d, FloatPixel s, int mode);
// Blend into a buffer: nothing when s is transparent (packed) or s.a == 0
// (float); addressing as PutPixel.
void BlendPixel(TPixeBuffer* b, int32_t x, int32_t y, int mode, bool wrap, PackedPixel s);
void BlendFloatPixel(TPixeFloatBuffer* b, int32_t x, int32_t y, int mode, bool wrap, FloatPixel s);

struct PixeRect {
  int32_t left, top, width, height;
};

// Stamps a scaled pen: each target pixel samples the pen at the rounded
// accumulated source position (no wrap) and float-blends it into the target.
void StampPen(const TPixeFloatBuffer* pen, PixeRect src, TPixeFloatBuffer* target, int mode,
              bool wrap, PixeRect dst);
// Scaled draws of pixel buffers with a packed blend: nearest pixel, and the
// 3 x 3 supersampled variant.
void DrawScaledNearest(const TPixeBuffer* src, PixeRect srcRect, TPixeBuffer* target, int mode,
                       bool wrap, PixeRect dstRect);
void DrawScaledSupersampled(const TPixeBuffer* src, PixeRect srcRect, TPixeBuffer* target,
                            int mode, bool wrap, PixeRect dstRect);

// Colour conversions.
PackedPixel FloatToPacked(FloatPixel f);
FloatPixel PackedToFloat(PackedPixel p);  // alpha becomes 255

// floor(v) wrapped into 0..size-1 (size > 0) and the fraction v - floor(v),
// as the bilinear sample takes them; a position that is not finite reads
// cell 0 with fraction 0.
void WrappedCell(long double v, int32_t size, int32_t& cell, long double& frac);

// Colour interpolation and the wrapped bilinear sample of a pixel buffer.
PackedPixel InterpolateColor(PackedPixel a, PackedPixel b, long double x);
PackedPixel BilinearSample(const TPixeBuffer* b, long double y, long double x);

// A 24-bit bitmap: rows of B, G, R bytes, top row first, no row padding.
struct Bitmap24 {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> bytes;

  void SetSize(int32_t w, int32_t h);
  uint8_t* Row(int32_t y) { return bytes.data() + static_cast<size_t>(y) * width * 3; }
  const uint8_t* Row(int32_t y) const {
    return bytes.data() + static_cast<size_t>(y) * width * 3;
  }
};

// Bitmap pixel access as a window-system colour (0x00BBGGRR), wrap as for
// buffers; outside without wrap reads 0 and writes nothing.
void FillBitmap(Bitmap24& bm, uint32_t colour);
uint32_t GetBitmapPixel(const Bitmap24& bm, int32_t x, int32_t y, bool wrap);
void PutBitmapPixel(Bitmap24& bm, int32_t x, int32_t y, bool wrap, uint32_t colour);

// Sizes the bitmap to the buffer and writes every pixel's B, G, R.
// POOL (when given) shares the rows out among its threads.
void BufferToBitmap(Bitmap24& bm, const TPixeBuffer* b, ThreadPool* pool = nullptr);
void FloatBufferToBitmap(Bitmap24& bm, const TPixeFloatBuffer* b, ThreadPool* pool = nullptr);

}  // namespace velmora
