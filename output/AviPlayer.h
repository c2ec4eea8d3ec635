// A small movie player over FFmpeg decoding, without any window: it opens a
// movie's video stream, answers its length in frames and natural size, and
// keeps one current frame as a 24-bit bitmap.  Playback runs at 30 frames per
// second on the caller's clock: the window calls Advance with the time that
// has passed (every 20 ms), and the player moves to the frame that is due.
//
// The modes follow a media device's: playing stops by itself at the last
// frame (or starts over at frame 0 when looping is on); a step leaves the
// player stopped on the new frame; a seek keeps playing or paused as before.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "render/Pixe.h"

namespace velmora {

class MoviePlayback;

enum class PlayerMode { NotReady, Stopped, Playing, Recording, Seeking, Paused, Open };

inline constexpr int32_t PlayerFramesPerSecond = 30;

// The decoding is the movie module's (MovieModule.h), loaded by the first
// Open; until then, and when it cannot be loaded, the player is closed.
class AviPlayer {
 public:
  AviPlayer();
  ~AviPlayer();
  AviPlayer(const AviPlayer&) = delete;
  AviPlayer& operator=(const AviPlayer&) = delete;

  // Opens the movie's first video stream and shows frame 0 (mode Stopped).
  // False with a one-line reason when the movie module cannot be loaded, the
  // file cannot be read, holds no video or no frame decodes; the player is
  // then closed.
  bool Open(const std::string& path, std::string* error);
  void Close();  // mode NotReady, no frame
  bool IsOpen() const;

  PlayerMode Mode() const;
  int64_t Length() const;    // frames; 0 when closed
  int64_t Position() const;  // the current frame, 0 .. Length() - 1
  int32_t Width() const;     // natural size of the video
  int32_t Height() const;
  const Bitmap24& Frame() const;  // the picture of the current frame

  // Plays from the current frame (from frame 0 when stopped at the end).
  void Play();
  void Pause();  // only while playing; the current frame stays
  void Stop();   // playing or paused becomes stopped on the current frame

  // Shows frame (clamped to the movie); playing continues from there.
  bool Seek(int64_t frame);
  // One frame forward (delta 1) or back (-1) from the current frame, within
  // the movie; leaves the player stopped there.
  bool Step(int64_t delta);

  // When looping, playing past the last frame goes on at frame 0 instead of
  // stopping.  Off by default.
  void SetLooping(bool on);

  // The caller's clock: milliseconds since the last call.  While playing,
  // moves to the frame due at 30 frames per second.
  void Advance(double elapsedMs);

  // The last decoding failure, "" when none.
  const std::string& LastError() const;

 private:
  std::unique_ptr<MoviePlayback> playback_;  // made by the first Open
  Bitmap24 none_;                             // the frame while there is none
  std::string error_;                         // why the module did not load
  bool looping_ = false;
};

}  // namespace velmora
