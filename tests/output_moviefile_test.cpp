// Movies of every container of the format table, read back with libavformat
// (animated WebP, which FFmpeg 5 cannot decode, by its RIFF chunks): size,
// pixel format and frame count, the alpha channel of the lossless ones, and
// the first frame of the lossy ones against the still picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "anim/CurveSet.h"
#include "anim/Document.h"
#include "anim/FrameRender.h"
#include "output/AviWriter.h"
#include "output/MovieLoop.h"
#include "output/StillImage.h"
#include "render/Render.h"
#include "movie_test_util.h"
#include "temp_folder.h"

// libx265 keeps one allocation of its own to the end of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libx265.so\n"; }

namespace velmora {
namespace {

[[maybe_unused]] const bool quietFfmpeg = [] {
  av_log_set_level(AV_LOG_QUIET);
  return true;
}();

using testing_util::ReadFile;

using testing_util::DecodeMovie;

// An animated WebP's canvas, its frames (ANMF chunks), its play count and
// whether its first frame holds alpha.
struct WebpInfo {
  int width = 0, height = 0, frames = 0, loop = -1;
  bool alpha = false;
};
WebpInfo ReadWebp(const std::string& bytes) {
  WebpInfo info;
  if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WEBP") != 0)
    return info;
  auto u = [&](size_t at, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v |= uint32_t(uint8_t(bytes[at + i])) << (8 * i);
    return v;
  };
  for (size_t at = 12; at + 8 <= bytes.size();) {
    const std::string id = bytes.substr(at, 4);
    const uint32_t size = u(at + 4, 4);
    if (id == "VP8X") {
      info.width = static_cast<int>(u(at + 12, 3)) + 1;
      info.height = static_cast<int>(u(at + 15, 3)) + 1;
    } else if (id == "ANIM") {
      info.loop = static_cast<int>(u(at + 12, 2));
    } else if (id == "ANMF") {
      // The frame's own chunks follow its 16-byte header: an ALPH chunk
      // before the picture holds its alpha.  (Later frames may use alpha to
      // leave unchanged pixels of an opaque movie: only the first, whole
      // one tells.)
      if (info.frames++ == 0) info.alpha = bytes.compare(at + 24, 4, "ALPH") == 0;
    }
    at += 8 + size + (size & 1);
  }
  return info;
}

double Psnr(const Bitmap24& a, const Bitmap24& b) {
  double sum = 0;
  for (size_t i = 0; i < a.bytes.size(); ++i) {
    const double d = double(a.bytes[i]) - double(b.bytes[i]);
    sum += d * d;
  }
  const double mse = sum / static_cast<double>(a.bytes.size());
  return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

// The picture moved X pixels to the right, wrapping around as the clouds tile.
Bitmap24 Rolled(const Bitmap24& bm, int32_t x) {
  Bitmap24 out = bm;
  for (int32_t y = 0; y < bm.height; ++y)
    for (int32_t i = 0; i < bm.width; ++i)
      std::memcpy(out.Row(y) + 3 * ((i + x) % bm.width), bm.Row(y) + 3 * i, 3);
  return out;
}

// A real cloud picture of the new project at 64 x 48, drifting to the right
// from frame to frame: colour and alpha.
struct Frames {
  std::vector<Bitmap24> colour, alpha;
  Frames() {
    RenderContext ctx;
    Document doc;
    doc.ApplyNewProjectDefaults();
    doc.Params.ResX = 64;
    doc.Params.ResY = 48;
    // Clouds that fade out toward their thin parts: an alpha of every level.
    doc.Params.StartColor.a = 0;
    KeyCurveSetFromParams(doc.Curves, 0, doc.Params);
    const TWindowHooks hooks;
    TFrameRenderer r = DocumentRenderer(ctx, doc, hooks);
    Bitmap24 c, a;
    RenderMovieFrame(r, 0, c, &a);
    for (int32_t f = 0; f < 4; ++f) {
      EXPECT_LT(*std::min_element(a.bytes.begin(), a.bytes.end()), 100);
      colour.push_back(Rolled(c, 5 * f));
      alpha.push_back(Rolled(a, 5 * f));
    }
  }
};
const Frames& Clouds() {
  static const Frames frames;
  return frames;
}

struct Case {
  const char* name;
  const char* codec;
  bool alpha;
  const char* pixelFormat;  // as FFmpeg decodes it
  bool lossless;
};

TEST(MovieFiles, EveryFormatDecodesWithItsSizePixelFormatAndFrames) {
  const testing_util::TempFolder tmp("velmora_moviefile");
  const Frames& clouds = Clouds();
  const Case cases[] = {
      {"h264.mp4", "h264", false, "yuv420p", false},
      {"hevc.mp4", "hevc", false, "yuv420p", false},
      {"av1.mp4", "av1", false, "yuv420p", false},
      {"ffv1.mkv", "ffv1", false, "bgr0", true},
      {"ffv1a.mkv", "ffv1", true, "bgra", true},
      {"pnga.mkv", "png", true, "rgba", true},
      {"vp9.mkv", "vp9", false, "yuv420p", false},
      {"mjpeg.mkv", "mjpeg", false, "yuvj420p", false},
      {"vp9.webm", "vp9", false, "yuv420p", false},
      {"vp9a.webm", "vp9", true, "yuva420p", false},
      {"av1.webm", "av1", false, "yuv420p", false},
      {"prores.mov", "prores", false, "yuv422p10le", false},
      {"prores4444.mov", "prores", true, "yuva444p12le", false},
      {"pnga.mov", "png", true, "rgba", true},
      {"ffv1a.mov", "ffv1", true, "bgra", true},
      {"x.gif", "", false, "bgra", false},
      {"x.apng", "", false, "rgb24", true},
      {"a.apng", "", true, "rgba", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = tmp.path + "/" + c.name;
    MovieEncodeOptions o;
    o.codec = c.codec;
    o.alpha = c.alpha;
    AviWriter w;
    ASSERT_TRUE(w.Open(path, 64, 48, DefaultAviOptions(), o)) << w.LastError();
    for (size_t f = 0; f < clouds.colour.size(); ++f)
      ASSERT_TRUE(w.Write(clouds.colour[f], static_cast<int64_t>(f),
                          c.alpha ? &clouds.alpha[f] : nullptr))
          << w.LastError();
    ASSERT_TRUE(w.Close()) << w.LastError();
    const testing_util::DecodedMovie d = DecodeMovie(path);
    EXPECT_EQ(d.width, 64);
    EXPECT_EQ(d.height, 48);
    EXPECT_EQ(d.pixelFormat, c.pixelFormat);
    ASSERT_EQ(d.colour.size(), clouds.colour.size());
    if (c.lossless) {
      EXPECT_EQ(d.colour[2].bytes, clouds.colour[2].bytes);
      if (c.alpha) {
        EXPECT_EQ(d.alpha[3].bytes, clouds.alpha[3].bytes);
      }
    } else if (std::string(c.name) != "x.gif") {  // GIF: 256 dithered colours
      EXPECT_GE(Psnr(d.colour[0], clouds.colour[0]), 35.0);
    }
  }
  // Animated WebP: lossy colour, the alpha flag only when asked for.
  for (bool alpha : {false, true}) {
    const std::string path = tmp.path + (alpha ? "/a.webp" : "/x.webp");
    MovieEncodeOptions o;
    o.alpha = alpha;
    o.loop = 3;
    AviWriter w;
    ASSERT_TRUE(w.Open(path, 64, 48, DefaultAviOptions(), o)) << w.LastError();
    for (size_t f = 0; f < clouds.colour.size(); ++f)
      w.Write(clouds.colour[f], static_cast<int64_t>(f), alpha ? &clouds.alpha[f] : nullptr);
    ASSERT_TRUE(w.Close()) << w.LastError();
    const WebpInfo info = ReadWebp(ReadFile(path));
    EXPECT_EQ(info.width, 64);
    EXPECT_EQ(info.height, 48);
    EXPECT_EQ(info.frames, 4);
    EXPECT_EQ(info.loop, 3);
    EXPECT_EQ(info.alpha, alpha);
  }
}

// A codec the container does not take, alpha in a format or codec without
// it, and play counts: checked when the movie opens, nothing left behind.
TEST(MovieFiles, CodecsAlphaAndLoops) {
  const testing_util::TempFolder tmp("velmora_moviefile");
  AviWriter w;
  MovieEncodeOptions o;
  o.codec = "vp9";
  EXPECT_FALSE(w.Open(tmp.path + "/x.mp4", 64, 48, DefaultAviOptions(), o));
  EXPECT_EQ(w.LastError(), "mp4 movies take the codecs h264, hevc, av1, not vp9");
  o.codec = "h264";
  o.alpha = true;
  EXPECT_FALSE(w.Open(tmp.path + "/x.mkv", 64, 48, DefaultAviOptions(), o));
  EXPECT_EQ(w.LastError().rfind("mkv movies with h264 hold no alpha channel (", 0), 0u)
      << w.LastError();
  o.codec.clear();
  EXPECT_FALSE(w.Open(tmp.path + "/x.gif", 64, 48, DefaultAviOptions(), o));
  EXPECT_FALSE(w.Open(tmp.path + "/x.xyz", 64, 48, DefaultAviOptions(), o));
  EXPECT_EQ(std::string(FormatForPath("x.mov", kFormatMovie)->DefaultCodec()), "prores");
  EXPECT_TRUE(MovieAlphaProblem(*FormatForPath("x.mov", kFormatMovie), "").empty());
  EXPECT_FALSE(MovieAlphaProblem(*FormatForPath("x.avi", kFormatMovie), "ffv1").empty());
  EXPECT_EQ(OutputKindForName("clip.WEBM"), MovieOutputKind::Avi);
  EXPECT_EQ(OutputKindForName("clip.webm.png"), MovieOutputKind::Series);

  // GIF: forever is a NETSCAPE loop of 0, once has none; APNG counts plays.
  const Frames& clouds = Clouds();
  auto write = [&](const std::string& name, int loop) {
    MovieEncodeOptions mo;
    mo.loop = loop;
    AviWriter m;
    EXPECT_TRUE(m.Open(tmp.path + "/" + name, 64, 48, DefaultAviOptions(), mo)) << m.LastError();
    m.Write(clouds.colour[0], 0);
    m.Write(clouds.colour[1], 1);
    EXPECT_TRUE(m.Close()) << m.LastError();
    return ReadFile(tmp.path + "/" + name);
  };
  const std::string forever = write("forever.gif", 0);
  const size_t at = forever.find("NETSCAPE2.0");
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(forever.substr(at + 11, 5), std::string("\x03\x01\x00\x00\x00", 5));
  EXPECT_EQ(write("once.gif", 1).find("NETSCAPE2.0"), std::string::npos);
  const std::string twice = write("twice.gif", 2);
  EXPECT_EQ(twice.substr(twice.find("NETSCAPE2.0") + 11, 5), std::string("\x03\x01\x01\x00\x00", 5));
  const std::string apng = write("three.apng", 3);
  const size_t actl = apng.find("acTL");
  ASSERT_NE(actl, std::string::npos);
  EXPECT_EQ(apng.substr(actl + 4, 8), std::string("\0\0\0\2\0\0\0\3", 8));
}

// The window's options of a movie format round-trip through the settings
// file; a codec the format does not offer is not taken.
TEST(MovieFiles, StoredOptionsPerFormat) {
  const testing_util::TempFolder tmp("velmora_moviefile");
  const std::string ini = tmp.path + "/v.ini";
  const OutputFormat& mp4 = *FindFormatByName("mp4");
  MovieEncodeOptions o;
  MovieOptionsLoad(ini, mp4, o);
  EXPECT_EQ(o, MovieEncodeOptions());
  o.codec = "hevc";
  o.quality = 60;
  std::string error;
  ASSERT_TRUE(MovieOptionsSave(ini, mp4, o, &error)) << error;
  MovieEncodeOptions back;
  MovieOptionsLoad(ini, mp4, back);
  EXPECT_EQ(back, o);
  MovieEncodeOptions webm;
  MovieOptionsLoad(ini, *FindFormatByName("webm"), webm);
  EXPECT_EQ(webm, MovieEncodeOptions());
  o.codec = "vp9";
  ASSERT_TRUE(MovieOptionsSave(ini, mp4, o, &error)) << error;
  MovieOptionsLoad(ini, mp4, back);
  EXPECT_EQ(back.codec, "hevc");
  EXPECT_NE(ReadFile(ini).find("[Movie]"), std::string::npos);
}

// Through the export: the alpha channel of a lossless movie is the separate
// alpha output's picture, byte for byte.
TEST(MovieFiles, TheMoviesAlphaIsTheAlphaOutput) {
  const testing_util::TempFolder tmp("velmora_moviefile");
  RenderContext ctx;
  Document doc;
  doc.ApplyNewProjectDefaults();
  doc.Params.ResX = 40;
  doc.Params.ResY = 30;
  doc.Params.StartColor.a = 0;
  KeyCurveSetFromParams(doc.Curves, 0, doc.Params);
  const TWindowHooks hooks;
  TFrameRenderer r = DocumentRenderer(ctx, doc, hooks);
  MovieSettings s;
  s.mainName = tmp.path + "/m.mov";
  s.alphaName = tmp.path + "/a.bmp";
  s.firstFrame = 0;
  s.lastFrame = 2;
  s.alphaChannel = true;
  s.movieOptions.codec = "ffv1";
  const MovieReport report = RenderMovie(r, s, {});
  ASSERT_TRUE(report.Succeeded()) << (report.failures.empty() ? "" : report.failures[0]);
  const testing_util::DecodedMovie d = DecodeMovie(s.mainName);
  ASSERT_EQ(d.alpha.size(), 3u);
  for (int f = 0; f < 3; ++f) {
    Bitmap24 a;
    std::string error;
    ASSERT_TRUE(DecodeBmp(ReadFile(NumberedFileName(s.alphaName, f)), a, &error)) << error;
    EXPECT_EQ(d.alpha[f].bytes, a.bytes) << "frame " << f;
  }
  // A format without alpha is refused before anything is rendered.
  s.mainName = tmp.path + "/m.mp4";
  s.movieOptions.codec.clear();
  const MovieReport refused = RenderMovie(r, s, {});
  EXPECT_FALSE(refused.Succeeded());
  EXPECT_EQ(refused.framesDone, 0);
}

}  // namespace
}  // namespace velmora
