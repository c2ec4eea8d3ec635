// The table of output formats: one row per format with its extensions, what
// it can be written as (a still picture, a numbered series of pictures, a
// movie), the channels and bit depths it holds, the options it takes and its
// encoder.  The command line, the movie export, the help text and the
// window's save dialogs all read this table; a new format is one encoder and
// one row.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "render/HighPrecision.h"
#include "render/Pixe.h"

namespace velmora {

// What a format can be written as (bits, combined).
enum FormatKind : unsigned { kFormatStill = 1, kFormatSeries = 2, kFormatMovie = 4 };
// The channels a file of the format holds (bits, combined).
enum FormatChannels : unsigned { kChannelsGrey = 1, kChannelsRgb = 2, kChannelsRgba = 4 };
// The bit depths per channel (bits, combined).
enum FormatDepths : unsigned { kDepth8 = 1, kDepth16 = 2, kDepthFloat = 4 };
// The options a format takes (bits, combined).
enum FormatOptions : unsigned {
  kOptionQuality = 1,
  kOptionCodec = 2,
  kOptionBitRate = 4,
  kOptionKeyFrames = 8,
  kOptionLoop = 16,
};

// How a still picture is encoded: the JPEG quality (0..100) for formats that
// take one.
struct StillEncodeOptions {
  int quality = 75;
};

// A picture to encode: the colour picture and, for a file with an alpha
// channel, the alpha picture (grey pixels of the same size, as the separate
// alpha output writes them; its blue byte is the alpha).
struct RgbaPicture {
  RgbaPicture(const Bitmap24& c, const Bitmap24* a = nullptr) : colour(c), alpha(a) {}
  const Bitmap24& colour;
  const Bitmap24* alpha;
};

// Encodes a picture into a file's bytes; false with *error on failure.
using StillEncoder = bool (*)(const RgbaPicture& picture, const StillEncodeOptions& options,
                              std::string& out, std::string* error);

// Encodes a picture of the high-precision render at DEPTH (kDepth16 or
// kDepthFloat); false with *error on failure.
using HighEncoder = bool (*)(const FloatImage& picture, unsigned depth, std::string& out,
                             std::string* error);

struct OutputFormat {
  std::string_view name;                     // what --format takes: "png"
  std::string_view title;                    // for people: "PNG"
  std::array<std::string_view, 2> extensions;  // lower case, with the dot; the first
                                               // is the one written; unused ones empty
  unsigned kinds = 0;
  unsigned channels = 0;
  unsigned depths = 0;
  unsigned options = 0;
  StillEncoder encode = nullptr;  // for still and series formats; null for movies
  // The window's file-dialog names (Japanese source texts of its
  // translation); empty where the format is not offered there.
  std::string_view stillDialogTitle;
  std::string_view movieDialogTitle;
  // For the formats that hold 16-bit or float pictures.
  HighEncoder encodeHigh = nullptr;
  // Movie formats: the codecs --codec offers, by FFmpeg's short names; the
  // first is the default.  (AVI takes its own names and four-character
  // codes: AviHandlerFromName.)
  std::array<std::string_view, 7> codecs{};

  bool Can(FormatKind kind) const { return (kinds & kind) != 0; }
  bool Offers(std::string_view codec) const;
  std::string_view DefaultCodec() const { return codecs[0]; }
  std::string CodecList() const;  // "h264, hevc, av1"
};

// Every format, in the order the help and the dialogs list them.
std::span<const OutputFormat> OutputFormats();

// The format --format NAME names (its name or any of its extensions without
// the dot, any case), or null.
const OutputFormat* FindFormatByName(std::string_view name);

// The extension of a path's file name: from the last "." of the part after
// the last "/", lower-cased; empty when that part has no dot.
std::string PathExtension(std::string_view path);

// The format a path's extension names (any case) that can be written as
// KIND, or null: for an unknown extension and for a name without one.
const OutputFormat* FormatForPath(std::string_view path, FormatKind kind);

// The format a still picture or a numbered series picture is written in:
// the one its extension names, BMP for anything else (a name without an
// extension, or one the table does not know).
const OutputFormat& StillFormatForPath(std::string_view path);

// The formats of KIND, for messages: "bmp, png, jpeg, tiff".  With
// CHANNELS only those that hold one of them.
std::string FormatNameList(FormatKind kind, unsigned channels = ~0u);

// The table as text, one row per format, then the codecs of each movie
// format (`velmora help formats`).
std::string FormatTableText();

// Reading pictures (textures): the formats of the table that are read back,
// each recognised by the signature its files start with, whatever the
// file's name.  COLOUR gets the picture, ALPHA its alpha as grey pixels
// (255 where the file has none).  False with *error for a file of no
// readable format (the message lists them) or one its decoder refuses.
bool DecodeStill(const std::string& bytes, Bitmap24& colour, Bitmap24& alpha, std::string* error);
// The format whose signature starts BYTES among the readable ones, or null.
const OutputFormat* ReadableFormatOf(std::string_view bytes);
// The readable formats, for messages: "bmp, png, jpeg, tiff, exr".
std::string ReadableFormatList();
// Whether a codec can carry an alpha channel inside a movie (ProRes 4444,
// VP9 with alpha, FFV1, PNG, WebP).
bool CodecHoldsAlpha(std::string_view codec);

// Why a movie of FORMAT with CODEC (empty: the default) cannot carry the
// clouds' alpha as its alpha channel; empty when it can.
std::string MovieAlphaProblem(const OutputFormat& format, std::string_view codec);

// How a movie other than an AVI file is encoded; the options map to the
// FFmpeg encoder's own (see the movie module).
struct MovieEncodeOptions {
  std::string codec;       // FFmpeg's short name; empty: the format's default
  int quality = -1;        // 0 (smallest) .. 100 (best); below 0: our default
  int64_t bitRate = 0;     // bits per second; 0: the quality decides
  int keyFrameEvery = 0;   // a key frame every N frames; 0: the encoder's choice
  int loop = 0;            // animated pictures: times to play; 0: forever
  bool alpha = false;      // the pictures carry the alpha picture as alpha
  bool operator==(const MovieEncodeOptions&) const = default;
};

// Encodes the picture as FORMAT: false with *error when the format is no
// picture format, or holds no alpha channel and the picture has one.
bool EncodeStill(const OutputFormat& format, const RgbaPicture& picture,
                 const StillEncodeOptions& options, std::string& out, std::string* error);

// The depth --depth names: "8", "16" or "float"; 0 for anything else.
unsigned DepthForName(std::string_view name);
std::string_view DepthName(unsigned depth);
// The formats that hold pictures of DEPTH, for messages.
std::string DepthFormatList(unsigned depth);

// Encodes a high-precision picture as FORMAT at DEPTH (kDepth16 or
// kDepthFloat): false with *error when the format does not hold that depth or
// the picture's channels.
bool EncodeHigh(const OutputFormat& format, const FloatImage& picture, unsigned depth,
                std::string& out, std::string* error);
// EncodeHigh, written to PATH as SaveStill writes.
bool SaveHigh(const OutputFormat& format, const FloatImage& picture, unsigned depth,
              const std::string& path, std::string* error, bool replaceProtected = false);

// Encodes the picture as FORMAT and writes it to PATH through a temporary file, so that
// no half-written picture is left in place of a good one.  A write-protected
// file is kept unless REPLACEPROTECTED.
bool SaveStill(const OutputFormat& format, const RgbaPicture& picture, const std::string& path,
               const StillEncodeOptions& options, std::string* error,
               bool replaceProtected = false);

}  // namespace velmora
