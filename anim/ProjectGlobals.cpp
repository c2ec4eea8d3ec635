// The application's project state and its renderer, tied to the engine's
// global record and flags.
#include "anim/CurveSet.h"
#include "anim/FrameRender.h"
#include "anim/ProjectModel.h"

namespace velmora {

TCloudCurveSet* CloudCurves = NewCurveSet();
TProjectModel Project;
TWindowHooks WindowHooks;

void NewProjectState() { ApplyNewProjectDefaults(CloudCurves, CloudParams, Project, WindowHooks); }

void EvalProjectAt(int32_t frame) { EvalCurveSet(CloudCurves, CloudParams, frame); }

void FreeProjectState() {
  FreeCurveSet(CloudCurves);
  CloudCurves = nullptr;
  FreeFrameBuffers(CloudParams);
}

TRenderStages EngineStages() {
  TRenderStages s;
  s.AllocFrameBuffers = [](TCloudFrameParams& p, bool preview) {
    return AllocFrameBuffers(p, preview);
  };
  s.RenderCloudLayer = [](TCloudFrameParams& p) { RenderCloudLayer(p); };
  s.ColorFilterStage = [](TCloudFrameParams& p) { ColorFilterStage(p); };
  s.MixTextureStage = [](TCloudFrameParams& p, bool fast) { MixTextureStage(p, fast); };
  s.BlurStage = [](TCloudFrameParams& p) { BlurStage(p); };
  s.BufferToBitmap = [](Bitmap24& bm, const TPixeBuffer* b) { BufferToBitmap(bm, b); };
  s.DownSample = [](Bitmap24& t, const Bitmap24& src) { DownSample(t, src); };
  return s;
}

TFrameRenderer& AppRenderer() {
  static TFrameRenderer renderer{&CloudParams,   &CloudCurves,   &Project,
                                 &RenderIdle,    &PreviewBusy,   &FrameProgress,
                                 &PixeProgress,  EngineStages(), &WindowHooks};
  return renderer;
}

void RenderPreviewFrame() { RenderPreviewFrame(AppRenderer()); }
void RerenderFromFilter() { RerenderFromFilter(AppRenderer()); }
void RerenderMix() { RerenderMix(AppRenderer()); }

}  // namespace velmora
