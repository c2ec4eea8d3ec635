// The undo history of a document: the states the project passed through, one
// per committed change, with the position of the state that was last saved.
//
// The window commits after each change the user finishes (a slider released,
// an edit left, a key button, a colour chosen, an output setting) and swaps
// the document for the state that Undo or Redo returns.  A commit that leaves
// the project's saved text as it was (apart from the current frame) records
// nothing, so browsing the timeline and edits that change nothing make no
// steps.  States are kept as the keys of the curves, the frame record (of
// which the settings without a curve count) and the window model, which is
// everything the project file holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "anim/Document.h"

namespace velmora {

class TEditHistory {
 public:
  // At most this many steps are kept; older ones are forgotten.
  static constexpr size_t MaxSteps = 200;

  TEditHistory();
  ~TEditHistory();
  TEditHistory(const TEditHistory&) = delete;
  TEditHistory& operator=(const TEditHistory&) = delete;

  // Forgets every step: DOC, as it stands after New or Open, is the only
  // state and counts as saved.
  void Reset(const Document& doc);
  // Records DOC after a change as a new step (dropping the steps that could
  // be redone).  False when nothing that the project file holds has changed
  // since the current state; the frame shown is not a change of its own.
  bool Commit(const Document& doc);

  bool CanUndo() const { return index_ > 0; }
  bool CanRedo() const;
  // Puts the previous (next) state into DOC: its curves, timeline, output
  // names and switches, then evaluates the curves at the state's current
  // frame.  The project file name is left as it is.  False when there is no
  // such state (DOC is untouched).
  bool Undo(Document& doc);
  bool Redo(Document& doc);

  // The current state is what the project file now holds.
  void MarkSaved() { saved_ = static_cast<std::ptrdiff_t>(index_); }
  // The current state differs from the saved one (or the saved state has
  // been forgotten or dropped).
  bool Modified() const { return saved_ != static_cast<std::ptrdiff_t>(index_); }
  size_t StepCount() const;

  struct TState;

 private:
  void Restore(Document& doc) const;

  std::vector<TState> steps_;
  size_t index_ = 0;
  std::ptrdiff_t saved_ = 0;  // -1: no kept state is the saved one
};

}  // namespace velmora
