#include "base/AtomicFile.h"

#include "base/ReplaceFile.h"

namespace velmora {

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error,
                         bool replaceProtected) {
  FileReplacement file;
  return file.Begin(path, error, replaceProtected) && file.Write(bytes, error) && file.Commit(error);
}

}  // namespace velmora
