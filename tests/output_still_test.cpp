// Still pictures: the format follows the name's extension.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

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
               {"s.bmp", "BM"},           {"s_none", "BM"},             {"s.tiff", "BM"}};
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
}

}  // namespace
}  // namespace velmora
