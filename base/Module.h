// Libraries of the program's own that are loaded on first use (dlopen):
// each holds the code of one group of outside libraries (FFmpeg for movies,
// libtiff and OpenEXR for those pictures, libedit for the Brel console), so a
// command that needs none of them starts without loading and relocating
// them.  A module exports one C function, its entry, that returns the
// module's interface object.
#pragma once

#include <string>

#include "base/Translate.h"

namespace velmora {

// The texts of a failed load, as message ids (translated here): CANNOTLOAD
// takes the path and the loader's reason, NOTOURS the path.
struct ModuleTexts {
  const char* cannotLoad = MsgNoop("cannot load %s: %s");
  const char* notOurs = MsgNoop("%s is not a library of this program");
};

// The entry ENTRY of module FILE (a file name such as "libvelmora-images.so"),
// loaded on first use and kept for the life of the process: the copy linked
// into the program if there is one, else the file beside the executable,
// else the installed one.  Null with *error (which names the file) when none
// loads.
void* LoadModuleEntry(const char* file, const char* entry, std::string* error,
                      const ModuleTexts& texts = {});

}  // namespace velmora
