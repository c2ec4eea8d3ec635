#include <gtest/gtest.h>

#include "base/FileName.h"
#include "base/Strings.h"
#include "base/Translate.h"

namespace velmora {
namespace {

TEST(FileNameTest, ExtensionOnlyFromADotAmongTheLastFourCharacters) {
  EXPECT_EQ(FileExtension("movie.bmp"), ".bmp");
  EXPECT_EQ(FileExtension("clip.AVI"), ".AVI");
  EXPECT_EQ(FileExtension("a.ab"), ".ab");
  EXPECT_EQ(FileExtension("movie.jpeg"), "") << "the dot stands five from the end";
  EXPECT_EQ(FileExtension("x.d/v"), "") << "a dot in a folder name is no extension";
  EXPECT_EQ(FileExtension("name"), "");
  EXPECT_EQ(FileExtension(""), "");
  EXPECT_EQ(StripExtension("clip.avi.bmp"), "clip.avi");
  EXPECT_EQ(StripExtension("movie.jpeg"), "movie.jpeg");
  EXPECT_EQ(StripExtension(".bmp"), "");
}

TEST(StringsTest, TrimLowerAndSuffix) {
  EXPECT_EQ(Trim(" \t a b \r\n\v\f"), "a b");
  EXPECT_EQ(Trim(" \v "), "");
  EXPECT_EQ(Trim("\va\v", " \t\r\n"), "\va\v") << "only the given blanks go";
  EXPECT_EQ(ToLower("Clip.AVI \xE6\x96\xB0"), "clip.avi \xE6\x96\xB0");
  EXPECT_TRUE(EndsWith("a.jpeg", ".jpeg"));
  EXPECT_FALSE(EndsWith("peg", ".jpeg"));
}

// Without a catalogue (these tests bind none) every text is its source text.
TEST(TranslateTest, PlaceholdersTakeArgumentsLiterallyAndInOrder) {
  EXPECT_EQ(TrFormat("配列 %s の第 %s 添え字が範囲をオーバーしている。", {"a%sb", "2"}),
            "配列 a%sb の第 2 添え字が範囲をオーバーしている。");
  EXPECT_EQ(TrFormat("%s-%s", {"x"}), "x-%s") << "a placeholder without an argument stays";
  EXPECT_EQ(TrFormatIn("no such context", "%s", {"foo"}), "foo");
  EXPECT_STREQ(Tr(""), "");
  const std::string withNul("a\0b", 3);
  EXPECT_EQ(Tr(withNul), withNul);
}

}  // namespace
}  // namespace velmora
