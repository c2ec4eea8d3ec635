#include "project/ProjectSave.h"

#include "anim/ProjectModel.h"
#include "base/AtomicFile.h"
#include "project/ProjectText.h"

namespace velmora {

bool SaveProjectFile(const Document& doc, const std::string& path, std::string* error,
                     bool replaceProtected) {
  const std::string text = BuildProjectText(doc);
  return WriteFileAtomically(path, text, error, replaceProtected);
}

bool ProjectNeedsName(const std::string& projectFileName) {
  return projectFileName == NewProjectFileName;
}

}  // namespace velmora
