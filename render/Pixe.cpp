#include "render/Pixe.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/MemoryHunger.h"
#include "base/Numeric.h"
#include "render/ParallelPixels.h"

namespace velmora {

namespace {

using LD = long double;

// Element count of a w x h buffer, or -1 when the byte size does not fit the
// pool's 32-bit block sizes.
int64_t ElementCount(int32_t w, int32_t h, size_t elemSize) {
  const int64_t n = static_cast<int64_t>(std::max(w, 0)) * std::max(h, 0);
  if (n * static_cast<int64_t>(elemSize) > INT32_MAX) return -1;
  return n;
}

template <typename Buf, typename Elem>
Buf* NewBuffer(HungerPool& pool, int32_t w, int32_t h) {
  w = std::max(w, 0);
  h = std::max(h, 0);
  const int64_t n = ElementCount(w, h, sizeof(Elem));
  if (n < 0) return nullptr;
  auto* b = static_cast<Buf*>(pool.Get(sizeof(Buf)));
  if (!b) return nullptr;
  Elem* data = nullptr;
  if (n > 0) {
    data = static_cast<Elem*>(pool.Get(static_cast<size_t>(n) * sizeof(Elem)));
    if (!data) {
      pool.Free(b);
      return nullptr;
    }
  }
  b->width = w;
  b->height = h;
  b->data = data;
  b->pool = &pool;
  return b;
}

template <typename Buf>
void FreeBuffer(Buf* b) {
  if (!b || !b->pool) return;
  HungerPool& pool = *b->pool;
  pool.Free(b->data);
  pool.Free(b);
}

template <typename Buf, typename Elem>
bool ResizeBuffer(Buf* b, int32_t w, int32_t h) {
  w = std::max(w, 0);
  h = std::max(h, 0);
  if (b->width == w && b->height == h) return true;
  const int64_t n = ElementCount(w, h, sizeof(Elem));
  if (n < 0 || !b->pool) return false;
  Elem* data = nullptr;
  if (n > 0) {
    data = static_cast<Elem*>(b->pool->Get(static_cast<size_t>(n) * sizeof(Elem)));
    if (!data) return false;
    const int32_t cw = std::min(w, b->width);
    const int32_t ch = std::min(h, b->height);
    for (int32_t y = 0; cw > 0 && y < ch; ++y)
      std::memcpy(data + static_cast<size_t>(y) * w, b->data + static_cast<size_t>(y) * b->width,
                  static_cast<size_t>(cw) * sizeof(Elem));
  }
  b->pool->Free(b->data);
  b->data = data;
  b->width = w;
  b->height = h;
  return true;
}

template <typename Buf, typename Elem>
bool CopyBuffer(Buf* dst, const Buf* src) {
  if (!ResizeBuffer<Buf, Elem>(dst, src->width, src->height)) return false;
  if (src->data)
    std::memcpy(dst->data, src->data,
                static_cast<size_t>(src->width) * src->height * sizeof(Elem));
  return true;
}

// Sets every element to v, on the pool's threads when one is given.
template <typename Buf, typename Elem>
void FillBuffer(Buf* b, Elem v, ThreadPool* pool) {
  const int64_t n = static_cast<int64_t>(b->width) * b->height;
  if (pool)
    ParallelFill(*pool, b->data, n, v);
  else
    std::fill_n(b->data, n, v);
}

// Resolves (x, y) to an element index: wraps when asked, -1 when outside.
template <typename Buf>
inline int64_t Address(const Buf* b, int32_t x, int32_t y, bool wrap) {
  if (b->width <= 0 || b->height <= 0) return -1;
  if (x < 0 || y < 0 || x >= b->width || y >= b->height) {
    if (!wrap) return -1;
    x = WrapCoord(x, b->width);
    y = WrapCoord(y, b->height);
  }
  return static_cast<int64_t>(y) * b->width + x;
}

inline uint32_t RoundByte(LD v) { return static_cast<uint32_t>(RoundEven(v)); }

inline LD Clamp255(LD v) { return v > 255 ? 255 : (v < 0 ? 0 : v); }

}  // namespace

TPixeBuffer* NewPixeBuffer(HungerPool& pool, int32_t w, int32_t h) {
  return NewBuffer<TPixeBuffer, PackedPixel>(pool, w, h);
}
TPixeFloatBuffer* NewPixeFloatBuffer(HungerPool& pool, int32_t w, int32_t h) {
  return NewBuffer<TPixeFloatBuffer, FloatPixel>(pool, w, h);
}
TPixeSumBuffer* NewPixeSumBuffer(HungerPool& pool, int32_t w, int32_t h) {
  return NewBuffer<TPixeSumBuffer, SumPixel>(pool, w, h);
}
void FreePixeBuffer(TPixeBuffer* b) { FreeBuffer(b); }
void FreePixeFloatBuffer(TPixeFloatBuffer* b) { FreeBuffer(b); }
void FreePixeSumBuffer(TPixeSumBuffer* b) { FreeBuffer(b); }

bool ResizePixeBuffer(TPixeBuffer* b, int32_t w, int32_t h) {
  return ResizeBuffer<TPixeBuffer, PackedPixel>(b, w, h);
}
bool ResizePixeFloatBuffer(TPixeFloatBuffer* b, int32_t w, int32_t h) {
  return ResizeBuffer<TPixeFloatBuffer, FloatPixel>(b, w, h);
}
bool CopyPixeBuffer(TPixeBuffer* dst, const TPixeBuffer* src) {
  return CopyBuffer<TPixeBuffer, PackedPixel>(dst, src);
}
bool CopyPixeFloatBuffer(TPixeFloatBuffer* dst, const TPixeFloatBuffer* src) {
  return CopyBuffer<TPixeFloatBuffer, FloatPixel>(dst, src);
}

void FillPixeBuffer(TPixeBuffer* b, PackedPixel v, ThreadPool* pool) {
  FillBuffer(b, v, pool);
}
void FillPixeFloatBuffer(TPixeFloatBuffer* b, FloatPixel v, ThreadPool* pool) {
  FillBuffer(b, v, pool);
}
void ClearPixeSumBuffer(TPixeSumBuffer* b) {
  std::fill_n(b->data, static_cast<size_t>(b->width) * b->height, SumPixel{0, 0, 0, 0, 0});
}

PackedPixel GetPixel(const TPixeBuffer* b, int32_t x, int32_t y, bool wrap) {
  const int64_t i = Address(b, x, y, wrap);
  return i < 0 ? 0 : b->data[i];
}
void PutPixel(TPixeBuffer* b, int32_t x, int32_t y, bool wrap, PackedPixel v) {
  const int64_t i = Address(b, x, y, wrap);
  if (i >= 0) b->data[i] = v;
}
FloatPixel GetFloatPixel(const TPixeFloatBuffer* b, int32_t x, int32_t y, bool wrap) {
  const int64_t i = Address(b, x, y, wrap);
  return i < 0 ? FloatPixel{0, 0, 0, 0} : b->data[i];
}
void PutFloatPixel(TPixeFloatBuffer* b, int32_t x, int32_t y, bool wrap, FloatPixel v) {
  const int64_t i = Address(b, x, y, wrap);
  if (i >= 0) b->data[i] = v;
}
void PutFloatSpan(TPixeFloatBuffer* b, int32_t x0, int32_t x1, bool wrap, FloatPixel v, int32_t y) {
  for (int64_t x = x0; x <= x1; ++x) PutFloatPixel(b, static_cast<int32_t>(x), y, wrap, v);
}

PackedPixel PackedBlend(PackedPixel d, PackedPixel s, int mode) {
  const uint32_t dc[3] = {PixR(d), PixG(d), PixB(d)};
  const uint32_t sc[3] = {PixR(s), PixG(s), PixB(s)};
  const uint32_t dA = PixA(d), sA = PixA(s);
  const uint32_t avgA = (dA + sA) >> 1;
  uint32_t rc[3];
  uint32_t a;
  auto satAdd = [&](int i) { return std::min(dc[i] + sc[i], 255u); };
  auto satSub = [&](int i) { return dc[i] > sc[i] ? dc[i] - sc[i] : 0u; };
  auto overA = [&] {
    return std::min(sA + RoundByte(static_cast<LD>(dA) * (255 - sA) / 255), 255u);
  };
  switch (mode) {
    case 0:
      for (int i = 0; i < 3; ++i)
        rc[i] = std::min(dc[i] + RoundByte(static_cast<LD>(sA) * sc[i] / 255), 255u);
      a = avgA;
      break;
    case 1:
      for (int i = 0; i < 3; ++i) {
        const uint32_t sub = RoundByte(static_cast<LD>(sA) * sc[i] / 255);
        rc[i] = dc[i] > sub ? dc[i] - sub : 0u;
      }
      a = avgA;
      break;
    case 2:
      for (int i = 0; i < 3; ++i)
        rc[i] = RoundByte(static_cast<LD>(dc[i] * (255 - sA) + sc[i] * sA) / 256);
      a = std::min(dA + sA, 255u);
      break;
    case 3:
      for (int i = 0; i < 3; ++i)
        rc[i] = std::min(sc[i] + RoundByte(static_cast<LD>(dc[i]) * (255 - sA) / 255), 255u);
      a = sA + RoundByte(static_cast<LD>(dA) * (255 - sA) / 255);
      break;
    case 5:
      for (int i = 0; i < 3; ++i) rc[i] = satAdd(i);
      a = avgA;
      break;
    case 6:
      for (int i = 0; i < 3; ++i) rc[i] = satSub(i);
      a = avgA;
      break;
    case 7:
      for (int i = 0; i < 3; ++i) rc[i] = satAdd(i);
      a = overA();
      break;
    case 8:
      for (int i = 0; i < 3; ++i) rc[i] = satSub(i);
      a = overA();
      break;
    case 9: {
      for (int i = 0; i < 3; ++i)
        rc[i] = RoundByte(static_cast<LD>(dc[i] * (255 - sA) + sc[i] * sA) / 255);
      const LD screen = (1 - (1 - static_cast<LD>(dA) / 255) * (1 - static_cast<LD>(sA) / 255)) * 255;
      a = std::min(RoundByte(screen), 255u);
      break;
    }
    case 10:
      for (int i = 0; i < 3; ++i) rc[i] = satAdd(i);
      a = dA;
      break;
    case 11:
      for (int i = 0; i < 3; ++i) rc[i] = satSub(i);
      a = dA;
      break;
    case 12:
      for (int i = 0; i < 3; ++i)
        rc[i] = dc[i] + RoundByte(static_cast<LD>(sc[i]) * (255 - dc[i]) / 255);
      a = dA;
      break;
    case 13:
      for (int i = 0; i < 3; ++i) rc[i] = dc[i] - RoundByte(static_cast<LD>(dc[i]) / 255 * sc[i]);
      a = dA;
      break;
    default:
      return 0;
  }
  return MakePixel(rc[0], rc[1], rc[2], a);
}

FloatPixel FloatBlend(FloatPixel d, FloatPixel s, int mode) {
  const LD dc[3] = {d.r, d.g, d.b};
  const LD sc[3] = {s.r, s.g, s.b};
  const LD dA = d.a, sA = s.a;
  LD rc[3];
  LD a;
  switch (mode) {
    case 0:
    case 1: {
      const LD sign = mode == 0 ? 1 : -1;
      for (int i = 0; i < 3; ++i) rc[i] = dc[i] + sign * (sA * sc[i] / 255);
      a = (dA + sA) / 2;
      break;
    }
    case 2:
      for (int i = 0; i < 3; ++i) rc[i] = (sA * sc[i] + dc[i] * (255 - sA)) / 256;
      a = dA + sA;
      break;
    case 3:
      for (int i = 0; i < 3; ++i) rc[i] = sc[i] + dc[i] * (255 - sA) / 255;
      a = Clamp255(sA + Clamp255(dA) * (255 - sA) / 255);
      break;
    case 5:
      for (int i = 0; i < 3; ++i) rc[i] = sc[i] + dc[i];
      a = (dA + sA) / 2;
      break;
    case 6:
      for (int i = 0; i < 3; ++i) rc[i] = dc[i] - sc[i];
      a = (dA + sA) / 2;
      break;
    case 7:
    case 8:
      for (int i = 0; i < 3; ++i) rc[i] = mode == 7 ? sc[i] + dc[i] : dc[i] - sc[i];
      a = Clamp255(sA + dA * (255 - sA) / 255);
      break;
    case 9:
      for (int i = 0; i < 3; ++i) rc[i] = (sA * sc[i] + dc[i] * (255 - sA)) / 255;
      a = Clamp255((1 - (1 - sA / 255) * (1 - dA / 255)) * 255);
      break;
    case 10:
      for (int i = 0; i < 3; ++i) rc[i] = std::min<LD>(sc[i] + dc[i], 255);
      a = dA;
      break;
    case 11:
      for (int i = 0; i < 3; ++i) rc[i] = std::max<LD>(dc[i] - sc[i], 0);
      a = dA;
      break;
    case 12:
      for (int i = 0; i < 3; ++i) rc[i] = dc[i] + (255 - dc[i]) / 255 * sc[i];
      a = dA;
      break;
    case 13:
      for (int i = 0; i < 3; ++i) rc[i] = dc[i] - dc[i] / 255 * sc[i];
      a = dA;
      break;
    default:
      return FloatPixel{0, 0, 0, 0};
  }
  return FloatPixel{static_cast<float>(rc[0]), static_cast<float>(rc[1]),
                    static_cast<float>(rc[2]), static_cast<float>(a)};
}

void BlendPixel(TPixeBuffer* b, int32_t x, int32_t y, int mode, bool wrap, PackedPixel s) {
  if (IsTransparent(s)) return;
  const int64_t i = Address(b, x, y, wrap);
  if (i >= 0) b->data[i] = PackedBlend(b->data[i], s, mode);
}

void BlendFloatPixel(TPixeFloatBuffer* b, int32_t x, int32_t y, int mode, bool wrap, FloatPixel s) {
  if (s.a == 0) return;
  const int64_t i = Address(b, x, y, wrap);
  if (i >= 0) b->data[i] = FloatBlend(b->data[i], s, mode);
}

namespace {

inline int32_t RoundCoord(LD v) {
  // Coordinates far outside any buffer read as outside; clamp before the
  // conversion so that it is always defined.
  const int64_t r = RoundToInt64(v);
  return static_cast<int32_t>(std::clamp<int64_t>(r, INT32_MIN, INT32_MAX));
}

// The common walk of the scaled draws: steps source size / target size, u
// and v accumulated per column and row.
template <typename Fn>
void ScaledWalk(PixeRect src, PixeRect dst, Fn&& fn) {
  if (src.width <= 0 || src.height <= 0 || dst.width <= 0 || dst.height <= 0) return;
  const LD sx = static_cast<LD>(src.width) / dst.width;
  const LD sy = static_cast<LD>(src.height) / dst.height;
  LD v = src.top;
  for (int64_t y = dst.top; y < static_cast<int64_t>(dst.top) + dst.height; ++y) {
    LD u = src.left;
    for (int64_t x = dst.left; x < static_cast<int64_t>(dst.left) + dst.width; ++x) {
      fn(static_cast<int32_t>(x), static_cast<int32_t>(y), u, v, sx, sy);
      u += sx;
    }
    v += sy;
  }
}

}  // namespace

void StampPen(const TPixeFloatBuffer* pen, PixeRect src, TPixeFloatBuffer* target, int mode,
              bool wrap, PixeRect dst) {
  ScaledWalk(src, dst, [&](int32_t x, int32_t y, LD u, LD v, LD, LD) {
    BlendFloatPixel(target, x, y, mode, wrap, GetFloatPixel(pen, RoundCoord(u), RoundCoord(v), false));
  });
}

void DrawScaledNearest(const TPixeBuffer* src, PixeRect srcRect, TPixeBuffer* target, int mode,
                       bool wrap, PixeRect dstRect) {
  ScaledWalk(srcRect, dstRect, [&](int32_t x, int32_t y, LD u, LD v, LD, LD) {
    BlendPixel(target, x, y, mode, wrap, GetPixel(src, RoundCoord(u), RoundCoord(v), false));
  });
}

void DrawScaledSupersampled(const TPixeBuffer* src, PixeRect srcRect, TPixeBuffer* target,
                            int mode, bool wrap, PixeRect dstRect) {
  ScaledWalk(srcRect, dstRect, [&](int32_t x, int32_t y, LD u, LD v, LD sx, LD sy) {
    uint32_t sum[4] = {0, 0, 0, 0};
    for (int k = 0; k < 3; ++k)
      for (int l = 0; l < 3; ++l) {
        const PackedPixel p =
            GetPixel(src, RoundCoord(u + k * sx / 3), RoundCoord(v + l * sy / 3), wrap);
        sum[0] += PixR(p);
        sum[1] += PixG(p);
        sum[2] += PixB(p);
        sum[3] += PixA(p);
      }
    BlendPixel(target, x, y, mode, wrap, MakePixel(sum[0] / 9, sum[1] / 9, sum[2] / 9, sum[3] / 9));
  });
}

PackedPixel FloatToPacked(FloatPixel f) {
  auto conv = [](float c) -> uint32_t {
    if (c > 255) return 255;
    if (c < 0) return 0;
    if (std::isnan(c)) return 0;
    return static_cast<uint32_t>(RoundEven(c));
  };
  return MakePixel(conv(f.r), conv(f.g), conv(f.b), conv(f.a));
}

FloatPixel PackedToFloat(PackedPixel p) {
  return FloatPixel{static_cast<float>(PixR(p)), static_cast<float>(PixG(p)),
                    static_cast<float>(PixB(p)), 255.0f};
}

PackedPixel InterpolateColor(PackedPixel a, PackedPixel b, long double x) {
  if (IsTransparent(a)) a = (b & 0x00FFFFFFu) | (a & 0xFF000000u);
  if (IsTransparent(b)) b = (a & 0x00FFFFFFu) | (b & 0xFF000000u);
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const LD ca = (a >> shift) & 0xFFu;
    const LD cb = (b >> shift) & 0xFFu;
    const int64_t c = TruncToInt64(x * ca + (1 - x) * cb);
    out |= (static_cast<uint32_t>(c) & 0xFFu) << shift;
  }
  return out;
}

