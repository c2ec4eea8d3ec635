#include "output/MovieModule.h"

#include "base/Module.h"

namespace velmora {

const MovieModule* LoadMovieModule(std::string* error) {
  ModuleTexts texts;
  texts.cannotLoad = MsgNoop("cannot load the movie library %s: %s");
  texts.notOurs = MsgNoop("%s is not a movie library of this program");
  using Entry = const MovieModule* (*)();
  void* entry = LoadModuleEntry("libvelmora-movie.so", "velmora_movie_module", error, texts);
  return entry ? reinterpret_cast<Entry>(entry)() : nullptr;
}

}  // namespace velmora
