// Still pictures: the format follows the name's extension.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "output/Formats.h"
#include "output/StillImage.h"
#include "temp_folder.h"

namespace velmora {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

TEST(StillImage, FormatFollowsTheExtension) {
  EXPECT_EQ(ImageFormatForName("a.jpg"), ImageFormat::Jpeg);
  EXPECT_EQ(ImageFormatForName("a.JPG"), ImageFormat::Jpeg);
  EXPECT_EQ(ImageFormatForName("a.jpeg"), ImageFormat::Jpeg);
  EXPECT_EQ(ImageFormatForName("a.JPEG"), ImageFormat::Jpeg);
  EXPECT_EQ(ImageFormatForName("a.png"), ImageFormat::Png);
  EXPECT_EQ(ImageFormatForName("a.Png"), ImageFormat::Png);
  EXPECT_EQ(ImageFormatForName("a.bmp"), ImageFormat::Bmp);
  EXPECT_EQ(ImageFormatForName("a.jpe"), ImageFormat::Bmp);
  EXPECT_EQ(ImageFormatForName("a.gif"), ImageFormat::Bmp);
  EXPECT_EQ(ImageFormatForName("a"), ImageFormat::Bmp);
  EXPECT_EQ(ImageFormatForName("jpg"), ImageFormat::Bmp);
}

// The bytes written are those of the format the name asks for, at the given
// JPEG quality.
TEST(StillImage, SavedBytesMatchTheName) {
  const testing_util::TempFolder folder("velmora_still");
  const std::string dir = folder.path + "/";
  Bitmap24 bm;
  bm.SetSize(16, 8);
  for (size_t i = 0; i < bm.bytes.size(); ++i) bm.bytes[i] = static_cast<uint8_t>(i * 37);
  const struct {
    const char* name;
    std::string magic;
  } cases[] = {{"s.JPG", "\xFF\xD8\xFF"}, {"s.jpeg", "\xFF\xD8\xFF"}, {"s.png", "\x89PNG"},
               {"s.bmp", "BM"},           {"s_none", "BM"},             {"s.tiff", "II*"},
               {"s.TIF", "II*"},          {"s.xyz", "BM"}};
  for (const auto& c : cases) {
    const std::string path = dir + c.name;
    std::string error;
    ASSERT_TRUE(SaveBitmapByExtension(bm, path, 75, &error)) << c.name << ": " << error;
    EXPECT_EQ(ReadFile(path).substr(0, c.magic.size()), c.magic) << c.name;
  }
  std::string low, high, error;
  ASSERT_TRUE(EncodeJpeg(bm, 0, low, &error));
  ASSERT_TRUE(EncodeJpeg(bm, 100, high, &error));
  EXPECT_LT(low.size(), high.size());
  Bitmap24 back;
  ASSERT_TRUE(DecodeBmp(ReadFile(dir + "s.bmp"), back, &error));
  EXPECT_EQ(back.bytes, bm.bytes);
  // PNG is lossless; a truncated file is refused with a reason.
  const std::string png = ReadFile(dir + "s.png");
  ASSERT_TRUE(DecodePng(png, back, &error)) << error;
  EXPECT_EQ(back.width, 16);
  EXPECT_EQ(back.bytes, bm.bytes);
  error.clear();
  EXPECT_FALSE(DecodePng(png.substr(0, png.size() - 20), back, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(back.bytes, bm.bytes) << "a failed read leaves the bitmap as it was";
  EXPECT_FALSE(SaveBitmapByExtension(bm, dir + "no/such/dir.bmp", 75, &error));
  EXPECT_FALSE(error.empty());

  // A header claiming 60000 x 60000 is refused from the header when another
  // size is expected, before any memory is taken for its pixels.
  std::string huge = png;
  const unsigned char dims[8] = {0, 0, 0xEA, 0x60, 0, 0, 0xEA, 0x60};
  huge.replace(16, 8, reinterpret_cast<const char*>(dims), 8);
  const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(huge.data() + 12), 17);  // "IHDR" + fields
  for (int i = 0; i < 4; ++i) huge[29 + i] = static_cast<char>((crc >> (24 - 8 * i)) & 0xFF);
  EXPECT_FALSE(DecodePng(huge, back, &error, 16, 8));
  EXPECT_EQ(error, "it is 60000 x 60000, not 16 x 8");
  EXPECT_FALSE(DecodePng(png, back, &error, 16, 9));
  EXPECT_TRUE(DecodePng(png, back, &error, 16, 8));
}

// A write-protected picture is kept unless its replacement is asked for;
// the replacement keeps the mode.
TEST(StillImage, WriteProtectedFilesAreKept) {
  const testing_util::TempFolder tmp("velmora_still");
  const std::string path = tmp.path + "/kept.bmp";
  Bitmap24 bm;
  bm.SetSize(4, 4);
  std::ofstream(path) << "mine";
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  std::string error;
  EXPECT_FALSE(SaveBitmapByExtension(bm, path, 75, &error));
  EXPECT_EQ(error, "refusing to replace the write-protected file " + path);
  EXPECT_EQ(ReadFile(path), "mine");
  EXPECT_TRUE(SaveBitmapByExtension(bm, path, 75, &error, true)) << error;
  EXPECT_EQ(ReadFile(path).substr(0, 2), "BM");
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0444u);
}

// The format table: names, extensions (any case), kinds, and the window's
// rule that a name the table does not know is a BMP.
TEST(Formats, TableLookups) {
  EXPECT_EQ(FindFormatByName("JPG"), FindFormatByName("jpeg"));
  EXPECT_EQ(FindFormatByName("tif")->name, "tiff");
  EXPECT_EQ(FindFormatByName("xyz"), nullptr);
  EXPECT_EQ(PathExtension("dir.png/frames"), "");
  EXPECT_EQ(PathExtension("a/b.TIFF"), ".tiff");
  EXPECT_EQ(FormatForPath("x.TIFF", kFormatStill)->name, "tiff");
  EXPECT_EQ(FormatForPath("x.avi", kFormatStill), nullptr);
  EXPECT_EQ(FormatForPath("x.AVI", kFormatMovie)->name, "avi");
  EXPECT_EQ(FormatForPath("x.xyz", kFormatSeries), nullptr);
  EXPECT_EQ(FormatForPath("x", kFormatStill), nullptr);
  EXPECT_EQ(StillFormatForPath("x.xyz").name, "bmp");
  EXPECT_EQ(StillFormatForPath("x.avi").name, "bmp");
  EXPECT_EQ(FormatNameList(kFormatMovie), "avi, mp4, mkv, webm, mov, webp, gif, apng");
  EXPECT_EQ(FormatForPath("x.M4V", kFormatMovie)->name, "mp4");
  EXPECT_EQ(FormatForPath("x.webm", kFormatSeries), nullptr);
  for (const OutputFormat& f : OutputFormats()) {
    EXPECT_EQ(f.encode != nullptr, f.Can(kFormatStill)) << f.name;
    EXPECT_EQ(FindFormatByName(f.name), &f);
    for (std::string_view ext : f.extensions) {
      if (!ext.empty()) {
        EXPECT_EQ(FindFormatByName(ext.substr(1)), &f) << ext;
      }
    }
  }
}

// TIFF is lossless; a damaged file is refused with a reason.
TEST(Formats, TiffRoundTrip) {
  Bitmap24 bm;
  bm.SetSize(33, 7);
  for (size_t i = 0; i < bm.bytes.size(); ++i) bm.bytes[i] = static_cast<uint8_t>(i * 91 + 3);
  std::string tiff, error;
  ASSERT_TRUE(EncodeTiff(bm, tiff, &error)) << error;
  Bitmap24 back;
  ASSERT_TRUE(DecodeTiff(tiff, back, &error)) << error;
  EXPECT_EQ(back.width, 33);
  EXPECT_EQ(back.height, 7);
  EXPECT_EQ(back.bytes, bm.bytes);
  EXPECT_FALSE(DecodeTiff(tiff.substr(0, 12), back, &error));
  EXPECT_FALSE(error.empty());
}

// RGBA files hold the alpha picture exactly as their alpha channel; formats
// without one refuse it.
TEST(Formats, AlphaChannel) {
  Bitmap24 colour, alpha;
  colour.SetSize(9, 5);
  alpha.SetSize(9, 5);
  for (size_t i = 0; i < colour.bytes.size(); ++i) {
    colour.bytes[i] = static_cast<uint8_t>(i * 53 + 7);
    alpha.bytes[i] = static_cast<uint8_t>(i / 3 == 4 ? 255 : (i / 3) * 29);  // pixel 4 opaque
  }
  const RgbaPicture rgba(colour, &alpha);
  std::string bytes, error, channels;
  Bitmap24 c, a;
  ASSERT_TRUE(EncodeStill(*FindFormatByName("png"), rgba, {}, bytes, &error)) << error;
  ASSERT_TRUE(DecodePngRgba(bytes, c, a, &error)) << error;
  EXPECT_EQ(c.bytes, colour.bytes);
  EXPECT_EQ(a.bytes, alpha.bytes);
  ASSERT_TRUE(EncodeStill(*FindFormatByName("tiff"), rgba, {}, bytes, &error)) << error;
  ASSERT_TRUE(DecodeTiff(bytes, c, &error, &a)) << error;
  EXPECT_EQ(a.bytes, alpha.bytes);
  ASSERT_TRUE(EncodeStill(*FindFormatByName("exr"), rgba, {}, bytes, &error)) << error;
  ASSERT_TRUE(DecodeExr(bytes, c, &a, &channels, &error)) << error;
  EXPECT_EQ(channels, "A:half B:half G:half R:half ");
  EXPECT_EQ(a.bytes, alpha.bytes);
  EXPECT_EQ(c.Row(0)[12], colour.Row(0)[12]) << "opaque pixel: colour as it is";
  // Without alpha an OpenEXR file is R, G, B halves that round back exactly.
  ASSERT_TRUE(EncodeStill(*FindFormatByName("exr"), colour, {}, bytes, &error)) << error;
  ASSERT_TRUE(DecodeExr(bytes, c, &a, &channels, &error)) << error;
  EXPECT_EQ(channels, "B:half G:half R:half ");
  EXPECT_EQ(c.bytes, colour.bytes);
  EXPECT_FALSE(DecodeExr(bytes.substr(0, bytes.size() / 2), c, &a, nullptr, &error));
  for (const char* name : {"bmp", "jpeg"}) {
    error.clear();
    EXPECT_FALSE(EncodeStill(*FindFormatByName(name), rgba, {}, bytes, &error));
    EXPECT_EQ(error, std::string(name) + " files hold no alpha channel (png, tiff, exr do)");
  }
}

// The README's table of formats is the one the program prints.
TEST(Formats, ReadmeTableMatches) {
  const std::string readme = ReadFile(VELMORA_SOURCE_DIR "/README.md");
  EXPECT_NE(readme.find(FormatTableText()), std::string::npos)
      << "README.md needs the table of 'velmora help formats':\n" << FormatTableText();
}

}  // namespace
}  // namespace velmora
