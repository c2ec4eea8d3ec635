// The AVI writer: what it writes is read back with libavformat/libavcodec.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <filesystem>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "output/AviWriter.h"
#include "output/Settings.h"
#include "movie_test_util.h"
#include "temp_folder.h"

namespace velmora {
namespace {

// FFmpeg's progress chatter is of no interest here; errors still show.
[[maybe_unused]] const bool quietFfmpeg = [] {
  av_log_set_level(AV_LOG_ERROR);
  return true;
}();

// A fresh folder for one test.
struct TempFolder : testing_util::TempFolder {
  TempFolder() : testing_util::TempFolder("velmora_avi") {}
};

std::vector<std::string> DirEntries(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
    closedir(d);
  }
  return names;
}

using testing_util::ReadFile;

// A picture whose rows differ: a red band of eight rows on top, the rest a
// gradient that depends on the frame.
Bitmap24 Picture(int32_t w, int32_t h, int frame) {
  Bitmap24 bm;
  bm.SetSize(w, h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      uint8_t* px = bm.Row(y) + x * 3;
      if (y < 8) {
        px[0] = 0, px[1] = 0, px[2] = 255;  // B, G, R: red
      } else {
        px[0] = static_cast<uint8_t>(x * 7 + frame * 20);
        px[1] = static_cast<uint8_t>(y * 5);
        px[2] = static_cast<uint8_t>(40 + frame);
      }
    }
  return bm;
}

using testing_util::DecodeMovie;

int MaxDiff(const Bitmap24& a, const Bitmap24& b, int32_t row) {
  int worst = 0;
  for (int32_t x = 0; x < a.width * 3; ++x)
    worst = std::max(worst, std::abs(int(a.Row(row)[x]) - int(b.Row(row)[x])));
  return worst;
}

AviOptions WithHandler(uint32_t handler) {
  AviOptions o = DefaultAviOptions();
  o.handler = handler;
  return o;
}

// Uncompressed and FFV1 movies are lossless: every byte comes back, with odd
// widths whose rows need padding too.
TEST(AviWriter, LosslessCodecsGiveBackEveryPixelUpright) {
  const TempFolder tmp;
  const std::string& dir = tmp.path;
  const struct {
    uint32_t handler;
    const char* codec;
    int32_t w, h;
  } cases[] = {{0, "rawvideo", 32, 32},
               {0, "rawvideo", 33, 7},
               {FourCC('F', 'F', 'V', '1'), "ffv1", 33, 17}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.codec) + " " + std::to_string(c.w));
    const std::string path = dir + "/lossless.avi";
    AviWriter writer;
    ASSERT_TRUE(writer.Open(path, c.w, c.h, WithHandler(c.handler))) << writer.LastError();
    for (int f = 0; f < 3; ++f) ASSERT_TRUE(writer.Write(Picture(c.w, c.h, f), f));
    ASSERT_TRUE(writer.Close()) << writer.LastError();
    const testing_util::DecodedMovie d = DecodeMovie(path);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.streams, 1);
    EXPECT_EQ(d.codec, c.codec);
    EXPECT_EQ(d.width, c.w);
    EXPECT_EQ(d.height, c.h);
    EXPECT_DOUBLE_EQ(d.fps, 30.0);
    ASSERT_EQ(d.colour.size(), 3u);
    for (int f = 0; f < 3; ++f) EXPECT_EQ(d.colour[f].bytes, Picture(c.w, c.h, f).bytes) << f;
  }
}

// Uncompressed rows are stored bottom-up, padded to four bytes, under a
// positive height, as a device-independent bitmap has them.
TEST(AviWriter, UncompressedFramesAreBottomUpPaddedRows) {
  const TempFolder tmp;
  const std::string& dir = tmp.path;
  const std::string path = dir + "/raw.avi";
  AviWriter writer;
  ASSERT_TRUE(writer.Open(path, 321, 2, WithHandler(0)));
  Bitmap24 bm;
  bm.SetSize(321, 2);
  for (int x = 0; x < 321 * 3; ++x) bm.Row(0)[x] = 0xAA, bm.Row(1)[x] = 0x55;
  ASSERT_TRUE(writer.Write(bm, 0));
  ASSERT_TRUE(writer.Close());
  const std::string bytes = ReadFile(path);
  const size_t strf = bytes.find("strf");
  ASSERT_NE(strf, std::string::npos);
  auto le32 = [&](size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(bytes[at + i]);
    return static_cast<int32_t>(v);
  };
  EXPECT_EQ(le32(strf + 12), 321);  // width
  EXPECT_EQ(le32(strf + 16), 2);    // positive height: bottom-up
  const size_t chunk = bytes.find("00dc", bytes.find("movi"));
  ASSERT_NE(chunk, std::string::npos);
  EXPECT_EQ(le32(chunk + 4), 964 * 2);  // stride 964 for width 321
  EXPECT_EQ(static_cast<uint8_t>(bytes[chunk + 8]), 0x55);          // bottom row first
  EXPECT_EQ(static_cast<uint8_t>(bytes[chunk + 8 + 964]), 0xAA);    // then the top row
}

