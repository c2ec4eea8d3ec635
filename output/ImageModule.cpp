#include "base/Module.h"
#include "output/ImageModule.h"

namespace velmora {

const ImageModule* LoadImageModule(std::string* error) {
  using Entry = const ImageModule* (*)();
  void* entry = LoadModuleEntry("libvelmora-images.so", "velmora_images_module", error);
  return entry ? reinterpret_cast<Entry>(entry)() : nullptr;
}

}  // namespace velmora
