// The host words of a project file, one for each keyword of the parameter
// table (ProjectWordCount of them, anim/ParamTable.h), with the signature,
// manual text and registration position of its row.  Each stores its
// arguments into the project state: the parameter set's curves, the frame record's output size
// and switches, and the window model's timeline, output names and
// FromCurrentFrame.
#pragma once

#include <string>
#include <vector>

#include "anim/CurveSet.h"
#include "anim/Document.h"
#include "anim/ProjectModel.h"
#include "render/Render.h"
#include "script/Brel.h"

namespace velmora {

struct TProjectWordInfo {
  const char* Keyword;
  const char* Signature;    // stack picture of the arguments, or nullptr
  const char* Description;
};

// The words in registration order.
const TProjectWordInfo& ProjectWordInfo(int index);
// The manual line of a word: signature and a blank (when it has one), the
// keyword, a blank, "→" and the description.
std::string ProjectWordManual(int index);

// A curve text that a curve word refused (the curve kept its keys) or read
// with a number that did not parse.
struct TCurveTextWarning {
  int32_t Offset = 0;   // the read position in the running text after the word
  std::string Keyword;  // the word
  std::string Problem;  // why, in English
  bool Refused = true;  // the curve kept its keys (else: read with the number as 0)
};

// What the words write to.  *Set is read when a word runs, so the set may be
// replaced between runs.  Warnings, when given, collects the curve texts
// refused.
struct TProjectTarget {
  TCloudCurveSet** Set = nullptr;
  TCloudFrameParams* Params = nullptr;
  TProjectModel* Model = nullptr;
  std::vector<TCurveTextWarning>* Warnings = nullptr;
};

// The words writing into a document.
TProjectTarget DocumentTarget(Document& doc);

// Adds the words to the environment's own dictionary in table order; stops
// at the first registration that fails and returns false.  Every word pops
// all its arguments before it changes anything, so a word that fails (missing
// argument, wrong type, `frames` with MIN above MAX) leaves the project as it
// was.  TARGET must outlive the environment's runs.
bool RegisterProjectWords(BrelEnvH env, const TProjectTarget& target);

}  // namespace velmora
