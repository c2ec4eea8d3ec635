// The stamped layers a context keeps from one frame to the next: the base
// pattern and the normalised warp template, each with the inputs it was made
// from.  Stamping is most of a frame's work, and in a movie or a preview many
// frames stamp exactly what the frame before stamped (held keys, a change of
// colour, blur or warp amount only): such a frame takes the buffer as it is
// instead of stamping it again.
//
// A layer is taken only when every input it was made from is the same, bit
// for bit, so the picture is the one a fresh context renders.  A layer is
// also taken when only its position changed: its stamps wrap around the
// edges, so moving all of them moves the whole layer, and the kept one is
// moved cyclically by the difference (the base pattern with the cloud
// position; the warp template with both warp positions together).  The stages
// that write the buffers forget their layer first; the frame-buffer
// allocation forgets both when it replaces or resizes a buffer, and new pens
// change the pens' generation, which every key holds.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>

namespace velmora {

class RenderContext;
class RenderSequence;
struct PixelOffset;
struct TCloudFrameParams;
struct TPixeFloatBuffer;

// The inputs of one layer: integers and reals, compared exactly (reals by
// value and sign, so -0 and +0 differ and NaN matches nothing).
struct LayerKey {
  std::array<int64_t, 10> ints{};
  std::array<long double, 8> reals{};

  bool Matches(const LayerKey& other) const {
    if (ints != other.ints) return false;
    for (size_t i = 0; i < reals.size(); ++i)
      if (!(reals[i] == other.reals[i]) || std::signbit(reals[i]) != std::signbit(other.reals[i]))
        return false;
    return true;
  }
};

// A finished layer: what its stamps charged to the work budget and the
// random generator's state it left, so a frame that takes it counts and
// draws as one that stamps it.
struct KeptLayer {
  bool valid = false;
  LayerKey key;
  long double work = 0;
  uint32_t rngAfter = 0;
  // The offset in pixels the layer lies at, for a layer that moves with its
  // position (its key leaves the position out).
  int32_t x = 0, y = 0;
};

struct StampedLayerCache {
  KeptLayer Base;  // base_pattern after its clip and normalisation
  KeptLayer Warp;  // warp_template after both layers and the normalisation
  // The warp normalisation the kept template was normalised with (the
  // sequence's values afterwards), and whether it was found from the
  // template itself rather than fixed beforehand.
  long double WarpOffset = 0, WarpScale = 0;
  bool WarpFromData = false;
  // Layers taken instead of stamped, for tests and benchmarks.
  int64_t Reused = 0;

  void Forget() { Base.valid = Warp.valid = false; }
};

// The keys of base_pattern (at cloud position OFF) and of warp_template
// (at warp positions ONE and TWO), for the frame at P in CTX.
LayerKey BaseKey(const RenderContext& ctx, const TCloudFrameParams& p, PixelOffset off,
                 const TPixeFloatBuffer* base);
LayerKey WarpKey(const RenderContext& ctx, const TCloudFrameParams& p, PixelOffset one,
                 PixelOffset two, const TPixeFloatBuffer* warp);
// Takes KEPT, the layer in B, when it was made from KEY: moves it to the
// offset AT when it lies elsewhere, charges its stamps' work (under STAGE)
// and leaves the random generator as its stamping did.  False when it was
// not made from KEY, when its work would pass the budget (the stamping then
// stops where the budget says, as it always has) or when it could not be
// moved (no longer kept then; an abort may leave B half moved): the caller
// stamps the layer.
bool TakeKept(RenderContext& ctx, KeptLayer& kept, const LayerKey& key, TPixeFloatBuffer* b,
              PixelOffset at, const char* stage);
// Whether the kept warp template was normalised as SEQ would normalise it
// now: with the same fixed values, or from its own range when SEQ has none.
bool WarpNormalisedAlike(const StampedLayerCache& c, const RenderSequence& seq);

}  // namespace velmora
