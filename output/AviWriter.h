// Writing a sequence of equally sized 24-bit bitmaps as the one video stream
// of an AVI file at 30 frames per second, through libavformat/libavcodec.
//
// The compression options are those of the settings file's section "AWR":
// the codec's four-character code (handler), a key frame every N frames, a
// quality from 0 to 10000, a data rate in bytes per second and flags that say
// which of the last three apply.  Handler 0 is uncompressed 24-bit RGB.
//
// The movie is written aside and put in place when closed (FileReplacement),
// so a failed movie never replaces a good file.  Files past
// 1 GB get OpenDML (AVI 2.0) extension chunks and indexes from the muxer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "output/Formats.h"
#include "render/Pixe.h"

namespace velmora {

// Flag bits of AviOptions::flags (the AVI compression-option flags).
inline constexpr int32_t AviFlagInterleave = 0x1;
inline constexpr int32_t AviFlagDataRate = 0x2;   // bytesPerSecond applies
inline constexpr int32_t AviFlagKeyFrames = 0x4;  // keyFrameEvery applies
inline constexpr int32_t AviFlagValid = 0x8;

inline constexpr int32_t AviFramesPerSecond = 30;
inline constexpr int32_t AviBestQuality = 10000;

constexpr uint32_t FourCC(char a, char b, char c, char d) {
  return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
         (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8) |
         (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24);
}

struct AviOptions {
  uint32_t handler = 0;        // codec four-character code; 0 = uncompressed
  int32_t keyFrameEvery = 0;   // key frame every N frames (with AviFlagKeyFrames)
  int32_t quality = 0;         // 0 (smallest) .. 10000 (best); below 0: codec default
  int32_t bytesPerSecond = 0;  // data rate (with AviFlagDataRate)
  int32_t flags = 0;
  bool operator==(const AviOptions&) const = default;
};

// What a movie uses when nothing is stored and nothing is asked for: Motion
// JPEG at the best quality.
AviOptions DefaultAviOptions();

// The stored options.  False (options untouched) when the path is empty, no
// file exists there, or the section holds no "Handler" key; otherwise the
// five keys are read (a missing one gives 0) and true is returned.
bool AviOptionsLoad(const std::string& settingsPath, AviOptions& options);
// Writes the five keys: "Handler" as "$" and lower-case hexadecimal, the
// others in decimal.
bool AviOptionsSave(const std::string& settingsPath, const AviOptions& options,
                    std::string* error);

// Changes asked for on the command line; unset fields keep the stored value.
// A key-frame interval or data rate above 0 sets its flag, 0 clears it.
struct AviOptionOverrides {
  bool setHandler = false;
  uint32_t handler = 0;
  bool setQuality = false;
  int32_t quality = 0;
  bool setKeyFrameEvery = false;
  int32_t keyFrameEvery = 0;
  bool setBytesPerSecond = false;
  int32_t bytesPerSecond = 0;
};

// The options of the next movie: the stored ones (or DefaultAviOptions when
// none are stored) with the overrides applied, then stored again as the
// options of later movies.  A failed store is reported in *warning and the
// options are still used.
AviOptions PrepareAviOptions(const std::string& settingsPath, const AviOptionOverrides& overrides,
                             std::string* warning);

// Codec names accepted on the command line: "raw" (also "uncompressed",
// "none"), "mjpeg", "ffv1", "h264" (also "x264", "avc"), "mpeg4" (also
// "xvid"), or any four-character code.  False for anything else.
bool AviHandlerFromName(const std::string& name, uint32_t& handler);
// A readable name of a handler: "uncompressed", "MJPG", ...
std::string AviHandlerName(uint32_t handler);
// Whether the installed FFmpeg can encode this handler into AVI; *reason
// says why not.
bool AviHandlerAvailable(uint32_t handler, std::string* reason);

// The window's options of the movie formats other than AVI, section
// "Movie" of the settings file: "<format>Codec" (a codec the format offers)
// and "<format>Quality" (0..100), e.g. "mp4Codec=hevc".  Load leaves what
// is missing or unusable as it is.
void MovieOptionsLoad(const std::string& settingsPath, const OutputFormat& format,
                      MovieEncodeOptions& options);
bool MovieOptionsSave(const std::string& settingsPath, const OutputFormat& format,
                      const MovieEncodeOptions& options, std::string* error);

// Whether the installed FFmpeg can encode CODEC (a short name of the format
// table) for a movie other than AVI; *reason says why not.
bool MovieCodecAvailable(const std::string& codec, std::string* reason);

// Writes a movie of any container of the format table.  The name stays from
// the days of AVI only: an .avi name is written as before, with the AVI
// options; the other containers take the movie options.
class AviWriter {
 public:
  AviWriter();
  ~AviWriter();  // closes (and keeps) an open movie
  AviWriter(const AviWriter&) = delete;
  AviWriter& operator=(const AviWriter&) = delete;

  // Prepares a movie of width x height at fileName.  False with LastError()
  // when the codec is unavailable, the size is unusable or the file cannot be
  // created (a write-protected file is kept unless REPLACEPROTECTED); the
  // writer then ignores writes and closes quietly.
  bool Open(const std::string& fileName, int32_t width, int32_t height, const AviOptions& options,
            bool replaceProtected = false);
  // The same for the movie format fileName's extension names: an AVI file
  // with AVIOPTIONS, any other movie format with MOVIEOPTIONS (an empty
  // codec is the format's default).  A name of no movie format fails.
  bool Open(const std::string& fileName, int32_t width, int32_t height,
            const AviOptions& aviOptions, const MovieEncodeOptions& movieOptions,
            bool replaceProtected = false);
  bool IsOpen() const;

  // Writes the bitmap (which must have the movie's size) as the sample
  // sampleNumber, flagged as a key frame where the codec allows.  Samples
  // must come in increasing order; a gap leaves the previous picture showing.
  // False with LastError() on failure; later writes are then ignored and
  // Close discards the file.
  // ALPHA (grey pictures, as the alpha output has them) goes into the
  // alpha channel of a movie opened with MovieEncodeOptions::alpha.
  bool Write(const Bitmap24& bitmap, int64_t sampleNumber, const Bitmap24* alpha = nullptr);

  // Flushes the encoder, finishes the indexes and puts the file in place.
  // True when the movie is complete; false with LastError() when anything
  // failed since Open, in which case the target is left as it was.  Closing
  // a writer that did not open does nothing and returns false.
  bool Close();
  // Drops the movie being written: the temporary file is removed and the
  // target is left as it was.
  void Discard();
  // Close, but puts the movie at otherName and leaves the target untouched
  // (an interrupted movie beside the complete one it would have replaced).
  bool CloseAs(const std::string& otherName);
  // Whether a file stood at the movie's name when it was opened.
  bool TargetExisted() const;

  // The first failure since Open, "" when none.
  const std::string& LastError() const;
  int64_t FramesWritten() const;

  // Time spent converting and encoding pictures and writing packets.
  double EncodeSeconds() const;

 private:
  bool Finish(const std::string* otherName);
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace velmora
