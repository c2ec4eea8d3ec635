// The texture mix stage and the wrap-around scaling of its texture.
#include "render/TextureMix.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/Translate.h"
#include "render/ParallelPixels.h"
#include "render/Render.h"
#include "render/RenderContext.h"

namespace velmora {

namespace {

// The source pixels (and their weights, summing to 1) that make up each of
// the M target pixels along an axis of N source pixels.
struct AxisTaps {
  std::vector<size_t> first;  // M + 1 offsets into index/weight
  std::vector<int32_t> index;
  std::vector<double> weight;
};

AxisTaps MakeTaps(int32_t n, int32_t m) {
  AxisTaps t;
  t.first.reserve(static_cast<size_t>(m) + 1);
  const double s = static_cast<double>(n) / m;
  auto add = [&](int64_t i, double w) {
    if (w <= 0) return;
    t.index.push_back(WrapCoord(static_cast<int32_t>(i % n), n));
    t.weight.push_back(w);
  };
  for (int32_t o = 0; o < m; ++o) {
    t.first.push_back(t.index.size());
    if (m < n) {
      // Shrinking: the mean over the source span the pixel covers.
      const double a = o * s, b = (o + 1) * s;
      const auto i0 = static_cast<int64_t>(std::floor(a));
      const auto i1 = static_cast<int64_t>(std::ceil(b));
      for (int64_t i = i0; i < i1; ++i)
        add(i, (std::min<double>(b, static_cast<double>(i + 1)) - std::max<double>(a, static_cast<double>(i))) / s);
    } else {
      // Growing (or the same size): between the two nearest pixel centres.
      const double p = (o + 0.5) * s - 0.5;
      const double f0 = std::floor(p);
      const double f = p - f0;
      const auto i0 = static_cast<int64_t>(f0);
      add(i0, 1 - f);
      add(i0 + 1, f);
    }
  }
  t.first.push_back(t.index.size());
  return t;
}

uint32_t ToByte(double v) {
  return static_cast<uint32_t>(std::clamp(std::nearbyint(v), 0.0, 255.0));
}

// Blends every non-transparent pixel of SRC into the same pixel of DST
// (both of one size) with packed blend MODE.
void Lay(RenderContext& ctx, const TPixeBuffer* src, TPixeBuffer* dst, int mode) {
  const int32_t w = dst->width;
  ctx.Threads.For(dst->height, RowGrain(w), [&](int64_t from, int64_t to, int) {
    for (int64_t y = from; y < to; ++y) {
      const PackedPixel* s = src->data + y * w;
      PackedPixel* d = dst->data + y * w;
      for (int32_t x = 0; x < w; ++x)
        if (!IsTransparent(s[x])) d[x] = MixBlend(d[x], s[x], mode);
    }
  });
}

}  // namespace

// round(n / 255) has no ties (2n = 255 (2k + 1) has an even left side and an
// odd right one); n / 256 rounds its ties to the even neighbour.
PackedPixel MixBlend(PackedPixel d, PackedPixel s, int mode) {
  if (mode < 0 || mode > 2) return PackedBlend(d, s, mode);
  const uint32_t sA = PixA(s), dA = PixA(d);
  uint32_t c[3];
  for (int i = 0; i < 3; ++i) {
    const uint32_t dc = (d >> (8 * i)) & 0xFFu, sc = (s >> (8 * i)) & 0xFFu;
    if (mode == 2) {
      const uint32_t n = dc * (255 - sA) + sc * sA;
      uint32_t q = n >> 8;
      const uint32_t r = n & 0xFFu;
      if (r > 128 || (r == 128 && (q & 1))) ++q;
      c[i] = q;
    } else {
      const uint32_t add = (2 * sA * sc + 255) / 510;
      c[i] = mode == 0 ? std::min(dc + add, 255u) : (dc > add ? dc - add : 0u);
    }
  }
  const uint32_t a = mode == 2 ? std::min(dA + sA, 255u) : (dA + sA) >> 1;
  return MakePixel(c[0], c[1], c[2], a);
}

std::shared_ptr<TTexture> NewTexture(int32_t w, int32_t h) {
  auto t = std::make_shared<TTexture>();
  w = std::max(w, 0);
  h = std::max(h, 0);
  t->pixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
  t->buffer = TPixeBuffer{w, h, t->pixels.data(), nullptr};
  return t;
}

void ScaleTextureWrapped(const TPixeBuffer* src, TPixeBuffer* dst, ThreadPool* pool) {
  if (!dst || dst->width <= 0 || dst->height <= 0) return;
  const int32_t sw = src ? src->width : 0, sh = src ? src->height : 0;
  if (sw <= 0 || sh <= 0 || !src->data) {
    std::fill_n(dst->data, static_cast<size_t>(dst->width) * dst->height, PackedPixel{0});
    return;
  }
  const int32_t dw = dst->width, dh = dst->height;
  const AxisTaps tx = MakeTaps(sw, dw), ty = MakeTaps(sh, dh);
  // Pass 1 along the rows into dw x sh premultiplied values (R·A, G·A, B·A, A).
  std::vector<double> rows(static_cast<size_t>(dw) * sh * 4);
  auto forRows = [&](int64_t n, auto&& body) {
    if (pool)
      pool->For(n, RowGrain(std::max(sw, dw)), [&](int64_t b, int64_t e, int) { body(b, e); });
    else
      body(0, n);
  };
  forRows(sh, [&](int64_t from, int64_t to) {
    for (int64_t y = from; y < to; ++y) {
      const PackedPixel* in = src->data + y * sw;
      double* out = rows.data() + y * dw * 4;
      for (int32_t x = 0; x < dw; ++x) {
        double acc[4] = {0, 0, 0, 0};
        for (size_t k = tx.first[x]; k < tx.first[x + 1]; ++k) {
          const PackedPixel p = in[tx.index[k]];
          const double wa = tx.weight[k] * PixA(p);
          acc[0] += wa * PixR(p);
          acc[1] += wa * PixG(p);
          acc[2] += wa * PixB(p);
          acc[3] += wa;
        }
        std::copy_n(acc, 4, out + x * 4);
      }
    }
  });
  // Pass 2 down the columns, then back to straight colours.
  forRows(dh, [&](int64_t from, int64_t to) {
    for (int64_t y = from; y < to; ++y) {
      PackedPixel* out = dst->data + y * dw;
      for (int32_t x = 0; x < dw; ++x) {
        double acc[4] = {0, 0, 0, 0};
        for (size_t k = ty.first[y]; k < ty.first[y + 1]; ++k) {
          const double* p = rows.data() + (static_cast<size_t>(ty.index[k]) * dw + x) * 4;
          for (int c = 0; c < 4; ++c) acc[c] += ty.weight[k] * p[c];
        }
        const double a = acc[3];
        if (a <= 0) {
          out[x] = 0;
          continue;
        }
        out[x] = MakePixel(ToByte(acc[0] / a), ToByte(acc[1] / a), ToByte(acc[2] / a), ToByte(a));
      }
    }
  });
}

const TPixeBuffer* PictureBuffer(const RenderContext& ctx, const TCloudFrameParams& params) {
  if (params.Texture && ctx.Frame.mixed_texture) return ctx.Frame.mixed_texture;
  return ctx.Frame.filtered_cloud;
}

// The texture is scaled to the render size first (the same filter for the
// preview and the exports, so FAST changes nothing), then laid over the
// clouds pixel for pixel.
void MixTextureStage(RenderContext& ctx, const TCloudFrameParams& params, bool /*fast*/) {
  ctx.FrameProgress = 100;
  if (ctx.AbortRequested()) return;
  TPixeBuffer* mixed = ctx.Frame.mixed_texture;
  const TPixeBuffer* clouds = ctx.Frame.filtered_cloud;
  if (!mixed || !clouds) return;
  const TPixeBuffer* tex = params.Texture;
  if (!tex) {
    CopyPixeBuffer(mixed, clouds);
    return;
  }
  if (!ResizePixeBuffer(mixed, clouds->width, clouds->height)) return;
  TPixeBuffer* scaled = NewPixeBuffer(ctx.Pool, clouds->width, clouds->height);
  if (!scaled) {
    ctx.ShowMessage(TrFormat("雲模様バッファ(%s)の確保に失敗しました", {"texture"}));
    return;
  }
  ScaleTextureWrapped(tex, scaled, &ctx.Threads);
  if (params.UnderTexture == 0) {
    // Clouds over the texture: the texture averaged onto black, then the
    // clouds blended on with the pile mode.
    FillPixeBuffer(mixed, 0xFF000000u, &ctx.Threads);
    Lay(ctx, scaled, mixed, 2);
    Lay(ctx, clouds, mixed, params.PileMode);
  } else {
    // The texture over the clouds with the pile mode.
    CopyPixeBuffer(mixed, clouds);
    Lay(ctx, scaled, mixed, params.PileMode);
  }
  FreePixeBuffer(scaled);
}

}  // namespace velmora
