#include "output/Formats.h"

#include <cstdio>

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

constexpr unsigned kPicture = kFormatStill | kFormatSeries;
constexpr unsigned kMovieOptions = kOptionCodec | kOptionQuality | kOptionBitRate | kOptionKeyFrames;

constexpr OutputFormat kFormats[] = {
    {"bmp", "BMP, uncompressed", {".bmp", ""}, kPicture, kChannelsRgb, kDepth8, 0, WriteBmp,
     "ﾋﾞｯﾄﾏｯﾌﾟ", "非圧縮ビットマップ(連番）"},
    {"png", "PNG", {".png", ""}, kPicture, kChannelsRgb | kChannelsRgba, kDepth8, 0, WritePng,
     "PNGイメージ", "PNG画像（連番）"},
    {"jpeg", "JPEG", {".jpg", ".jpeg"}, kPicture, kChannelsRgb, kDepth8, kOptionQuality,
     WriteJpeg, "JPegイメージ", "JPEG画像（連番）"},
    {"tiff", "TIFF, deflate-compressed", {".tif", ".tiff"}, kPicture,
     kChannelsRgb | kChannelsRgba, kDepth8, 0, WriteTiff, "TIFFイメージ", "TIFF画像（連番）"},
    {"exr", "OpenEXR, half float, ZIP", {".exr", ""}, kPicture, kChannelsRgb | kChannelsRgba,
     kDepthFloat, 0, WriteExr, "OpenEXRイメージ", "OpenEXR画像（連番）"},
    {"avi", "AVI movie, 30 frames per second", {".avi", ""}, kFormatMovie, kChannelsRgb, kDepth8,
     kMovieOptions, nullptr, "", "VideoForWindows", {"mjpeg", "raw", "ffv1", "h264", "mpeg4"}},
    {"mp4", "MP4 movie", {".mp4", ".m4v"}, kFormatMovie, kChannelsRgb, kDepth8, kMovieOptions,
     nullptr, "", "MP4動画", {"h264", "hevc", "av1"}},
    {"mkv", "Matroska movie", {".mkv", ""}, kFormatMovie, kChannelsRgb | kChannelsRgba, kDepth8,
     kMovieOptions, nullptr, "", "Matroska動画", {"ffv1", "h264", "hevc", "av1", "vp9", "png", "mjpeg"}},
    {"webm", "WebM movie", {".webm", ""}, kFormatMovie, kChannelsRgb | kChannelsRgba, kDepth8,
     kMovieOptions, nullptr, "", "WebM動画", {"vp9", "av1"}},
    {"mov", "QuickTime movie", {".mov", ""}, kFormatMovie, kChannelsRgb | kChannelsRgba, kDepth8,
     kMovieOptions, nullptr, "", "QuickTime動画", {"prores", "png", "ffv1", "h264", "mjpeg"}},
    {"webp", "animated WebP", {".webp", ""}, kFormatMovie, kChannelsRgb | kChannelsRgba, kDepth8,
     kOptionQuality | kOptionLoop, nullptr, "", "アニメーションWebP", {"webp"}},
    {"gif", "animated GIF, 256 colours", {".gif", ""}, kFormatMovie, kChannelsRgb, kDepth8,
     kOptionLoop, nullptr, "", "アニメーションGIF", {"gif"}},
    {"apng", "animated PNG", {".apng", ""}, kFormatMovie, kChannelsRgb | kChannelsRgba, kDepth8,
     kOptionLoop, nullptr, "", "アニメーションPNG", {"apng"}},
};

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
  std::string text = "name  extensions   written as            channels  depths  options\n";
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
    std::snprintf(line, sizeof line, "%-5s %-12s %-21s %-9s %-7s %s\n", std::string(f.name).c_str(),
                  exts.c_str(), kinds.c_str(), channels.c_str(), depths.c_str(), options.c_str());
    text += line;
  }
  text += "\nmovie codecs (--codec; the first is the default; * holds alpha):\n";
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

bool SaveStill(const OutputFormat& format, const RgbaPicture& picture, const std::string& path,
               const StillEncodeOptions& options, std::string* error,
               bool replaceProtected) {
  std::string bytes;
  return EncodeStill(format, picture, options, bytes, error) &&
         WriteFileAtomically(path, bytes, error, replaceProtected);
}

}  // namespace velmora
