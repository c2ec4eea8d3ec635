// Fuzzes project loading: the input is a project file's bytes, run on a
// document with the new-project defaults as the loader does; the document is
// then evaluated at a few frames and written back, and the written text must
// load again without an error.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "anim/Document.h"
#include "project/ProjectLoad.h"
#include "project/ProjectText.h"
#include "project/ProjectWords.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace velmora;
  Document doc;
  doc.ApplyNewProjectDefaults();
  const std::string text = ProjectProgramText(std::string_view(reinterpret_cast<const char*>(data), size));
  (void)RunProjectText(text, DocumentTarget(doc));
  for (int32_t frame : {0, 1, 120, -1, 2147483647}) doc.EvalAt(frame);

  // Whatever the file did, what we write must read back.
  const std::string saved = BuildProjectText(doc);
  Document again;
  again.ApplyNewProjectDefaults();
  if (!RunProjectText(ProjectProgramText(saved), DocumentTarget(again)).Ok) std::abort();
  return 0;
}
