#include "output/Formats.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "base/AtomicFile.h"
#include "base/Strings.h"
#include "output/StillImage.h"
#include "base/Translate.h"

namespace velmora {

namespace {

bool WriteBmp(const RgbaPicture& p, const StillEncodeOptions&, std::string& out,
              std::string* error) {
  return EncodeBmp(p.colour, out, error);
}
bool WritePng(const RgbaPicture& p, const StillEncodeOptions&, std::string& out,
              std::string* error) {
  return p.alpha ? EncodePngRgba(p.colour, *p.alpha, out, error) : EncodePng(p.colour, out, error);
}
bool WriteJpeg(const RgbaPicture& p, const StillEncodeOptions& o, std::string& out,
               std::string* error) {
  return EncodeJpeg(p.colour, o.quality, out, error);
}
bool WriteTiff(const RgbaPicture& p, const StillEncodeOptions&, std::string& out,
               std::string* error) {
  return EncodeTiff(p.colour, out, error, p.alpha);
}
bool WriteExr(const RgbaPicture& p, const StillEncodeOptions&, std::string& out,
              std::string* error) {
  return EncodeExr(p.colour, p.alpha, out, error);
}

bool WritePngHigh(const FloatImage& p, unsigned, std::string& out, std::string* error) {
  return EncodePng16(p, out, error);
}
bool WriteTiffHigh(const FloatImage& p, unsigned depth, std::string& out, std::string* error) {
  return EncodeTiffHigh(p, depth == kDepthFloat, out, error);
}
bool WriteExrHigh(const FloatImage& p, unsigned depth, std::string& out, std::string* error) {
  return EncodeExrHigh(p, depth != kDepthFloat, out, error);
}

constexpr unsigned kPicture = kFormatStill | kFormatSeries;
constexpr unsigned kMovieOptions = kOptionCodec | kOptionQuality | kOptionBitRate | kOptionKeyFrames;

constexpr OutputFormat kFormats[] = {
    {"bmp", "BMP, uncompressed", {".bmp", ""}, kPicture, kChannelsRgb, kDepth8, 0, WriteBmp,
     "ﾋﾞｯﾄﾏｯﾌﾟ", "非圧縮ビットマップ(連番）"},
    {"png", "PNG", {".png", ""}, kPicture, kChannelsGrey | kChannelsRgb | kChannelsRgba,
     kDepth8 | kDepth16, 0, WritePng, "PNGイメージ", "PNG画像（連番）", WritePngHigh},
    {"jpeg", "JPEG", {".jpg", ".jpeg"}, kPicture, kChannelsRgb, kDepth8, kOptionQuality,
     WriteJpeg, "JPegイメージ", "JPEG画像（連番）"},
    {"tiff", "TIFF, deflate-compressed", {".tif", ".tiff"}, kPicture,
     kChannelsGrey | kChannelsRgb | kChannelsRgba, kDepth8 | kDepth16 | kDepthFloat, 0, WriteTiff,
     "TIFFイメージ", "TIFF画像（連番）", WriteTiffHigh},
    // Depths 8 and 16 are written as half floats, float as 32-bit floats.
    {"exr", "OpenEXR, half or 32-bit float, ZIP", {".exr", ""}, kPicture,
     kChannelsGrey | kChannelsRgb | kChannelsRgba, kDepth8 | kDepth16 | kDepthFloat, 0, WriteExr,
     "OpenEXRイメージ", "OpenEXR画像（連番）", WriteExrHigh},
    {"avi", "AVI movie, 30 frames per second", {".avi", ""}, kFormatMovie, kChannelsRgb, kDepth8,
     kMovieOptions, nullptr, "", "VideoForWindows", nullptr, {"mjpeg", "raw", "ffv1", "h264", "mpeg4"}},
    {"mp4", "MP4 movie", {".mp4", ".m4v"}, kFormatMovie, kChannelsRgb, kDepth8, kMovieOptions,
     nullptr, "", "MP4動画", nullptr, {"h264", "hevc", "av1"}},
    {"mkv", "Matroska movie", {".mkv", ""}, kFormatMovie, kChannelsRgb | kChannelsRgba, kDepth8,
     kMovieOptions, nullptr, "", "Matroska動画", nullptr, {"ffv1", "h264", "hevc", "av1", "vp9", "png", "mjpeg"}},
    {"webm", "WebM movie", {".webm", ""}, kFormatMovie, kChannelsRgb | kChannelsRgba, kDepth8,
     kMovieOptions, nullptr, "", "WebM動画", nullptr, {"vp9", "av1"}},
    {"mov", "QuickTime movie", {".mov", ""}, kFormatMovie, kChannelsRgb | kChannelsRgba, kDepth8,
     kMovieOptions, nullptr, "", "QuickTime動画", nullptr, {"prores", "png", "ffv1", "h264", "mjpeg"}},
    {"webp", "animated WebP", {".webp", ""}, kFormatMovie, kChannelsRgb | kChannelsRgba, kDepth8,
     kOptionQuality | kOptionLoop, nullptr, "", "アニメーションWebP", nullptr, {"webp"}},
    {"gif", "animated GIF, 256 colours", {".gif", ""}, kFormatMovie, kChannelsRgb, kDepth8,
     kOptionLoop, nullptr, "", "アニメーションGIF", nullptr, {"gif"}},
    {"apng", "animated PNG", {".apng", ""}, kFormatMovie, kChannelsRgb | kChannelsRgba, kDepth8,
     kOptionLoop, nullptr, "", "アニメーションPNG", nullptr, {"apng"}},
};

// Decoders of the formats pictures are read from, with the bytes their
// files start with.
using StillDecoder = bool (*)(const std::string& bytes, Bitmap24& colour, Bitmap24& alpha,
                              std::string* error);
void Opaque(const Bitmap24& colour, Bitmap24& alpha) {
  alpha.SetSize(colour.width, colour.height);
  std::fill(alpha.bytes.begin(), alpha.bytes.end(), uint8_t{255});
}
bool ReadBmp(const std::string& b, Bitmap24& c, Bitmap24& a, std::string* e) {
  if (!DecodeBmp(b, c, e)) return false;
  Opaque(c, a);
  return true;
}
bool ReadPng(const std::string& b, Bitmap24& c, Bitmap24& a, std::string* e) {
  return DecodePngRgba(b, c, a, e);
}
bool ReadJpeg(const std::string& b, Bitmap24& c, Bitmap24& a, std::string* e) {
  if (!DecodeJpeg(b, c, e)) return false;
  Opaque(c, a);
  return true;
}
bool ReadTiff(const std::string& b, Bitmap24& c, Bitmap24& a, std::string* e) {
  if (!DecodeTiff(b, c, e, &a)) return false;
  // libtiff hands RGBA pictures out premultiplied: back to straight colours.
  for (size_t i = 0; i < c.bytes.size(); ++i) {
    const unsigned alpha = a.bytes[i - i % 3];
    if (alpha == 0 || alpha == 255) continue;
    c.bytes[i] = static_cast<uint8_t>(std::min(255u, (c.bytes[i] * 255u + alpha / 2) / alpha));
  }
  return true;
}
bool ReadExr(const std::string& b, Bitmap24& c, Bitmap24& a, std::string* e) {
  return DecodeExr(b, c, &a, nullptr, e);
}

struct StillReader {
  std::string_view format;  // the row's name
  std::array<std::string_view, 2> signatures;
  StillDecoder decode;
};
using namespace std::string_view_literals;
constexpr StillReader kReaders[] = {
    {"bmp", {"BM"sv, ""sv}, ReadBmp},
    {"png", {"\x89PNG\r\n\x1a\n"sv, ""sv}, ReadPng},
    {"jpeg", {"\xff\xd8\xff"sv, ""sv}, ReadJpeg},
    {"tiff", {"II*\0"sv, "MM\0*"sv}, ReadTiff},
    {"exr", {"\x76\x2f\x31\x01"sv, ""sv}, ReadExr},
};

const StillReader* ReaderOf(std::string_view bytes) {
  for (const StillReader& r : kReaders)
    for (std::string_view sig : r.signatures)
      if (!sig.empty() && bytes.substr(0, sig.size()) == sig) return &r;
  return nullptr;
}

std::string Join(unsigned bits, std::initializer_list<std::pair<unsigned, const char*>> names) {
  std::string text;
  for (const auto& [bit, name] : names)
    if (bits & bit) text += std::string(text.empty() ? "" : ", ") + name;
  return text.empty() ? "-" : text;
}

}  // namespace

std::span<const OutputFormat> OutputFormats() { return kFormats; }

bool OutputFormat::Offers(std::string_view codec) const {
  const std::string lower = ToLower(codec);
  for (std::string_view c : codecs)
    if (!c.empty() && c == lower) return true;
  return false;
}

std::string OutputFormat::CodecList() const {
  std::string list;
  for (std::string_view c : codecs)
    if (!c.empty()) list += std::string(list.empty() ? "" : ", ") + std::string(c);
  return list;
}

bool CodecHoldsAlpha(std::string_view codec) {
  for (std::string_view c : {"prores", "vp9", "ffv1", "png", "webp", "apng"})
    if (codec == c) return true;
  return false;
}

std::string MovieAlphaProblem(const OutputFormat& format, std::string_view codec) {
  if (codec.empty()) codec = format.DefaultCodec();
  std::string holders;
  for (const OutputFormat& f : kFormats) {
    if (!f.Can(kFormatMovie) || !(f.channels & kChannelsRgba)) continue;
    std::string these;
    for (std::string_view c : f.codecs)
      if (!c.empty() && CodecHoldsAlpha(c)) these += std::string(these.empty() ? "" : "/") + std::string(c);
    holders += std::string(holders.empty() ? "" : ", ") + std::string(f.name) + " (" + these + ")";
  }
  if (!(format.channels & kChannelsRgba) || format.name == "avi" || !CodecHoldsAlpha(codec))
    return MsgFormat("%s movies with %s hold no alpha channel (%s do)",
                     {format.name, std::string(codec), holders});
  return {};
}

const OutputFormat* FindFormatByName(std::string_view name) {
  const std::string lower = ToLower(name);
  for (const OutputFormat& f : kFormats) {
    if (lower == f.name) return &f;
    for (std::string_view ext : f.extensions)
      if (!ext.empty() && lower == ext.substr(1)) return &f;
  }
  return nullptr;
}

std::string PathExtension(std::string_view path) {
  const size_t slash = path.rfind('/');
  const std::string_view file = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const size_t dot = file.rfind('.');
  return dot == std::string_view::npos ? std::string() : ToLower(file.substr(dot));
}

const OutputFormat* FormatForPath(std::string_view path, FormatKind kind) {
  const std::string ext = PathExtension(path);
  if (ext.empty()) return nullptr;
  for (const OutputFormat& f : kFormats)
    if (f.Can(kind))
      for (std::string_view e : f.extensions)
        if (!e.empty() && e == ext) return &f;
  return nullptr;
}

const OutputFormat& StillFormatForPath(std::string_view path) {
  const OutputFormat* f = FormatForPath(path, kFormatStill);
  return f ? *f : kFormats[0];
}

std::string FormatNameList(FormatKind kind, unsigned channels) {
  std::string list;
  for (const OutputFormat& f : kFormats)
    if (f.Can(kind) && (f.channels & channels) != 0) list += std::string(list.empty() ? "" : ", ") + std::string(f.name);
  return list;
}

std::string FormatTableText() {
  // The header and the codecs' heading in the user's language (the header's
  // columns line up with the rows' in every translation); the rows are the
  // table's own words.
  std::string text =
      Msg("name  extensions   written as            channels         depths        options\n");
  for (const OutputFormat& f : kFormats) {
    std::string exts;
    for (std::string_view e : f.extensions)
      if (!e.empty()) exts += std::string(exts.empty() ? "" : " ") + std::string(e);
    const std::string kinds = Join(f.kinds, {{kFormatStill, "still"},
                                             {kFormatSeries, "series"},
                                             {kFormatMovie, "movie"}});
    const std::string channels =
        Join(f.channels, {{kChannelsGrey, "grey"}, {kChannelsRgb, "RGB"}, {kChannelsRgba, "RGBA"}});
    const std::string depths =
        Join(f.depths, {{kDepth8, "8"}, {kDepth16, "16"}, {kDepthFloat, "float"}});
    const std::string options = Join(f.options, {{kOptionQuality, "quality"},
                                                 {kOptionCodec, "codec"},
                                                 {kOptionBitRate, "bitrate"},
                                                 {kOptionKeyFrames, "keyframe"},
                                                 {kOptionLoop, "loop"}});
    char line[256];
    std::snprintf(line, sizeof line, "%-5s %-12s %-21s %-16s %-13s %s\n", std::string(f.name).c_str(),
                  exts.c_str(), kinds.c_str(), channels.c_str(), depths.c_str(), options.c_str());
    text += line;
  }
  text += "\n";
  text += Msg("movie codecs (--codec; the first is the default; * holds alpha):\n");
  for (const OutputFormat& f : kFormats) {
    if (!f.Can(kFormatMovie)) continue;
    std::string list;
    for (std::string_view c : f.codecs)
      if (!c.empty())
        list += std::string(list.empty() ? "" : ", ") + std::string(c) +
                ((f.channels & kChannelsRgba) && CodecHoldsAlpha(c) ? "*" : "");
    if (f.name == "avi") list += ", or a four-character code";
    char line[256];
    std::snprintf(line, sizeof line, "%-5s %s\n", std::string(f.name).c_str(), list.c_str());
    text += line;
  }
  return text;
}

const OutputFormat* ReadableFormatOf(std::string_view bytes) {
  const StillReader* r = ReaderOf(bytes);
  return r ? FindFormatByName(r->format) : nullptr;
}

std::string ReadableFormatList() {
  std::string list;
  for (const StillReader& r : kReaders) list += std::string(list.empty() ? "" : ", ") + std::string(r.format);
  return list;
}

bool DecodeStill(const std::string& bytes, Bitmap24& colour, Bitmap24& alpha, std::string* error) {
  const StillReader* r = ReaderOf(bytes);
  if (!r) {
    if (error) *error = MsgFormat("not a picture in a format velmora reads (%s)", {ReadableFormatList()});
    return false;
  }
  Bitmap24 c, a;
  if (!r->decode(bytes, c, a, error)) return false;
  colour = std::move(c);
  alpha = std::move(a);
  return true;
}

bool EncodeStill(const OutputFormat& format, const RgbaPicture& picture,
                 const StillEncodeOptions& options, std::string& out, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (!format.encode) return fail(MsgFormat("%s is not a picture format", {format.name}));
  if (picture.alpha) {
    if (!(format.channels & kChannelsRgba))
      return fail(MsgFormat("%s files hold no alpha channel (%s do)",
                            {format.name, FormatNameList(kFormatStill, kChannelsRgba)}));
    if (picture.alpha->width != picture.colour.width ||
        picture.alpha->height != picture.colour.height)
      return fail(Msg("the alpha picture's size differs from the colour picture's"));
  }
  return format.encode(picture, options, out, error);
}

unsigned DepthForName(std::string_view name) {
  if (name == "8") return kDepth8;
  if (name == "16") return kDepth16;
  if (name == "float") return kDepthFloat;
  return 0;
}

std::string_view DepthName(unsigned depth) {
  return depth == kDepth16 ? "16" : depth == kDepthFloat ? "float" : "8";
}

std::string DepthFormatList(unsigned depth) {
  std::string list;
  for (const OutputFormat& f : kFormats)
    if (f.Can(kFormatStill) && (f.depths & depth) != 0 && (depth == kDepth8 || f.encodeHigh))
      list += std::string(list.empty() ? "" : ", ") + std::string(f.name);
  return list;
}

bool EncodeHigh(const OutputFormat& format, const FloatImage& picture, unsigned depth,
                std::string& out, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (!format.encodeHigh || !(format.depths & depth) || depth == kDepth8)
    return fail(MsgFormat("%s files hold no pictures of depth %s (%s do)",
                          {format.name, DepthName(depth), DepthFormatList(depth)}));
  unsigned channels = 0;
  if (picture.channels == 1) channels = kChannelsGrey;
  if (picture.channels == 3) channels = kChannelsRgb;
  if (picture.channels == 4) channels = kChannelsRgba;
  if (!(format.channels & channels))
    return fail(MsgFormat("%s files cannot hold this picture's channels", {format.name}));
  return format.encodeHigh(picture, depth, out, error);
}

bool SaveHigh(const OutputFormat& format, const FloatImage& picture, unsigned depth,
              const std::string& path, std::string* error, bool replaceProtected) {
  std::string bytes;
  return EncodeHigh(format, picture, depth, bytes, error) &&
         WriteFileAtomically(path, bytes, error, replaceProtected);
}

bool SaveStill(const OutputFormat& format, const RgbaPicture& picture, const std::string& path,
               const StillEncodeOptions& options, std::string* error,
               bool replaceProtected) {
  std::string bytes;
  return EncodeStill(format, picture, options, bytes, error) &&
         WriteFileAtomically(path, bytes, error, replaceProtected);
}

}  // namespace velmora
