#include <gtest/gtest.h>

#include "base/FileName.h"
#include "base/Strings.h"
#include "base/TimeLeft.h"
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

// Japanese under a Japanese locale, English under every other one.
TEST(TranslateTest, OneLanguageChosenAsGettextReadsTheEnvironment) {
  struct Case { const char *language, *all, *messages, *lang, *want; };
  const Case cases[] = {
      {nullptr, nullptr, nullptr, nullptr, "en"},            // nothing set
      {nullptr, nullptr, nullptr, "C", "en"},
      {nullptr, "POSIX", nullptr, "ja_JP.UTF-8", "en"},      // LC_ALL wins
      {"ja", "C.UTF-8", nullptr, nullptr, "en"},             // LANGUAGE ignored under C
      {nullptr, nullptr, nullptr, "ja_JP.UTF-8", "ja"},
      {nullptr, nullptr, "en_GB.UTF-8", "ja_JP.UTF-8", "en"},
      {nullptr, "", "ja_JP.eucJP", "de_DE.UTF-8", "ja"},      // empty counts as unset
      {"", nullptr, nullptr, "ja_JP.UTF-8", "ja"},           // an empty LANGUAGE too
      {nullptr, nullptr, nullptr, "de_DE.UTF-8", "en"},
      {"fr:ja:en", nullptr, nullptr, "de_DE.UTF-8", "ja"},   // the first with texts here
      {"en", nullptr, nullptr, "ja_JP.UTF-8", "en"},
      {"fr", nullptr, nullptr, "ja_JP.UTF-8", "ja"},           // no French: the locale decides
  };
  for (const Case& c : cases)
    EXPECT_STREQ(MessageLanguageFor(c.language, c.all, c.messages, c.lang), c.want)
        << (c.language ? c.language : "-") << " " << (c.all ? c.all : "-") << " "
        << (c.messages ? c.messages : "-") << " " << (c.lang ? c.lang : "-");
}

TEST(TimeLeftTest, SteadyWorkCountsDownAndJumpsAreSmoothed) {
  TimeLeftEstimate steady;
  EXPECT_LT(steady.Update(0, 0), 0) << "nothing known yet";
  for (int t = 1; t <= 99; ++t) EXPECT_NEAR(steady.Update(t, t / 100.0), 100 - t, 1e-9);
  EXPECT_EQ(steady.Update(100, 1), 0);

  // Raw estimates of 18, 40 and 5 seconds a tenth of a second apart move the
  // shown value by well under a second each, and it keeps counting down.
  TimeLeftEstimate jumpy;
  const double first = jumpy.Update(10, 10.0 / 28);  // raw 18
  EXPECT_NEAR(first, 18, 1e-9);
  const double second = jumpy.Update(10.1, 10.1 / 50.1);  // raw 40
  EXPECT_NEAR(second, 17.9, 0.6);
  const double third = jumpy.Update(10.2, 10.2 / 15.2);  // raw 5
  EXPECT_NEAR(third, 17.8, 0.6);
  EXPECT_NEAR(jumpy.Update(10.5, 0), third - 0.3, 1e-9) << "no fraction: the clock alone";
  // A lasting change of pace is followed within a few follow times.
  double shown = 0, t = 11;
  for (; t < 40; t += 0.1) shown = jumpy.Update(t, t / 50);
  EXPECT_NEAR(shown, 50 - (t - 0.1), 0.1);
}

}  // namespace
}  // namespace velmora