void WrappedCell(long double v, int32_t size, int32_t& cell, long double& frac) {
  if (!std::isfinite(v)) {
    cell = 0;
    frac = 0;
    return;
  }
  const LD f = std::floor(v);
  frac = v - f;
  LD m = std::fmod(f, static_cast<LD>(size));
  if (m < 0) m += size;
  cell = static_cast<int32_t>(m);
  if (cell >= size) cell = 0;
}

PackedPixel BilinearSample(const TPixeBuffer* b, long double y, long double x) {
  if (b->width <= 0 || b->height <= 0) return 0;
  int32_t ix, iy;
  LD fx, fy;
  WrappedCell(x, b->width, ix, fx);
  WrappedCell(y, b->height, iy, fy);
  const int32_t ix1 = ix + 1 == b->width ? 0 : ix + 1;
  const int32_t iy1 = iy + 1 == b->height ? 0 : iy + 1;
  auto P = [&](int32_t i, int32_t j) { return b->data[static_cast<size_t>(j) * b->width + i]; };
  const PackedPixel top = InterpolateColor(P(ix1, iy), P(ix, iy), fx);
  const PackedPixel bottom = InterpolateColor(P(ix1, iy1), P(ix, iy1), fx);
  return InterpolateColor(bottom, top, fy);
}

