// A new project's state owned by one test: parameter set, record, window
// model and hooks that count how often the window was asked to show the
// record or render a full preview (both counters start at 0).
#pragma once

#include "anim/CurveSet.h"
#include "anim/KeyEdit.h"

namespace velmora::testing_anim {

struct State {
  TCloudCurveSet* set = nullptr;
  TCloudFrameParams params;
  TProjectModel model;
  TWindowHooks hooks;
  int shows = 0, fullRequests = 0;
  State() {
    hooks.ShowParams = [this](const TCloudFrameParams&) { ++shows; };
    hooks.RequestFullPreview = [this] { ++fullRequests; };
    ApplyNewProjectDefaults(set, params, model, hooks);
    shows = 0;
  }
  ~State() { FreeCurveSet(set); }
  State(const State&) = delete;
  State& operator=(const State&) = delete;
  TDivs_Curve* curve(int i) { return set->Curves[i]; }
  TTimeLineContext ctx() { return TTimeLineContext{set, params, model, hooks}; }
};

}  // namespace velmora::testing_anim
