// The FFmpeg side of AVI writing lives in a module of its own,
// libvelmora-movie.so, loaded the first time a movie is written or played or
// a codec is checked.  Commands that write no movie, and a window that has
// shown none, therefore never load FFmpeg and the hundred-odd libraries it
// pulls in.  AviWriter (AviWriter.h) and AviPlayer (AviPlayer.h) are the
// faces the rest of the program sees; this header is the contract between
// them and the module.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "output/AviPlayer.h"
#include "output/AviWriter.h"
#include "output/Formats.h"

namespace velmora {

// Handler 0 and the codes "DIB ", "RGB " and "RAW " (in any case) all mean
// uncompressed 24-bit rows.
inline bool AviHandlerIsUncompressed(uint32_t handler) {
  if (handler == 0) return true;
  uint32_t up = 0;
  for (int i = 0; i < 4; ++i) {
    uint32_t c = (handler >> (8 * i)) & 0xFF;
    if (c >= 'a' && c <= 'z') c -= 'a' - 'A';
    up |= c << (8 * i);
  }
  return up == FourCC('D', 'I', 'B', ' ') || up == FourCC('R', 'G', 'B', ' ') ||
         up == FourCC('R', 'A', 'W', ' ');
}

// One movie being written; the operations of AviWriter of the same names.
// Open is only called with a handler the module said it can encode.
class AviEncoder {
 public:
  virtual ~AviEncoder() = default;  // closes (and keeps) an open movie
  virtual bool Open(const std::string& fileName, int32_t width, int32_t height,
                    const AviOptions& options, bool replaceProtected) = 0;
  // A movie of another container of the format table ("mp4", "mkv", "webm",
  // "mov", "webp", "gif", "apng"); options.codec is set.
  virtual bool OpenMovie(const std::string& fileName, const std::string& container,
                         int32_t width, int32_t height, const MovieEncodeOptions& options,
                         bool replaceProtected) = 0;
  virtual bool IsOpen() const = 0;
  // ALPHA (grey, blue byte = alpha) only for a movie opened with alpha.
  virtual bool Write(const Bitmap24& bitmap, const Bitmap24* alpha, int64_t sampleNumber) = 0;
  // Close (otherName null) or CloseAs.
  virtual bool Finish(const std::string* otherName) = 0;
  virtual void Discard() = 0;
  virtual bool TargetExisted() const = 0;
  virtual const std::string& LastError() const = 0;
  virtual int64_t FramesWritten() const = 0;
  virtual double EncodeSeconds() const = 0;
};

// One movie being played; the operations of AviPlayer of the same names.
class MoviePlayback {
 public:
  virtual ~MoviePlayback() = default;
  virtual bool Open(const std::string& path, std::string* error) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  virtual PlayerMode Mode() const = 0;
  virtual int64_t Length() const = 0;
  virtual int64_t Position() const = 0;
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
  virtual const Bitmap24& Frame() const = 0;
  virtual void Play() = 0;
  virtual void Pause() = 0;
  virtual void Stop() = 0;
  virtual bool Seek(int64_t frame) = 0;
  virtual bool Step(int64_t delta) = 0;
  virtual void SetLooping(bool on) = 0;
  virtual void Advance(double elapsedMs) = 0;
  virtual const std::string& LastError() const = 0;
};

enum class EncoderState { Available, UnknownCodec, NoEncoder };

class MovieModule {
 public:
  virtual std::unique_ptr<AviEncoder> NewEncoder() const = 0;
  virtual std::unique_ptr<MoviePlayback> NewPlayer() const = 0;
  // Whether FFmpeg can encode a compressed handler; *codecName receives
  // FFmpeg's name of the codec when it is known.
  virtual EncoderState Encoder(uint32_t handler, std::string* codecName) const = 0;
  // Whether FFmpeg has an encoder for a codec of the format table (by its
  // short name: "h264", "prores", ...).
  virtual EncoderState MovieEncoder(const std::string& codec) const = 0;

 protected:
  ~MovieModule() = default;
};

// The module, loaded on first use and kept for the life of the process: the
// copy linked into the program if there is one, else the file beside the
// executable, else the installed one.  Null with *error when none loads.
const MovieModule* LoadMovieModule(std::string* error);

}  // namespace velmora

// The module's one exported symbol.
extern "C" const velmora::MovieModule* velmora_movie_module();
