#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "output/Formats.h"
#include "output/StillImage.h"
#include "output/TextureFile.h"
#include "temp_folder.h"

using namespace velmora;

namespace {

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace

// Every still format the table writes is read back as a texture, recognised
// by its content whatever the name says; the lossless ones pixel for pixel,
// PNG and TIFF with their alpha.
TEST(TextureFile, ReadsEveryPictureFormatByContent) {
  const testing_util::TempFolder folder("velmora_texture");
  Bitmap24 colour, alpha;
  colour.SetSize(3, 2);
  alpha.SetSize(3, 2);
  for (size_t i = 0; i < colour.bytes.size(); ++i) {
    colour.bytes[i] = static_cast<uint8_t>(i * 40);
    alpha.bytes[i] = static_cast<uint8_t>(255 - (i / 3) * 30);
  }
  for (const char* name : {"bmp", "png", "tiff", "jpeg", "exr"}) {
    const OutputFormat& f = *FindFormatByName(name);
    const bool withAlpha = f.name == "png" || f.name == "tiff";
    std::string bytes, error;
    ASSERT_TRUE(EncodeStill(f, RgbaPicture(colour, withAlpha ? &alpha : nullptr), {}, bytes, &error))
        << name << ": " << error;
    const std::string path = folder.path + "/texture_" + name + ".img";  // no telling name
    WriteBytes(path, bytes);
    const auto t = ReadTextureFile(path, &error);
    ASSERT_TRUE(t) << name << ": " << error;
    EXPECT_EQ(t->buffer.width, 3);
    EXPECT_EQ(t->buffer.height, 2);
    EXPECT_EQ(t->buffer.data, t->pixels.data());
    if (f.name == "jpeg" || f.name == "exr") continue;  // lossy (or half float)
    // TIFF keeps the colour premultiplied inside libtiff's reader: back
    // within one level.
    const int slack = f.name == "tiff" ? 1 : 0;
    for (size_t i = 0; i < 6; ++i) {
      const uint8_t* c = &colour.bytes[i * 3];
      const PackedPixel p = t->pixels[i];
      EXPECT_EQ(PixA(p), withAlpha ? alpha.bytes[i * 3] : 255u) << name << " pixel " << i;
      EXPECT_NEAR(PixR(p), c[2], slack) << name << " pixel " << i;
      EXPECT_NEAR(PixG(p), c[1], slack) << name << " pixel " << i;
      EXPECT_NEAR(PixB(p), c[0], slack) << name << " pixel " << i;
    }
  }
}

// A file that is no readable picture gives no texture and one line naming it.
TEST(TextureFile, BadFilesAreRefusedWithOneLine) {
  const testing_util::TempFolder folder("velmora_texture");
  Bitmap24 bm;
  bm.SetSize(8, 8);
  std::string png, jpeg;
  ASSERT_TRUE(EncodePng(bm, png, nullptr));
  ASSERT_TRUE(EncodeJpeg(bm, 75, jpeg, nullptr));
  const struct {
    const char* name;
    std::string bytes;
    const char* reason;
  } cases[] = {
      {"text.png", "just some text", "not a picture in a format velmora reads (bmp, png, jpeg, tiff, exr)"},
      {"cut.png", png.substr(0, png.size() / 2), "not a readable PNG file"},
      {"cut.jpg", jpeg.substr(0, jpeg.size() / 2), "not a readable JPEG file"},
      {"empty.bmp", "", "not a picture in a format"},
  };
  for (const auto& c : cases) {
    const std::string path = folder.path + "/" + c.name;
    WriteBytes(path, c.bytes);
    std::string error;
    EXPECT_FALSE(ReadTextureFile(path, &error)) << c.name;
    EXPECT_EQ(error.find("cannot read the texture " + path + ": " + c.reason), 0u) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  }
  std::string error;
  EXPECT_FALSE(ReadTextureFile(folder.path + "/missing.png", &error));
  EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
  EXPECT_FALSE(ReadTextureFile(folder.path, &error));
  EXPECT_NE(error.find("Is a directory"), std::string::npos) << error;
}