void Bitmap24::SetSize(int32_t w, int32_t h) {
  width = std::max(w, 0);
  height = std::max(h, 0);
  bytes.assign(static_cast<size_t>(width) * height * 3, 0);
}

void FillBitmap(Bitmap24& bm, uint32_t colour) {
  for (size_t i = 0; i + 2 < bm.bytes.size(); i += 3) {
    bm.bytes[i] = static_cast<uint8_t>(colour >> 16);
    bm.bytes[i + 1] = static_cast<uint8_t>(colour >> 8);
    bm.bytes[i + 2] = static_cast<uint8_t>(colour);
  }
}

namespace {
inline int64_t BitmapAddress(const Bitmap24& bm, int32_t x, int32_t y, bool wrap) {
  if (bm.width <= 0 || bm.height <= 0) return -1;
  if (x < 0 || y < 0 || x >= bm.width || y >= bm.height) {
    if (!wrap) return -1;
    x = WrapCoord(x, bm.width);
    y = WrapCoord(y, bm.height);
  }
  return (static_cast<int64_t>(y) * bm.width + x) * 3;
}
}  // namespace

uint32_t GetBitmapPixel(const Bitmap24& bm, int32_t x, int32_t y, bool wrap) {
  const int64_t i = BitmapAddress(bm, x, y, wrap);
  if (i < 0) return 0;
  return static_cast<uint32_t>(bm.bytes[i + 2]) | (static_cast<uint32_t>(bm.bytes[i + 1]) << 8) |
         (static_cast<uint32_t>(bm.bytes[i]) << 16);
}

