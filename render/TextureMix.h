// The texture the clouds are mixed with, and the texture mix stage.
//
// A texture is a picture read once (output/TextureFile.h reads it from a
// file) and never changed afterwards: hosts share it through a
// shared_ptr<const TTexture>, and the render record's Texture borrows its
// pixels for as long as the owner keeps it alive.
//
// How a texture reaches a picture: MixTextureStage scales the texture to the
// render size (ScaleTextureWrapped) and mixes the clouds with it into
// mixed_texture.  With a texture the render paths run the blur before the
// mix, so the mix holds the finished clouds, and mixed_texture is the
// picture (PictureBuffer); without one nothing changes: the mix is a copy
// made before the blur and filtered_cloud is the picture.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "render/Pixe.h"

namespace velmora {

class RenderContext;
class ThreadPool;
struct TCloudFrameParams;

struct TTexture {
  std::vector<PackedPixel> pixels;  // row-major, width x height
  TPixeBuffer buffer{0, 0, nullptr, nullptr};  // borrows pixels
  std::string path;                 // the file it was read from, for labels and messages
};

// A texture of W x H pixels (all zero), its buffer pointing at its pixels.
std::shared_ptr<TTexture> NewTexture(int32_t w, int32_t h);

// Scales SRC to DST's size: each axis on its own, area averaging where it
// shrinks and bilinear interpolation (pixel centres aligned) where it grows,
// with every coordinate wrapped around the source's edges, so a tiling
// source stays tiling and no edge darkens.  Colours are weighted by their
// alpha (a transparent pixel lends no colour); each channel is rounded to
// the nearest byte, ties to even.  POOL (when given) shares the rows out.
void ScaleTextureWrapped(const TPixeBuffer* src, TPixeBuffer* dst, ThreadPool* pool = nullptr);

// PackedBlend (render/Pixe.h) for the mix stage: the same results, in
// integer arithmetic for its modes 0 (add), 1 (subtract) and 2 (average).
PackedPixel MixBlend(PackedPixel d, PackedPixel s, int mode);

// The buffer that holds the picture of the last render of PARAMS:
// mixed_texture when PARAMS has a texture, else filtered_cloud.
const TPixeBuffer* PictureBuffer(const RenderContext& ctx, const TCloudFrameParams& params);

}  // namespace velmora
