// 16-bit and float pictures: what each format writes at each depth, and the
// depths a format refuses.
#include <gtest/gtest.h>

#include <tiffio.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "output/Formats.h"
#include "output/StillImage.h"

namespace velmora {
namespace {

FloatImage Ramp(int channels) {
  FloatImage img;
  img.SetSize(5, 3, channels);
  for (size_t i = 0; i < img.values.size(); ++i)
    img.values[i] = static_cast<float>(i % 7) / 6.0f;
  return img;
}

std::string Encode(const char* format, const FloatImage& img, unsigned depth) {
  std::string bytes, error;
  EXPECT_TRUE(EncodeHigh(*FindFormatByName(format), img, depth, bytes, &error)) << error;
  return bytes;
}

TEST(OutputDepth, ExrChannelsAndTypes) {
  struct Case {
    int channels;
    unsigned depth;
    const char* list;
  };
  for (const Case& c : {Case{1, kDepthFloat, "Y:float "}, Case{1, kDepth16, "Y:half "},
                        Case{3, kDepthFloat, "B:float G:float R:float "},
                        Case{4, kDepth16, "A:half B:half G:half R:half "}}) {
    const FloatImage img = Ramp(c.channels);
    Bitmap24 colour, alpha;
    std::string channels, error;
    ASSERT_TRUE(DecodeExr(Encode("exr", img, c.depth), colour, &alpha, &channels, &error)) << error;
    EXPECT_EQ(channels, c.list);
    ASSERT_EQ(colour.width, 5);
    ASSERT_EQ(colour.height, 3);
    // Pixel (2, 1) read back: grey into every channel; with alpha the file
    // holds the colour premultiplied.
    const float* p = img.Pixel(2, 1);
    const float a = c.channels == 4 ? p[3] : 1.0f;
    const float r = p[0] * a;
    const float b = (c.channels == 1 ? p[0] : p[2]) * a;
    EXPECT_NEAR(colour.Row(1)[2 * 3 + 2], r * 255, 1.0) << c.list;
    EXPECT_NEAR(colour.Row(1)[2 * 3], b * 255, 1.0) << c.list;
  }
}

TEST(OutputDepth, PngAndTiffHoldSixteenBits) {
  // PNG's header: bit depth 16 and the colour type of the channels.
  for (auto [channels, type] : {std::pair{1, 0}, {3, 2}, {4, 6}}) {
    const std::string png = Encode("png", Ramp(channels), kDepth16);
    ASSERT_GT(png.size(), 26u);
    EXPECT_EQ(png[24], 16) << channels;
    EXPECT_EQ(png[25], type) << channels;
  }
  // TIFF at 16 bits reads back (through libtiff's 8-bit RGBA reader) as the
  // values rounded; in floats it holds 32-bit IEEE samples.
  const FloatImage img = Ramp(4);
  Bitmap24 colour, alpha;
  std::string error;
  ASSERT_TRUE(DecodeTiff(Encode("tiff", img, kDepth16), colour, &error, &alpha)) << error;
  const float* p = img.Pixel(4, 2);
  EXPECT_NEAR(colour.Row(2)[4 * 3 + 2], p[0] * 255, 1.0);
  EXPECT_NEAR(alpha.Row(2)[4 * 3], p[3] * 255, 1.0);
  const std::string path = ::testing::TempDir() + "depth_float.tif";
  {
    std::ofstream(path, std::ios::binary) << Encode("tiff", Ramp(1), kDepthFloat);
  }
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  ASSERT_NE(tif, nullptr);
  uint16_t bits = 0, format = 0, samples = 0;
  TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetField(tif, TIFFTAG_SAMPLEFORMAT, &format);
  TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
  std::vector<float> row(5);
  const bool read = TIFFReadScanline(tif, row.data(), 0, 0) == 1 &&
                    TIFFReadScanline(tif, row.data(), 1, 0) == 1;  // rows in order
  TIFFClose(tif);
  EXPECT_TRUE(read);
  std::remove(path.c_str());
  EXPECT_EQ(bits, 32);
  EXPECT_EQ(format, SAMPLEFORMAT_IEEEFP);
  EXPECT_EQ(samples, 1);
  EXPECT_EQ(row[2], Ramp(1).Pixel(2, 1)[0]);
}

TEST(OutputDepth, FormatsRefuseDepthsTheyCannotHold) {
  const FloatImage img = Ramp(3);
  std::string bytes, error;
  for (auto [format, depth] : {std::pair{"bmp", kDepth16}, {"jpeg", kDepth16}, {"png", kDepthFloat}}) {
    EXPECT_FALSE(EncodeHigh(*FindFormatByName(format), img, depth, bytes, &error)) << format;
    EXPECT_NE(error.find(format), std::string::npos) << error;
  }
  EXPECT_EQ(DepthFormatList(kDepth16), "png, tiff, exr");
  EXPECT_EQ(DepthFormatList(kDepthFloat), "tiff, exr");
  EXPECT_EQ(DepthForName("16"), kDepth16);
  EXPECT_EQ(DepthForName("32"), 0u);
}

}  // namespace
}  // namespace velmora
