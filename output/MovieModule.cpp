#include "output/MovieModule.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "base/Translate.h"

namespace velmora {

namespace {

constexpr char ModuleFile[] = "libvelmora-movie.so";
constexpr char EntryName[] = "velmora_movie_module";

using Entry = const MovieModule* (*)();

std::string ExecutableFolder() {
  std::vector<char> buf(4096);
  const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return {};
  std::string path(buf.data(), static_cast<size_t>(n));
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

const MovieModule* LoadMovieModule(std::string* error) {
  // Linked into the program (the tests, the window): no loading needed.
  if (void* sym = dlsym(RTLD_DEFAULT, EntryName)) return reinterpret_cast<Entry>(sym)();
  std::vector<std::string> candidates;
  const std::string folder = ExecutableFolder();
  if (!folder.empty()) candidates.push_back(folder + "/" + ModuleFile);
#ifdef VELMORA_MOVIE_MODULE_DIR
  // Installed: the library folder beside the program's bin folder, whatever
  // the prefix the package was installed under.
  if (!folder.empty())
    candidates.push_back(folder + "/../" + VELMORA_MOVIE_MODULE_DIR + "/" + ModuleFile);
#endif
  std::string why = MsgFormat("cannot find %s", {ModuleFile});
  for (const std::string& path : candidates) {
    if (access(path.c_str(), F_OK) != 0) continue;
    // Never unloaded: FFmpeg keeps threads and tables that must outlive any
    // one movie, and a second dlopen just returns the same handle.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!handle) {
      const char* text = dlerror();
      why = MsgFormat("cannot load the movie library %s: %s",
                      {path, text ? text : Msg("unknown error")});
      continue;
    }
    if (void* sym = dlsym(handle, EntryName)) return reinterpret_cast<Entry>(sym)();
    why = MsgFormat("%s is not a movie library of this program", {path});
  }
  if (error) *error = why;
  return nullptr;
}

}  // namespace velmora
