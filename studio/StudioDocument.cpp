#include "studio/StudioDocument.h"

#include "project/ProjectSave.h"

namespace velmora {

void StudioDocument::New(const TWindowHooks& hooks) {
  ApplyNewProjectDefaults(hooks);
  modified_ = false;
}

bool StudioDocument::Open(const std::string& path, const TWindowHooks& hooks,
                          TProjectLoadResult* result) {
  TProjectLoadResult local;
  TProjectLoadResult& r = result ? *result : local;
  const bool ok = OpenProjectFile(*this, path, hooks, &r);
  // A text that stops on an error still replaced the project.
  if (r.Status != TProjectLoadStatus::Missing && r.Status != TProjectLoadStatus::Unreadable)
    modified_ = false;
  return ok;
}

bool StudioDocument::Save(const std::string& path, std::string* error) {
  if (!SaveProjectFile(*this, path, error)) return false;
  modified_ = false;
  return true;
}

}  // namespace velmora
