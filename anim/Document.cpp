#include "anim/Document.h"

#include <utility>

namespace velmora {

Document::Document() : Curves(NewCurveSet()) {}

Document::~Document() { FreeCurveSet(Curves); }

Document::Document(const Document& other)
    : Curves(CopyCurveSet(other.Curves)),
      Params(other.Params),
      Model(other.Model) {}

Document& Document::operator=(const Document& other) {
  if (this != &other) {
    TCloudCurveSet* copy = CopyCurveSet(other.Curves);
    FreeCurveSet(Curves);
    Curves = copy;
    Params = other.Params;
    Model = other.Model;
  }
  return *this;
}

Document::Document(Document&& other) noexcept : Document() {
  std::swap(Curves, other.Curves);
  Params = other.Params;
  Model = std::move(other.Model);
}

Document& Document::operator=(Document&& other) noexcept {
  std::swap(Curves, other.Curves);
  Params = other.Params;
  Model = std::move(other.Model);
  return *this;
}

void Document::ApplyNewProjectDefaults(const TWindowHooks& hooks) {
  velmora::ApplyNewProjectDefaults(Curves, Params, Model, hooks);
}

}  // namespace velmora
