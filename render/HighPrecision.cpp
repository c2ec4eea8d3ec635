#include "render/HighPrecision.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "base/Numeric.h"
#include "base/Translate.h"
#include "render/Blur.h"
#include "render/ColorFilter.h"
#include "render/Ease.h"
#include "render/ParallelPixels.h"
#include "render/TextureMix.h"

namespace velmora {

namespace {

using LD = long double;

// Makes sure SLOT holds a float buffer of w x h from POOL.
bool EnsureFloat(HungerPool& pool, TPixeFloatBuffer*& slot, int32_t w, int32_t h) {
  if (!slot) {
    slot = NewPixeFloatBuffer(pool, w, h);
    return slot != nullptr;
  }
  if (ResizePixeFloatBuffer(slot, w, h)) return true;
  FreePixeFloatBuffer(slot);
  slot = nullptr;
  return false;
}

inline float Clamp255(float v) {
  if (!(v > 0)) return 0;  // also NaN
  return v > 255 ? 255.0f : v;
}

// The colour filter's curve of one channel, sampled at kNodes + 1 evenly
// spaced greys and interpolated linearly between them: the interpolation
// error stays below 0.001 of a level for every slope the window offers, far
// below a 16-bit step (1/257 of a level).
constexpr int kNodes = 4096;

struct CurveTable {
  double node[kNodes + 1];
  void Make(LD slope, uint8_t end, uint8_t start, LD factor) {
    for (int k = 0; k <= kNodes; ++k) {
      const LD v = static_cast<LD>(k) * 255 / kNodes;
      LD y = SlopeEase(slope, v, 255, 0, end, start) * factor;
      if (std::isnan(y)) y = 0;  // a slope too steep for the power, as the 8-bit filter
      node[k] = static_cast<double>(y);
    }
  }
  float At(float grey) const {
    const double t = static_cast<double>(grey) * (kNodes / 255.0);
    const int i = std::min(static_cast<int>(t), kNodes - 1);
    const double f = t - i;
    return static_cast<float>(node[i] + f * (node[i + 1] - node[i]));
  }
};

// InterpolateColor without truncation: x * a + (1 - x) * b per channel, a
// transparent pixel taking the other's colour.
inline FloatPixel Lerp(FloatPixel a, FloatPixel b, float x) {
  if (!(a.a > 0)) a = FloatPixel{b.r, b.g, b.b, a.a};
  if (!(b.a > 0)) b = FloatPixel{a.r, a.g, a.b, b.a};
  const float w = 1 - x;
  return FloatPixel{x * a.r + w * b.r, x * a.g + w * b.g, x * a.b + w * b.b, x * a.a + w * b.a};
}

// The packed blend modes of the texture mix (0 add, 1 subtract, 2 average)
// without rounding; any other mode goes through the packed blend.
FloatPixel MixBlend(FloatPixel d, FloatPixel s, int mode) {
  switch (mode) {
    case 0:
    case 1: {
      const float k = (mode == 0 ? 1.0f : -1.0f) * s.a / 255;
      auto c = [&](float dc, float sc) { return std::clamp(dc + k * sc, 0.0f, 255.0f); };
      return FloatPixel{c(d.r, s.r), c(d.g, s.g), c(d.b, s.b), (d.a + s.a) / 2};
    }
    case 2: {
      auto c = [&](float dc, float sc) { return (dc * (255 - s.a) + sc * s.a) / 256; };
      return FloatPixel{c(d.r, s.r), c(d.g, s.g), c(d.b, s.b), std::min(d.a + s.a, 255.0f)};
    }
    default: {
      const PackedPixel p = PackedBlend(FloatToPacked(d), FloatToPacked(s), mode);
      return FloatPixel{static_cast<float>(PixR(p)), static_cast<float>(PixG(p)),
                        static_cast<float>(PixB(p)), static_cast<float>(PixA(p))};
    }
  }
}

FloatPixel PackedAsFloat(PackedPixel p) {
  return FloatPixel{static_cast<float>(PixR(p)), static_cast<float>(PixG(p)),
                    static_cast<float>(PixB(p)), static_cast<float>(PixA(p))};
}

// The rounded blur offset as a shift s in 0..size-1 (position p reads cell
// (p - s) mod size); -1 when not finite (every position reads cell 0).
int32_t WrappedShift(LD offset, int32_t size) {
  if (!std::isfinite(offset)) return -1;
  LD m = std::fmod(RoundEven(offset), static_cast<LD>(size));
  if (m < 0) m += size;
  const int32_t s = static_cast<int32_t>(m);
  return s >= size ? 0 : s;
}

// The cells a bilinear pass reads along one axis: position p reads cell[p]
// and cell[p] + 1 (wrapped) with the one fraction of the offset.
void PlanCells(std::vector<int32_t>& lo, std::vector<int32_t>& hi, float& frac, int32_t size,
               LD offset) {
  lo.resize(static_cast<size_t>(size));
  hi.resize(static_cast<size_t>(size));
  frac = 0;
  if (!std::isfinite(offset)) {
    std::fill(lo.begin(), lo.end(), 0);
    std::fill(hi.begin(), hi.end(), size > 1 ? 1 : 0);
    return;
  }
  const LD start = std::floor(-offset);
  frac = static_cast<float>(-offset - start);
  LD m = std::fmod(start, static_cast<LD>(size));
  if (m < 0) m += size;
  int32_t c = static_cast<int32_t>(m);
  if (c >= size) c = 0;
  for (int32_t p = 0; p < size; ++p) {
    lo[static_cast<size_t>(p)] = c;
    hi[static_cast<size_t>(p)] = c + 1 == size ? 0 : c + 1;
    c = c + 1 == size ? 0 : c + 1;
  }
}

// Box average of a float buffer by FACTOR into OUT (CHANNELS of R, G, B, A
// from PICK), each render pixel limited to 0..255 first as the standard
// picture's bytes are, the result scaled to 0..1.
template <typename Pick>
void Reduce(RenderContext& ctx, const TPixeFloatBuffer* src, int32_t factor, int channels,
            FloatImage& out, Pick&& pick) {
  const int32_t f = std::max(factor, 1);
  if (!src || src->width <= 0 || src->height <= 0) {
    out.SetSize(0, 0, channels);
    return;
  }
  out.SetSize(src->width / f, src->height / f, channels);
  const double scale = 1.0 / (255.0 * f * f);
  ctx.Threads.For(out.height, RowGrain(src->width) / f + 1, [&](int64_t from, int64_t to, int) {
    for (int32_t i = static_cast<int32_t>(from); i < to; ++i)
      for (int32_t j = 0; j < out.width; ++j) {
        double sum[4] = {0, 0, 0, 0};
        for (int32_t dy = 0; dy < f; ++dy) {
          const FloatPixel* row =
              src->data + (static_cast<size_t>(i) * f + dy) * src->width + static_cast<size_t>(j) * f;
          for (int32_t dx = 0; dx < f; ++dx) {
            float v[4] = {0, 0, 0, 0};
            pick(row[dx], v);
            for (int c = 0; c < channels; ++c) sum[c] += Clamp255(v[c]);
          }
        }
        float* o = out.Pixel(j, i);
        for (int c = 0; c < channels; ++c) o[c] = static_cast<float>(sum[c] * scale);
      }
  });
}

}  // namespace

void HighFrame::Free() {
  for (TPixeFloatBuffer** b : {&cloud, &filtered, &mixed, &acc, &rows}) {
    FreePixeFloatBuffer(*b);
    *b = nullptr;
  }
}

void FloatImage::SetSize(int32_t w, int32_t h, int c) {
  width = std::max(w, 0);
  height = std::max(h, 0);
  channels = c;
  values.assign(static_cast<size_t>(width) * height * static_cast<size_t>(c), 0.0f);
}

void ColorFilterHigh(RenderContext& ctx, HighFrame& high, const TCloudFrameParams& params) {
  const TPixeFloatBuffer* src = high.cloud;
  TPixeFloatBuffer* dst = high.filtered;
  if (!src || !dst || ctx.Work.Exceeded || ctx.AbortRequested()) return;
  if (!ResizePixeFloatBuffer(dst, src->width, src->height)) return;
  const LD br = params.Brightness;
  // Channels with one curve (grey gradients) share a table.
  auto table = std::make_unique<CurveTable[]>(4);
  table[0].Make(params.SlopeR, params.EndColor.r, params.StartColor.r, br);
  table[1].Make(params.SlopeG, params.EndColor.g, params.StartColor.g, br);
  table[2].Make(params.SlopeB, params.EndColor.b, params.StartColor.b, br);
  table[3].Make(params.SlopeA, params.EndColor.a, params.StartColor.a, 1);
  const int32_t w = src->width, h = src->height;
  ctx.Threads.For(h, RowGrain(w), [&](int64_t from, int64_t to, int worker) {
    for (int32_t y = static_cast<int32_t>(from); y < to; ++y) {
      if (ctx.AbortRequested()) return;
      const FloatPixel* in = src->data + static_cast<size_t>(y) * w;
      FloatPixel* out = dst->data + static_cast<size_t>(y) * w;
      for (int32_t x = 0; x < w; ++x) {
        const float v = Clamp255(in[x].r);
        out[x] = FloatPixel{table[0].At(v), table[1].At(v), table[2].At(v), table[3].At(v)};
      }
      if (worker == 0) ctx.FrameProgress = ColorFilterProgress(y, h);
    }
  });
  if (h > 0) ctx.FrameProgress = ColorFilterProgress(h - 1, h);
}

void MixTextureHigh(RenderContext& ctx, HighFrame& high, const TCloudFrameParams& params,
                    bool /*fast*/) {
  ctx.FrameProgress = 100;
  TPixeFloatBuffer* mixed = high.mixed;
  const TPixeFloatBuffer* clouds = high.filtered;
  if (ctx.AbortRequested() || !mixed || !clouds) return;
  const TPixeBuffer* tex = params.Texture;
  if (!tex) {
    CopyPixeFloatBuffer(mixed, clouds);
    return;
  }
  // The texture scaled as the standard mix scales it (wrapping, so the
  // result tiles); the blends then run on floats without rounding.
  const int32_t w = clouds->width, h = clouds->height;
  if (!ResizePixeFloatBuffer(mixed, w, h)) return;
  TPixeBuffer* scaled = NewPixeBuffer(ctx.Pool, w, h);
  if (!scaled) {
    ctx.ShowMessage(TrFormat("雲模様バッファ(%s)の確保に失敗しました", {"texture"}));
    return;
  }
  ScaleTextureWrapped(tex, scaled, &ctx.Threads);
  const bool cloudsOver = params.UnderTexture == 0;
  ctx.Threads.For(h, RowGrain(w), [&](int64_t from, int64_t to, int) {
    for (int64_t y = from; y < to; ++y) {
      const size_t row = static_cast<size_t>(y) * static_cast<size_t>(w);
      for (int32_t x = 0; x < w; ++x) {
        const size_t i = row + static_cast<size_t>(x);
        const PackedPixel t = scaled->data[i];
        FloatPixel& d = mixed->data[i];
        if (cloudsOver) {
          // The texture averaged onto opaque black, the clouds blended on.
          d = FloatPixel{0, 0, 0, 255};
          if (!IsTransparent(t)) d = MixBlend(d, PackedAsFloat(t), 2);
          if (clouds->data[i].a > 0) d = MixBlend(d, clouds->data[i], params.PileMode);
        } else {
          d = clouds->data[i];
          if (!IsTransparent(t)) d = MixBlend(d, PackedAsFloat(t), params.PileMode);
        }
      }
    }
  });
  FreePixeBuffer(scaled);
}

void BlurHigh(RenderContext& ctx, HighFrame& high, const TCloudFrameParams& params) {
  TPixeFloatBuffer* img = high.filtered;
  if (!img || img->width <= 0 || ctx.Work.Exceeded) return;
  const int32_t w = img->width, h = img->height;
  ctx.Rng.Seed(static_cast<uint32_t>(params.Seed));
  if (params.BlurRadius == 0) return;
  if (!EnsureFloat(ctx.Pool, high.acc, w, h) || !EnsureFloat(ctx.Pool, high.rows, w, h)) return;
  FloatPixel* acc = high.acc->data;
  const int64_t n = static_cast<int64_t>(w) * h;
  ParallelFill(ctx.Threads, acc, n, FloatPixel{0, 0, 0, 0});
  const FloatPixel* src = img->data;
  FloatPixel* rows = high.rows->data;
  std::vector<int32_t> xlo, xhi, ylo, yhi;
  const bool done = ForEachBlurSample(ctx, params, w, h, [&](LD ox, LD oy) {
    if (params.BlurDraft) {
      const int32_t sx = WrappedShift(ox, w), sy = WrappedShift(oy, h);
      ctx.Threads.For(h, RowGrain(w), [&](int64_t from, int64_t to, int) {
        for (int32_t py = static_cast<int32_t>(from); py < to; ++py) {
          const int32_t row = sy < 0 ? 0 : (py >= sy ? py - sy : py - sy + h);
          const FloatPixel* in = src + static_cast<size_t>(row) * w;
          FloatPixel* out = acc + static_cast<size_t>(py) * w;
          for (int32_t px = 0; px < w; ++px) {
            const FloatPixel& p = in[sx < 0 ? 0 : (px >= sx ? px - sx : px - sx + w)];
            out[px].r += p.r;
            out[px].g += p.g;
            out[px].b += p.b;
            out[px].a += p.a;
          }
        }
      });
    } else {
      float fx, fy;
      PlanCells(xlo, xhi, fx, w, ox);
      PlanCells(ylo, yhi, fy, h, oy);
      // Along x for every source row, then along y into the sums: each
      // interpolated row serves two output rows.
      ctx.Threads.For(h, RowGrain(w), [&](int64_t from, int64_t to, int) {
        for (int32_t r = static_cast<int32_t>(from); r < to; ++r) {
          const FloatPixel* in = src + static_cast<size_t>(r) * w;
          FloatPixel* out = rows + static_cast<size_t>(r) * w;
          for (int32_t px = 0; px < w; ++px) out[px] = Lerp(in[xhi[px]], in[xlo[px]], fx);
        }
      });
      ctx.Threads.For(h, RowGrain(w), [&](int64_t from, int64_t to, int) {
        for (int32_t py = static_cast<int32_t>(from); py < to; ++py) {
          const FloatPixel* top = rows + static_cast<size_t>(ylo[py]) * w;
          const FloatPixel* bottom = rows + static_cast<size_t>(yhi[py]) * w;
          FloatPixel* out = acc + static_cast<size_t>(py) * w;
          for (int32_t px = 0; px < w; ++px) {
            const FloatPixel p = Lerp(bottom[px], top[px], fy);
            out[px].r += p.r;
            out[px].g += p.g;
            out[px].b += p.b;
            out[px].a += p.a;
          }
        }
      });
    }
  });
  if (!done) return;
  const int64_t count = RoundToInt64(params.BlurSamples);
  // Every pass read the unblurred picture; the mean replaces it only now.
  // No samples at all leave transparent black, as in the 8-bit blur.
  const float inv = count > 0 ? 1.0f / static_cast<float>(count) : 0.0f;
  ForElements(ctx.Threads, n, [&](int64_t from, int64_t to) {
    for (int64_t i = from; i < to; ++i)
      img->data[i] = FloatPixel{acc[i].r * inv, acc[i].g * inv, acc[i].b * inv, acc[i].a * inv};
  });
}

TRenderStages HighPrecisionStages(HighFrame& high) {
  TRenderStages s = EngineStages();
  s.AllocFrameBuffers = [&high](RenderContext& ctx, const TCloudFrameParams& params,
                                const RenderTarget& target, RenderSequence& seq) {
    if (!AllocFrameBuffers(ctx, params, target, seq)) return false;
    const int32_t w = std::max(target.Width, 0), h = std::max(target.Height, 0);
    if (EnsureFloat(ctx.Pool, high.cloud, w, h) && EnsureFloat(ctx.Pool, high.filtered, w, h) &&
        EnsureFloat(ctx.Pool, high.mixed, w, h))
      return true;
    ctx.RenderIdle = true;
    return false;
  };
  s.RenderCloudLayer = [&high](RenderContext& ctx, const TCloudFrameParams& params,
                               const RenderTarget& target, RenderSequence& seq) {
    RenderCloudLayerUnrounded(ctx, params, target, seq, high.cloud);
  };
  s.ColorFilterStage = [&high](RenderContext& ctx, const TCloudFrameParams& params) {
    ColorFilterHigh(ctx, high, params);
  };
  s.MixTextureStage = [&high](RenderContext& ctx, const TCloudFrameParams& params, bool fast) {
    MixTextureHigh(ctx, high, params, fast);
  };
  s.BlurStage = [&high](RenderContext& ctx, const TCloudFrameParams& params) {
    BlurHigh(ctx, high, params);
  };
  return s;
}

bool RenderStillFrameHigh(RenderContext& ctx, const TCloudFrameParams& params, HighFrame& high,
                          std::string* error) {
  if (params.ResX < 1 || params.ResY < 1) {
    if (error)
      *error = MsgFormat("the output size must be at least 1 x 1 (got %s x %s)",
                         {std::to_string(params.ResX), std::to_string(params.ResY)});
    return false;
  }
  RenderSequence seq;
  ctx.PreviewBusy = true;
  ctx.RenderIdle = false;
  ctx.PixeProgress = 0;
  const bool ok = RenderOversampled(ctx, params, seq, error, HighPrecisionStages(high));
  ctx.PreviewBusy = false;
  ctx.RenderIdle = true;
  return ok;
}

void HighPicture(RenderContext& ctx, const HighFrame& high, int32_t factor, bool withAlpha,
                 FloatImage& out, bool textured) {
  // With a texture the mix is the picture; the alpha stays the clouds' own.
  const TPixeFloatBuffer* colour = textured && high.mixed ? high.mixed : high.filtered;
  Reduce(ctx, colour, factor, withAlpha ? 4 : 3, out, [](const FloatPixel& p, float* v) {
    v[0] = p.r;
    v[1] = p.g;
    v[2] = p.b;
    v[3] = p.a;
  });
  if (!withAlpha || colour == high.filtered) return;
  FloatImage alpha;
  Reduce(ctx, high.filtered, factor, 1, alpha, [](const FloatPixel& p, float* v) { v[0] = p.a; });
  for (int32_t y = 0; y < out.height && y < alpha.height; ++y)
    for (int32_t x = 0; x < out.width && x < alpha.width; ++x) out.Pixel(x, y)[3] = *alpha.Pixel(x, y);
}

void HighHeights(RenderContext& ctx, const HighFrame& high, int32_t factor, FloatImage& out) {
  Reduce(ctx, high.cloud, factor, 1, out, [](const FloatPixel& p, float* v) { v[0] = p.r; });
}

void StandardHeights(RenderContext& ctx, int32_t factor, FloatImage& out) {
  Bitmap24 full, reduced;
  const TPixeBuffer* cloud = ctx.Frame.cloud;
  if (cloud && cloud->data) BufferToBitmap(full, cloud, &ctx.Threads);
  const Bitmap24* grey = &full;
  if (factor > 1) {
    reduced.SetSize(full.width / factor, full.height / factor);
    if (reduced.width > 0 && reduced.height > 0) DownSample(ctx, reduced, full);
    grey = &reduced;
  }
  out.SetSize(grey->width, grey->height, 1);
  for (size_t i = 0; i < out.values.size(); ++i)
    out.values[i] = static_cast<float>(grey->bytes[i * 3 + 2] / 255.0);  // the R byte
}

void NormalMap(const FloatImage& heights, double strength, FloatImage& out) {
  const int32_t W = heights.width, H = heights.height;
  out.SetSize(W, H, 3);
  if (W <= 0 || H <= 0 || heights.channels < 1) return;
  const double k = strength * W / 16.0;
  auto h = [&](int32_t x, int32_t y) { return static_cast<double>(heights.Pixel(x, y)[0]); };
  for (int32_t y = 0; y < H; ++y) {
    const int32_t up = y == 0 ? H - 1 : y - 1, down = y + 1 == H ? 0 : y + 1;
    for (int32_t x = 0; x < W; ++x) {
      const int32_t left = x == 0 ? W - 1 : x - 1, right = x + 1 == W ? 0 : x + 1;
      // Rows run down the picture and green points up: the y component has
      // the sign of the height's change downwards.
      const double nx = -k * (h(right, y) - h(left, y)) / 2;
      const double ny = k * (h(x, down) - h(x, up)) / 2;
      const double len = std::sqrt(nx * nx + ny * ny + 1);
      float* o = out.Pixel(x, y);
      o[0] = static_cast<float>(nx / len * 0.5 + 0.5);
      o[1] = static_cast<float>(ny / len * 0.5 + 0.5);
      o[2] = static_cast<float>(1 / len * 0.5 + 0.5);
    }
  }
}

std::string_view ExportMapName(ExportMap map) {
  switch (map) {
    case ExportMap::Height:
      return "height";
    case ExportMap::Normal:
      return "normal";
    default:
      return "picture";
  }
}

bool ExportMapForName(std::string_view name, ExportMap& map) {
  for (ExportMap m : {ExportMap::Picture, ExportMap::Height, ExportMap::Normal})
    if (name == ExportMapName(m)) {
      map = m;
      return true;
    }
  return false;
}

void ExportImage(RenderContext& ctx, const TCloudFrameParams& params, const HighFrame* high,
                 ExportMap map, double strength, bool withAlpha, FloatImage& out) {
  const int32_t factor = OutputFactor(params);
  if (map == ExportMap::Picture) {
    if (high)
      HighPicture(ctx, *high, factor, withAlpha, out, params.Texture != nullptr);
    else
      out.SetSize(0, 0, withAlpha ? 4 : 3);
    return;
  }
  if (high)
    HighHeights(ctx, *high, factor, out);
  else
    StandardHeights(ctx, factor, out);
  if (map == ExportMap::Normal) {
    const FloatImage heights = std::move(out);
    NormalMap(heights, strength, out);
  }
}

void FloatImageToBitmap(const FloatImage& img, Bitmap24& colour, Bitmap24* alpha) {
  colour.SetSize(img.width, img.height);
  const bool withAlpha = alpha && img.channels == 4;
  if (withAlpha) alpha->SetSize(img.width, img.height);
  auto byte = [](float v) {
    if (!(v > 0)) return uint8_t{0};
    return static_cast<uint8_t>(std::nearbyint(std::min(v, 1.0f) * 255.0f));
  };
  const size_t n = static_cast<size_t>(img.width) * static_cast<size_t>(img.height);
  for (size_t i = 0; i < n; ++i) {
    const float* p = img.values.data() + i * static_cast<size_t>(img.channels);
    uint8_t* c = colour.bytes.data() + i * 3;
    if (img.channels >= 3) {
      c[0] = byte(p[2]);
      c[1] = byte(p[1]);
      c[2] = byte(p[0]);
    } else {
      c[0] = c[1] = c[2] = byte(p[0]);
    }
    if (withAlpha) std::fill_n(alpha->bytes.data() + i * 3, 3, byte(p[3]));
  }
}

}  // namespace velmora
