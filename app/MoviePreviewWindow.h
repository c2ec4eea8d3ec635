// The movie preview window shown after a movie export: it plays the finished
// AVI in a loop at its natural size, with Play, Pause, Stop, Step and Back
// buttons and a vertical frame slider (frame 0 at the top).  A 20 ms timer
// drives the player, follows the slider and keeps the buttons in step with
// the playback state.  Stop or the close box closes the window.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QString>

#include "output/AviPlayer.h"

class QSlider;
class QTimer;
class QToolButton;
class QWidget;

class MoviePreviewWindow : public QDialog {
  Q_OBJECT

 public:
  explicit MoviePreviewWindow(QWidget* parent = nullptr);

  // Makes name the movie to play when a file exists there (the caption
  // shows it); false and no change otherwise.
  bool SetFileName(const QString& name);

  // The playback buttons (the MediaPlayer row), the slider and the timer.
  QWidget* MediaPlayer;
  QToolButton* BtnPlay;
  QToolButton* BtnPause;
  QToolButton* BtnStop;
  QToolButton* BtnStep;
  QToolButton* BtnBack;
  QSlider* Bar;
  QTimer* Timer;

  // One timer tick with the time that has passed.
  void Tick(double elapsedMs);
  const velmora::AviPlayer& Player() const { return player_; }
  velmora::PlayerMode RememberedState() const { return state_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void FormShow();
  void FormHide();
  void TimerTimer();
  void StepClick();
  void BackClick();
  void SetButtons();
  void SetBar(int64_t position);

  velmora::AviPlayer player_;
  QString fileName_;
  QWidget* video_;
  QElapsedTimer clock_;
  int64_t lastPosition_ = 0;
  velmora::PlayerMode state_ = velmora::PlayerMode::NotReady;
  bool started_ = false;
  QString error_;  // why the movie could not be played, shown in its place
};
