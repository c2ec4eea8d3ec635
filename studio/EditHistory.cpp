#include "studio/EditHistory.h"

#include <algorithm>
#include <array>
#include <utility>

#include "anim/TDivs.h"
#include "project/ProjectText.h"

namespace velmora {

namespace {

struct TCurveKeys {
  uint8_t Kind = CurveKindMP;
  double LinearWeight = 0;
  std::vector<double> Frames, Values;
};

}  // namespace

struct TEditHistory::TState {
  std::array<TCurveKeys, CloudCurveCount> Curves;
  // The record: what counts of it is its settings without a curve (the
  // curves' fields are evaluated anew from the keys).
  TCloudFrameParams Params;
  TProjectModel Model;
  // The project text with the current frame of the previous state, for
  // telling whether a commit changes anything.
  std::string Text;
};

namespace {

// The text that decides whether a commit is a change: the project text with
// the timeline position taken from the state before.
std::string ComparableText(const Document& doc, int32_t position) {
  TProjectModel model = doc.Model;
  model.TimeLinePosition = position;
  return BuildProjectText(doc.Curves, doc.Params, model);
}

TEditHistory::TState Capture(const Document& doc) {
  TEditHistory::TState s;
  for (int i = 0; i < CloudCurveCount; ++i) {
    const TDivs_Curve* c = doc.Curves->Curves[i];
    TCurveKeys& k = s.Curves[i];
    k.Kind = c->Kind;
    k.LinearWeight = c->LinearWeight;
    k.Frames.assign(c->Frames, c->Frames + c->Count);
    k.Values.assign(c->Values, c->Values + c->Count);
  }
  s.Params = doc.Params;
  s.Model = doc.Model;
  s.Text = ComparableText(doc, doc.Model.TimeLinePosition);
  return s;
}

}  // namespace

TEditHistory::TEditHistory() = default;
TEditHistory::~TEditHistory() = default;

bool TEditHistory::CanRedo() const { return index_ + 1 < steps_.size(); }
size_t TEditHistory::StepCount() const { return steps_.size(); }

void TEditHistory::Reset(const Document& doc) {
  steps_.clear();
  steps_.push_back(Capture(doc));
  index_ = 0;
  saved_ = 0;
}

bool TEditHistory::Commit(const Document& doc) {
  if (steps_.empty()) {
    Reset(doc);
    return false;
  }
  if (ComparableText(doc, steps_[index_].Model.TimeLinePosition) == steps_[index_].Text)
    return false;
  steps_.erase(steps_.begin() + static_cast<std::ptrdiff_t>(index_) + 1, steps_.end());
  if (saved_ > static_cast<std::ptrdiff_t>(index_)) saved_ = -1;  // the saved state was undone
  steps_.push_back(Capture(doc));
  index_ = steps_.size() - 1;
  if (steps_.size() > MaxSteps) {
    steps_.erase(steps_.begin());
    --index_;
    saved_ = saved_ > 0 ? saved_ - 1 : -1;
  }
  return true;
}

bool TEditHistory::Undo(Document& doc) {
  if (!CanUndo()) return false;
  --index_;
  Restore(doc);
  return true;
}

bool TEditHistory::Redo(Document& doc) {
  if (!CanRedo()) return false;
  ++index_;
  Restore(doc);
  return true;
}

void TEditHistory::Restore(Document& doc) const {
  const TState& s = steps_[index_];
  for (int i = 0; i < CloudCurveCount; ++i) {
    TDivs_Curve* c = doc.Curves->Curves[i];
    const TCurveKeys& k = s.Curves[i];
    c->Kind = k.Kind;
    c->LinearWeight = k.LinearWeight;
    c->Count = static_cast<int32_t>(k.Frames.size());
    std::copy(k.Frames.begin(), k.Frames.end(), c->Frames);
    std::copy(k.Values.begin(), k.Values.end(), c->Values);
    RebuildCurveIndex(c);
  }
  // The texture and the preview size belong to the window, not to a state.
  TCloudFrameParams& p = doc.Params;
  const TPixeBuffer* const texture = p.Texture;
  const int32_t previewWidth = p.PreviewWidth, previewHeight = p.PreviewHeight;
  p = s.Params;
  p.Texture = texture;
  p.PreviewWidth = previewWidth;
  p.PreviewHeight = previewHeight;
  const std::string name = std::move(doc.Model.ProjectFileName);
  doc.Model = s.Model;
  doc.Model.ProjectFileName = name;
  doc.EvalAt(doc.Model.TimeLinePosition);
}

}  // namespace velmora
