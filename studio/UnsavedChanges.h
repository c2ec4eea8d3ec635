// What happens to unsaved changes before an action drops the document (New,
// Open, quitting): the person is asked to save, discard or cancel, and the
// action goes on only when the changes are safe or deliberately dropped.
#pragma once

#include <functional>

namespace velmora {

enum class TSaveAnswer { Save, Discard, Cancel };

// Whether the dropping action may go on.  Without changes nothing is asked.
// Otherwise ASK is called once: Cancel stops the action, Discard lets it go
// on, Save runs SAVE and lets the action go on only when the save succeeded
// (a save that failed or was cancelled keeps the document and the window).
bool MayDropChanges(bool modified, const std::function<TSaveAnswer()>& ask,
                    const std::function<bool()>& save);

}  // namespace velmora
