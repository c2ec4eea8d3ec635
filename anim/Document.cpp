#include "anim/Document.h"

#include <utility>

namespace velmora {

Document::Document() : Curves(NewCurveSet()) {}

Document::~Document() { FreeCurveSet(Curves); }

Document::Document(const Document& other)
    : Curves(CopyCurveSet(other.Curves)),
      Params(other.Params),
      Model(other.Model),
      texture_(other.texture_) {}

Document& Document::operator=(const Document& other) {
  if (this != &other) {
    TCloudCurveSet* copy = CopyCurveSet(other.Curves);
    FreeCurveSet(Curves);
    Curves = copy;
    Params = other.Params;
    Model = other.Model;
    texture_ = other.texture_;
  }
  return *this;
}

Document::Document(Document&& other) noexcept : Document() {
  std::swap(Curves, other.Curves);
  Params = other.Params;
  Model = std::move(other.Model);
  texture_ = other.texture_;  // shared: OTHER's record still points at it
}

Document& Document::operator=(Document&& other) noexcept {
  std::swap(Curves, other.Curves);
  Params = other.Params;
  Model = std::move(other.Model);
  texture_ = other.texture_;
  return *this;
}

void Document::SetTexture(std::shared_ptr<const TTexture> texture) {
  texture_ = std::move(texture);
  Params.Texture = texture_ ? &texture_->buffer : nullptr;
}

void Document::ApplyNewProjectDefaults(const TWindowHooks& hooks) {
  velmora::ApplyNewProjectDefaults(Curves, Params, Model, hooks);
}

}  // namespace velmora