// Every compressing codec the installed FFmpeg offers writes a movie that
// decodes to the right count, rate and size, with the distinct row on top.
TEST(AviWriter, CompressedCodecsKeepCountRateSizeAndOrientation) {
  const TempFolder tmp;
  const std::string& dir = tmp.path;
  const struct {
    uint32_t handler;
    const char* codec;
  } cases[] = {{FourCC('M', 'J', 'P', 'G'), "mjpeg"},
               {FourCC('m', 'j', 'p', 'g'), "mjpeg"},
               {FourCC('H', '2', '6', '4'), "h264"},
               {FourCC('X', 'V', 'I', 'D'), "mpeg4"}};
  for (const auto& c : cases) {
    if (!AviHandlerAvailable(c.handler, nullptr)) {
      std::printf("skipping %s: not available\n", c.codec);
      continue;
    }
    SCOPED_TRACE(c.codec);
    const std::string path = dir + "/movie.avi";
    AviWriter writer;
    ASSERT_TRUE(writer.Open(path, 32, 32, WithHandler(c.handler))) << writer.LastError();
    for (int f = 0; f < 4; ++f) ASSERT_TRUE(writer.Write(Picture(32, 32, f), f));
    ASSERT_TRUE(writer.Close()) << writer.LastError();
    EXPECT_EQ(writer.FramesWritten(), 4);
    const testing_util::DecodedMovie d = DecodeMovie(path);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.streams, 1);
    EXPECT_EQ(d.codec, c.codec);
    EXPECT_EQ(d.width, 32);
    EXPECT_EQ(d.height, 32);
    EXPECT_DOUBLE_EQ(d.fps, 30.0);
    ASSERT_EQ(d.colour.size(), 4u);
    const Bitmap24 expected = Picture(32, 32, 0);
    // The red top row stays red; the bottom row is far from red.
    EXPECT_LT(MaxDiff(d.colour[0], expected, 0), 60);
    const uint8_t* top = d.colour[0].Row(0) + 16 * 3;
    const uint8_t* bottom = d.colour[0].Row(31) + 16 * 3;
    EXPECT_GT(top[2], 180);
    EXPECT_LT(top[1], 80);
    EXPECT_LT(bottom[2], 120);
  }
}

TEST(AviWriter, FailuresAreReportedAndLeaveNoFiles) {
  const TempFolder tmp;
  const std::string& dir = tmp.path;
  {
    AviWriter writer;
    EXPECT_FALSE(writer.Open(dir + "/missing/movie.avi", 32, 32, DefaultAviOptions()));
    EXPECT_NE(writer.LastError().find("missing/movie.avi"), std::string::npos) << writer.LastError();
    EXPECT_FALSE(writer.IsOpen());
    EXPECT_FALSE(writer.Write(Picture(32, 32, 0), 0));  // ignored
    EXPECT_FALSE(writer.Close());
  }
  {
    AviWriter writer;
    EXPECT_FALSE(writer.Open(dir + "/zzzz.avi", 32, 32, WithHandler(FourCC('Z', 'Z', 'Z', 'Z'))));
    EXPECT_NE(writer.LastError().find("ZZZZ"), std::string::npos) << writer.LastError();
  }
  {
    AviWriter writer;
    EXPECT_FALSE(writer.Open(dir + "/empty.avi", 0, 32, DefaultAviOptions()));
  }
  EXPECT_TRUE(DirEntries(dir).empty());
}