void PutBitmapPixel(Bitmap24& bm, int32_t x, int32_t y, bool wrap, uint32_t colour) {
  const int64_t i = BitmapAddress(bm, x, y, wrap);
  if (i < 0) return;
  bm.bytes[i] = static_cast<uint8_t>(colour >> 16);
  bm.bytes[i + 1] = static_cast<uint8_t>(colour >> 8);
  bm.bytes[i + 2] = static_cast<uint8_t>(colour);
}

namespace {

// Sizes BM to the buffer and writes each pixel's B, G, R bytes, taking the
// packed pixel from PACKED(source pixel); rows are split over the pool.
template <typename Buffer, typename ToPacked>
void ConvertToBitmap(Bitmap24& bm, const Buffer* b, ThreadPool* pool, ToPacked packed) {
  if (bm.width != b->width || bm.height != b->height) bm.SetSize(b->width, b->height);
  const int64_t n = static_cast<int64_t>(b->width) * b->height;
  uint8_t* out = bm.bytes.data();
  auto convert = [&](int64_t from, int64_t to) {
    for (int64_t i = from; i < to; ++i) {
      const PackedPixel p = packed(b->data[i]);
      out[i * 3] = static_cast<uint8_t>(PixB(p));
      out[i * 3 + 1] = static_cast<uint8_t>(PixG(p));
      out[i * 3 + 2] = static_cast<uint8_t>(PixR(p));
    }
  };
  if (pool)
    ForElements(*pool, n, convert);
  else
    convert(0, n);
}

}  // namespace

void BufferToBitmap(Bitmap24& bm, const TPixeBuffer* b, ThreadPool* pool) {
  ConvertToBitmap(bm, b, pool, [](PackedPixel p) { return p; });
}

void FloatBufferToBitmap(Bitmap24& bm, const TPixeFloatBuffer* b, ThreadPool* pool) {
  ConvertToBitmap(bm, b, pool, [](const FloatPixel& p) { return FloatToPacked(p); });
}

}  // namespace velmora
