// A project as the user edits it: the curves of the parameter set, the
// frame record's values, the timeline and output model (with the project
// file name): what a project file holds.  A plain value: copying a document copies
// its curves, so a copy can be rendered on another thread while the
// original is edited.
//
// How a host uses it:
// - The window keeps one document, edits it on the window thread (controls
//   write Params and key Curves, the timeline moves Model) and renders its
//   preview from Params with the window's own RenderContext.
// - An export takes a copy of the document to a worker thread with a render
//   context of its own; the user keeps editing the original meanwhile.
// - Opening a project builds a new document aside and replaces the current
//   one as a whole (OpenProjectFile in project/ProjectLoad.h); a file that
//   cannot be read leaves the current document untouched.
// - The desktop editor's own state (the modified flag) lives in
//   StudioDocument (studio/), which extends this value.
#pragma once

#include <cstdint>
#include <memory>

#include "anim/CurveSet.h"
#include "anim/ProjectModel.h"
#include "render/Render.h"
#include "render/TextureMix.h"

namespace velmora {

class Document {
 public:
  // Curves without keys, a zero record and the model's initial state; a
  // host applies the new-project defaults before showing it.
  Document();
  ~Document();
  Document(const Document& other);
  Document& operator=(const Document& other);
  Document(Document&& other) noexcept;
  Document& operator=(Document&& other) noexcept;

  // ApplyNewProjectDefaults on this document (record, curves, model).
  void ApplyNewProjectDefaults(const TWindowHooks& hooks = {});
  // Writes the value of every curve at FRAME into the record.
  void EvalAt(int32_t frame) { EvalCurveSet(Curves, Params, frame); }

  // The texture to mix with (none: null), and Params.Texture with it.  The
  // texture is a setting of the session, not of the project: project files
  // neither hold nor change it, and a new or opened project keeps it.  A
  // copy of the document shares it, keeping it alive for as long as the copy
  // renders.
  void SetTexture(std::shared_ptr<const TTexture> texture);
  const std::shared_ptr<const TTexture>& Texture() const { return texture_; }

  TCloudCurveSet* Curves;  // owned, never null; a new project replaces it
  TCloudFrameParams Params;
  TProjectModel Model;

 private:
  std::shared_ptr<const TTexture> texture_;
};

}  // namespace velmora