// A movie that fails midway leaves the previous file as it was; a complete
// one replaces it.  No temporary file stays behind either way.
TEST(AviWriter, OnlyACompleteMovieReplacesTheTarget) {
  const TempFolder tmp;
  const std::string& dir = tmp.path;
  const std::string path = dir + "/movie.avi";
  std::ofstream(path) << "previous movie";
  {
    AviWriter writer;
    ASSERT_TRUE(writer.Open(path, 32, 32, DefaultAviOptions()));
    ASSERT_TRUE(writer.Write(Picture(32, 32, 0), 0));
    EXPECT_FALSE(writer.Write(Picture(16, 32, 1), 1));  // wrong size
    EXPECT_NE(writer.LastError().find("16 x 32"), std::string::npos) << writer.LastError();
    EXPECT_FALSE(writer.Write(Picture(32, 32, 2), 2));  // ignored after a failure
    EXPECT_FALSE(writer.Close());
  }
  EXPECT_EQ(ReadFile(path), "previous movie");
  EXPECT_EQ(DirEntries(dir).size(), 1u);
  {
    AviWriter writer;
    ASSERT_TRUE(writer.Open(path, 32, 32, DefaultAviOptions()));
    ASSERT_TRUE(writer.Write(Picture(32, 32, 0), 0));
    EXPECT_FALSE(writer.Write(Picture(32, 32, 0), 0)) << "samples must increase";
    EXPECT_FALSE(writer.Close());
  }
  EXPECT_EQ(ReadFile(path), "previous movie");
  {
    AviWriter writer;  // closed by its destructor
    ASSERT_TRUE(writer.Open(path, 32, 32, DefaultAviOptions()));
    ASSERT_TRUE(writer.Write(Picture(32, 32, 0), 0));
  }
  EXPECT_EQ(DecodeMovie(path).colour.size(), 1u);
  EXPECT_EQ(DirEntries(dir).size(), 1u);
}

TEST(AviWriter, HandlerNames) {
  uint32_t h = 1;
  EXPECT_TRUE(AviHandlerFromName("raw", h));
  EXPECT_EQ(h, 0u);
  EXPECT_TRUE(AviHandlerFromName("MJPEG", h));
  EXPECT_EQ(AviHandlerName(h), "MJPG");
  EXPECT_TRUE(AviHandlerFromName("HFYU", h)) << "any four-character code";
  EXPECT_FALSE(AviHandlerFromName("theora", h));
}

// The options of section "AWR": written as the settings file keeps them, read
// back unchanged, and defaulted to Motion JPEG when nothing is stored.
TEST(AviOptions, StoredAsSectionAwr) {
  const TempFolder tmp;
  const std::string& dir = tmp.path;
  const std::string ini = dir + "/velmora.ini";
  AviOptions o;
  EXPECT_FALSE(AviOptionsLoad(ini, o)) << "no file";
  EXPECT_FALSE(AviOptionsLoad("", o)) << "no path";

  std::ofstream(ini) << "[Velmora]\nJpegQuality=80\n";
  EXPECT_FALSE(AviOptionsLoad(ini, o)) << "no section";

  std::string warning;
  const AviOptions first = PrepareAviOptions(ini, {}, &warning);
  EXPECT_TRUE(warning.empty()) << warning;
  EXPECT_EQ(first, DefaultAviOptions());
  EXPECT_EQ(first.handler, FourCC('M', 'J', 'P', 'G'));
  EXPECT_EQ(first.quality, 10000);
  const std::string text = ReadFile(ini);
  EXPECT_NE(text.find("Handler=$47504a4d"), std::string::npos) << text;
  EXPECT_NE(text.find("Quality=10000"), std::string::npos) << text;
  EXPECT_NE(text.find("JpegQuality=80"), std::string::npos) << "other settings kept";

  AviOptionOverrides ov;
  ov.setHandler = true;
  ov.handler = FourCC('F', 'F', 'V', '1');
  ov.setKeyFrameEvery = true;
  ov.keyFrameEvery = 15;
  ov.setBytesPerSecond = true;
  ov.bytesPerSecond = 250000;
  const AviOptions second = PrepareAviOptions(ini, ov, nullptr);
  EXPECT_EQ(second.handler, FourCC('F', 'F', 'V', '1'));
  EXPECT_EQ(second.quality, 10000);
  EXPECT_EQ(second.keyFrameEvery, 15);
  EXPECT_EQ(second.bytesPerSecond, 250000);
  EXPECT_EQ(second.flags, AviFlagKeyFrames | AviFlagDataRate);
  ASSERT_TRUE(AviOptionsLoad(ini, o));
  EXPECT_EQ(o, second);
  EXPECT_EQ(PrepareAviOptions(ini, {}, nullptr), second) << "later movies reuse them";
  AviOptionOverrides clear;
  clear.setKeyFrameEvery = clear.setBytesPerSecond = true;
  EXPECT_EQ(PrepareAviOptions(ini, clear, nullptr).flags, 0) << "0 leaves it to the codec";

  std::ofstream(ini) << "[AWR]\nHandler=\nQuality=7500\n";
  ASSERT_TRUE(AviOptionsLoad(ini, o));
  EXPECT_EQ(o.handler, 0u) << "empty handler text: uncompressed";
  EXPECT_EQ(o.quality, 7500);
  EXPECT_EQ(o.keyFrameEvery, 0);

  std::ofstream(ini) << "[awr]\nhandler=$34363248\n";
  ASSERT_TRUE(AviOptionsLoad(ini, o));
  EXPECT_EQ(o.handler, FourCC('H', '2', '6', '4')) << "keys are case-insensitive";
}

}  // namespace
}  // namespace velmora
