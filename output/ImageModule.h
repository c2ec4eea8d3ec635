// The TIFF and OpenEXR codecs live in a module of their own,
// libvelmora-images.so, loaded the first time such a picture is written or
// read (base/Module.h): a still in BMP, PNG or JPEG never loads libtiff,
// OpenEXR and what they pull in (WebP, LZMA, ZSTD, JBIG, LERC, Imath).  The
// module only drives the libraries; the pixel conversions stay in
// StillImage.cpp and ExrImage.cpp, whose functions (StillImage.h) are what
// the rest of the program sees.  This header is the contract between them
// and the module.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace velmora {

// A deflate-compressed TIFF of WIDTH x HEIGHT pixels of SAMPLES channels
// (the fourth an unassociated alpha; 1 is min-is-black grey), BITS per
// sample.  FORMAT is the sample format tag's value, 0 to leave the tag out
// (unsigned integers); PREDICTOR the predictor tag's value.
struct TiffLayout {
  int32_t width = 0;
  int32_t height = 0;
  int samples = 3;
  int bits = 8;
  int format = 0;
  int predictor = 1;
};

// An OpenEXR picture to write: COUNT interleaved 32-bit float channels
// named NAMES, rows top first, stored as half floats when HALVES.
struct ExrLayout {
  int32_t width = 0;
  int32_t height = 0;
  int count = 0;
  const char* const* names = nullptr;
  const float* values = nullptr;
  bool halves = true;
};

class ImageModule {
 public:
  // Writes the TIFF into OUT, taking each row's samples from ROW(y), top
  // row first (null ends the picture as failed).  False with *MESSAGE set to
  // libtiff's last error when there is one.
  virtual bool EncodeTiff(const TiffLayout& layout, const std::function<void*(int32_t)>& row,
                          std::string& out, std::string& message) const = 0;
  // Reads any TIFF libtiff reads as RGBA (packed as libtiff's TIFFGet*
  // macros read them, top row first) of at most 2^28 pixels.
  virtual bool DecodeTiff(const std::string& bytes, uint32_t& width, uint32_t& height,
                          std::vector<uint32_t>& raster, std::string& message) const = 0;
  // ZIP-compressed.  False with *MESSAGE (the library's text).
  virtual bool EncodeExr(const ExrLayout& layout, std::string& out, std::string& message) const = 0;
  // Reads R, G, B, A as floats, four a pixel (a grey file's Y as R, G and
  // B; A 1 and colours 0 where missing), and the file's channel list
  // ("A:half B:half ...").
  virtual bool DecodeExr(const std::string& bytes, int32_t& width, int32_t& height,
                         std::vector<float>& rgba, std::string& channels,
                         std::string& message) const = 0;

 protected:
  ~ImageModule() = default;
};

// The module (base/Module.h); null with *error when it cannot be loaded.
const ImageModule* LoadImageModule(std::string* error);

}  // namespace velmora

// The module's one exported symbol.
extern "C" const velmora::ImageModule* velmora_images_module();
