#include "output/AviPlayer.h"

#include "output/MovieModule.h"

namespace velmora {

AviPlayer::AviPlayer() = default;
AviPlayer::~AviPlayer() = default;

bool AviPlayer::Open(const std::string& path, std::string* error) {
  if (!playback_) {
    error_.clear();
    const MovieModule* module = LoadMovieModule(&error_);
    if (!module) {
      if (error) *error = path + ": " + error_;
      return false;
    }
    playback_ = module->NewPlayer();
    playback_->SetLooping(looping_);
  }
  return playback_->Open(path, error);
}

void AviPlayer::Close() {
  if (playback_) playback_->Close();
}
bool AviPlayer::IsOpen() const { return playback_ && playback_->IsOpen(); }
PlayerMode AviPlayer::Mode() const { return playback_ ? playback_->Mode() : PlayerMode::NotReady; }
int64_t AviPlayer::Length() const { return playback_ ? playback_->Length() : 0; }
int64_t AviPlayer::Position() const { return playback_ ? playback_->Position() : 0; }
int32_t AviPlayer::Width() const { return playback_ ? playback_->Width() : 0; }
int32_t AviPlayer::Height() const { return playback_ ? playback_->Height() : 0; }
const Bitmap24& AviPlayer::Frame() const { return playback_ ? playback_->Frame() : none_; }
const std::string& AviPlayer::LastError() const {
  return playback_ ? playback_->LastError() : error_;
}

void AviPlayer::Play() {
  if (playback_) playback_->Play();
}
void AviPlayer::Pause() {
  if (playback_) playback_->Pause();
}
void AviPlayer::Stop() {
  if (playback_) playback_->Stop();
}
bool AviPlayer::Seek(int64_t frame) { return playback_ && playback_->Seek(frame); }
bool AviPlayer::Step(int64_t delta) { return playback_ && playback_->Step(delta); }
void AviPlayer::SetLooping(bool on) {
  looping_ = on;
  if (playback_) playback_->SetLooping(on);
}
void AviPlayer::Advance(double elapsedMs) {
  if (playback_) playback_->Advance(elapsedMs);
}

}  // namespace velmora
