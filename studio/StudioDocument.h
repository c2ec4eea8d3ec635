// The project as the desktop editor holds it: the project value that files
// are read into and written from (Document: curves, record, timeline and
// output model) plus what only an editor needs, whether it differs from what
// was last opened or saved.
//
// How a host uses it:
// - The window keeps one StudioDocument and edits it on the window thread;
//   every change to the project marks it modified.
// - New and Open replace the project as a whole and leave it unmodified;
//   a save that succeeds clears the flag, a failed one keeps it.
// - Exports and the preview worker take copies of the project value
//   (copying as a Document leaves the editing state behind).
#pragma once

#include <string>

#include "anim/Document.h"
#include "project/ProjectLoad.h"

namespace velmora {

class StudioDocument : public Document {
 public:
  bool Modified() const { return modified_; }
  void MarkModified() { modified_ = true; }
  void MarkSaved() { modified_ = false; }

  // The new-project defaults; unmodified.
  void New(const TWindowHooks& hooks = {});
  // OpenProjectFile into this document; unmodified whenever the file was read
  // (also when its text stopped on an error); a file that cannot be read
  // leaves the project and the flag as they were.
  bool Open(const std::string& path, const TWindowHooks& hooks = {},
            TProjectLoadResult* result = nullptr);
  // SaveProjectFile; clears the flag when the file was written.
  bool Save(const std::string& path, std::string* error = nullptr);

 private:
  bool modified_ = false;
};

}  // namespace velmora
