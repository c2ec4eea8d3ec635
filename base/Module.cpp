#include "base/Module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <vector>

#include "base/Translate.h"

namespace velmora {

namespace {

std::string ExecutableFolder() {
  std::vector<char> buf(4096);
  const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return {};
  std::string path(buf.data(), static_cast<size_t>(n));
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

void* LoadModuleEntry(const char* file, const char* entry, std::string* error,
                      const ModuleTexts& texts) {
  // Linked into the program: no loading needed.
  if (void* sym = dlsym(RTLD_DEFAULT, entry)) return sym;
  std::vector<std::string> candidates;
  const std::string folder = ExecutableFolder();
  if (!folder.empty()) candidates.push_back(folder + "/" + file);
#ifdef VELMORA_MODULE_DIR
  // Installed: the library folder beside the program's bin folder, whatever
  // the prefix the package was installed under.
  if (!folder.empty())
    candidates.push_back(folder + "/../" + VELMORA_MODULE_DIR + "/" + file);
#endif
  std::string why = MsgFormat("cannot find %s", {file});
  for (const std::string& path : candidates) {
    if (access(path.c_str(), F_OK) != 0) continue;
    // Never unloaded: a module's libraries may keep threads and tables that
    // must outlive any one use, and a second dlopen just returns the same
    // handle.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!handle) {
      const char* text = dlerror();
      why = MsgFormat(texts.cannotLoad, {path, text ? text : Msg("unknown error")});
      continue;
    }
    if (void* sym = dlsym(handle, entry)) return sym;
    why = MsgFormat(texts.notOurs, {path});
  }
  if (error) *error = why;
  return nullptr;
}

}  // namespace velmora
