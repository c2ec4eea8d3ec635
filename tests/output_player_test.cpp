// The movie player: movies the AVI writer makes are opened, stepped, sought
// and played on a simulated 20 ms clock.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

extern "C" {
#include <libavutil/log.h>
}

#include "output/AviPlayer.h"
#include "output/AviWriter.h"
#include "temp_folder.h"

namespace velmora {
namespace {

[[maybe_unused]] const bool quietFfmpeg = [] {
  av_log_set_level(AV_LOG_ERROR);
  return true;
}();

// Frame i of a test movie is one flat grey, 20 i + 10, so any decoded pixel
// tells which frame is showing.
int GreyOf(int frame) { return 20 * frame + 10; }

// An AVI movie with HANDLER, or with a name of another movie format that
// format's default codec.
std::string MakeMovie(const std::string& dir, uint32_t handler, int frames,
                      const std::string& name = "m.avi") {
  const std::string path = dir + "/" + name;
  AviOptions o = DefaultAviOptions();
  o.handler = handler;
  o.keyFrameEvery = 4;
  o.flags |= AviFlagKeyFrames;
  MovieEncodeOptions mo;
  mo.keyFrameEvery = 4;
  AviWriter w;
  EXPECT_TRUE(w.Open(path, 48, 32, o, mo)) << w.LastError();
  for (int i = 0; i < frames; ++i) {
    Bitmap24 bm;
    bm.SetSize(48, 32);
    std::fill(bm.bytes.begin(), bm.bytes.end(), static_cast<uint8_t>(GreyOf(i)));
    EXPECT_TRUE(w.Write(bm, i));
  }
  EXPECT_TRUE(w.Close()) << w.LastError();
  return path;
}

// Which frame the player's picture shows (MPEG-4 is lossy: nearest grey).
int Showing(const AviPlayer& p) {
  const Bitmap24& bm = p.Frame();
  EXPECT_EQ(bm.width, 48);
  EXPECT_EQ(bm.height, 32);
  if (bm.bytes.empty()) return -1;
  const int v = bm.Row(16)[24 * 3 + 1];
  const int f = (v - 10 + 10) / 20;
  EXPECT_LE(std::abs(v - GreyOf(f)), 4) << "grey " << v;
  return f;
}

TEST(AviPlayer, StepsSeeksAndReportsTheMovie) {
  const testing_util::TempFolder tmp("velmora_player");
  // MPEG-4 with a key frame every 4 frames: stepping back and seeking must
  // decode from the key frame before the wanted one.
  // The other containers count time in their own units (1/1000 s in
  // Matroska and WebM, the muxer's choice in MP4 and QuickTime).
  for (const char* name :
       {"xvid.avi", "mjpg.avi", "m.mp4", "m.mkv", "m.webm", "m.mov", "m.apng", "m.webp"}) {
    SCOPED_TRACE(name);
    const uint32_t handler =
        name[0] == 'x' ? FourCC('X', 'V', 'I', 'D') : FourCC('M', 'J', 'P', 'G');
    const std::string path = MakeMovie(tmp.path, handler, 10, name);
    AviPlayer p;
    ASSERT_TRUE(p.Open(path, nullptr)) << p.LastError();
    EXPECT_EQ(p.Length(), 10);
    EXPECT_EQ(p.Width(), 48);
    EXPECT_EQ(p.Height(), 32);
    EXPECT_EQ(p.Mode(), PlayerMode::Stopped);
    EXPECT_EQ(Showing(p), 0);
    for (int i = 1; i < 10; ++i) {
      ASSERT_TRUE(p.Step(1));
      EXPECT_EQ(p.Position(), i);
      EXPECT_EQ(Showing(p), i);
    }
    EXPECT_TRUE(p.Step(1));  // stays on the last frame
    EXPECT_EQ(p.Position(), 9);
    for (int i = 8; i >= 0; --i) {
      ASSERT_TRUE(p.Step(-1));
      EXPECT_EQ(Showing(p), i);
    }
    for (int f : {7, 2, 9, 5, 6, 0}) {
      ASSERT_TRUE(p.Seek(f));
      EXPECT_EQ(Showing(p), f);
    }
    EXPECT_TRUE(p.Seek(99));
    EXPECT_EQ(p.Position(), 9);
    p.Close();
    EXPECT_FALSE(p.IsOpen());
    EXPECT_EQ(p.Length(), 0);
  }
}

TEST(AviPlayer, PlaysAtThirtyFramesASecondAndStopsOrLoopsAtTheEnd) {
  const testing_util::TempFolder tmp("velmora_player");
  const std::string path = MakeMovie(tmp.path, 0, 5);
  AviPlayer p;
  ASSERT_TRUE(p.Open(path, nullptr)) << p.LastError();
  p.Advance(1000);  // not playing: nothing moves
  EXPECT_EQ(p.Position(), 0);
  p.Play();
  EXPECT_EQ(p.Mode(), PlayerMode::Playing);
  // 20 ms ticks: frame 1 is due at 33.3 ms, frame 3 at 100 ms.
  p.Advance(20);
  EXPECT_EQ(p.Position(), 0);
  p.Advance(20);
  EXPECT_EQ(p.Position(), 1);
  p.Advance(60);
  EXPECT_EQ(Showing(p), 3);
  p.Pause();
  p.Advance(500);
  EXPECT_EQ(p.Position(), 3);
  EXPECT_EQ(p.Mode(), PlayerMode::Paused);
  p.Play();
  p.Advance(1000);  // past the end without looping: stopped on the last frame
  EXPECT_EQ(p.Mode(), PlayerMode::Stopped);
  EXPECT_EQ(Showing(p), 4);
  p.Play();  // stopped at the end: starts over
  EXPECT_EQ(p.Position(), 0);

  p.SetLooping(true);
  p.Advance(200);  // 6 frames on from 0 in a 5-frame movie: frame 1
  EXPECT_EQ(p.Mode(), PlayerMode::Playing);
  EXPECT_EQ(Showing(p), 1);
  p.Step(1);  // a step leaves the player stopped
  EXPECT_EQ(p.Mode(), PlayerMode::Stopped);
  EXPECT_EQ(Showing(p), 2);
}

TEST(AviPlayer, OneFrameMoviesAndUnreadableFiles) {
  const testing_util::TempFolder tmp("velmora_player");
  AviPlayer p;
  ASSERT_TRUE(p.Open(MakeMovie(tmp.path, FourCC('F', 'F', 'V', '1'), 1), nullptr));
  EXPECT_EQ(p.Length(), 1);
  EXPECT_TRUE(p.Step(1));
  EXPECT_TRUE(p.Step(-1));
  EXPECT_EQ(Showing(p), 0);

  std::string error;
  EXPECT_FALSE(p.Open(tmp.path + "/missing.avi", &error));
  EXPECT_NE(error.find("missing.avi"), std::string::npos);
  EXPECT_FALSE(p.IsOpen());
  EXPECT_EQ(p.Mode(), PlayerMode::NotReady);
  const std::string junk = tmp.path + "/junk.avi";
  FILE* f = fopen(junk.c_str(), "wb");
  fputs("RIFF not a movie", f);
  fclose(f);
  EXPECT_FALSE(p.Open(junk, &error));
  EXPECT_FALSE(p.IsOpen());
}

}  // namespace
}  // namespace velmora
