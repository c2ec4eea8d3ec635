#include "studio/UnsavedChanges.h"

namespace velmora {

bool MayDropChanges(bool modified, const std::function<TSaveAnswer()>& ask,
                    const std::function<bool()>& save) {
  if (!modified) return true;
  switch (ask()) {
    case TSaveAnswer::Save:
      return save();
    case TSaveAnswer::Discard:
      return true;
    case TSaveAnswer::Cancel:
      break;
  }
  return false;
}

}  // namespace velmora
