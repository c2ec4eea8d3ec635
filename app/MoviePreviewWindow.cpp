#include "app/MoviePreviewWindow.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QSlider>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

using velmora::PlayerMode;

namespace {

constexpr int VideoLeft = 20;
constexpr int VideoTop = 21;
constexpr int ButtonSize = 20;
constexpr int TimerMs = 20;

// The video area: paints the player's current frame at its natural size.
class VideoArea : public QWidget {
 public:
  VideoArea(const velmora::AviPlayer& player, const QString& error, QWidget* parent)
      : QWidget(parent), player_(player), error_(error) {
    setAttribute(Qt::WA_TransparentForMouseEvents);  // clicks reach the window
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    const velmora::Bitmap24& bm = player_.Frame();
    if (bm.bytes.empty()) {
      painter.fillRect(rect(), Qt::black);
      painter.setPen(Qt::white);
      painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, error_);
      return;
    }
    const QImage image(bm.bytes.data(), bm.width, bm.height, bm.width * 3, QImage::Format_BGR888);
    painter.drawImage(0, 0, image);
  }

 private:
  const velmora::AviPlayer& player_;
  const QString& error_;
};

}  // namespace

MoviePreviewWindow::MoviePreviewWindow(QWidget* parent) : QDialog(parent, Qt::Tool) {
  setObjectName(QStringLiteral("AVIView"));
  resize(305, 241);

  MediaPlayer = new QWidget(this);
  MediaPlayer->setObjectName(QStringLiteral("MediaPlayer"));
  auto* row = new QHBoxLayout(MediaPlayer);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  auto button = [&](QStyle::StandardPixmap icon, const QString& hint, const char* name) {
    auto* b = new QToolButton(MediaPlayer);
    b->setObjectName(QLatin1String(name));
    b->setIcon(style()->standardIcon(icon));
    b->setToolTip(hint);
    b->setFixedHeight(ButtonSize);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    row->addWidget(b);
    return b;
  };
  BtnPlay = button(QStyle::SP_MediaPlay, tr("再生"), "BtnPlay");
  BtnPause = button(QStyle::SP_MediaPause, tr("一時停止"), "BtnPause");
  BtnStop = button(QStyle::SP_MediaStop, tr("停止"), "BtnStop");
  BtnStep = button(QStyle::SP_MediaSeekForward, tr("コマ送り"), "BtnStep");
  BtnBack = button(QStyle::SP_MediaSeekBackward, tr("コマ戻し"), "BtnBack");

  Bar = new QSlider(Qt::Vertical, this);
  Bar->setObjectName(QStringLiteral("Bar"));
  Bar->setInvertedAppearance(true);  // frame 0 at the top
  Bar->setInvertedControls(true);
  Bar->setTickPosition(QSlider::NoTicks);

  video_ = new VideoArea(player_, error_, this);

  Timer = new QTimer(this);
  Timer->setInterval(TimerMs);
  connect(Timer, &QTimer::timeout, this, &MoviePreviewWindow::TimerTimer);
  connect(BtnPlay, &QToolButton::clicked, this, [this] { player_.Play(); });
  connect(BtnPause, &QToolButton::clicked, this, [this] { player_.Pause(); });
  connect(BtnStop, &QToolButton::clicked, this, &QDialog::close);
  connect(BtnStep, &QToolButton::clicked, this, &MoviePreviewWindow::StepClick);
  connect(BtnBack, &QToolButton::clicked, this, &MoviePreviewWindow::BackClick);
}

bool MoviePreviewWindow::SetFileName(const QString& name) {
  if (!QFileInfo(name).isFile()) return false;
  fileName_ = name;
  setWindowTitle(name);
  return true;
}

void MoviePreviewWindow::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void MoviePreviewWindow::hideEvent(QHideEvent* event) {
  FormHide();
  QDialog::hideEvent(event);
}

void MoviePreviewWindow::mousePressEvent(QMouseEvent* event) {
  player_.Pause();  // FormClick
  QDialog::mousePressEvent(event);
}

void MoviePreviewWindow::FormShow() {
  std::string error;
  error_.clear();
  if (!player_.Open(fileName_.toStdString(), &error))
    error_ = tr("この動画は再生できません。") + QStringLiteral("\n") + QString::fromStdString(error);
  const int w = player_.IsOpen() ? player_.Width() : 265;
  const int h = player_.IsOpen() ? player_.Height() : 196;
  const int rowWidth = std::max(w + 1, 5 * 24);
  MediaPlayer->setGeometry(VideoLeft, 0, rowWidth, ButtonSize);
  Bar->setGeometry(0, VideoTop + 2, VideoLeft, h + 1);
  video_->setGeometry(VideoLeft, VideoTop, w, h);
  setFixedSize(std::max(VideoLeft + w, VideoLeft + rowWidth) + 4, VideoTop + h + 4);

  const int maxFrame = static_cast<int>(std::max<int64_t>(player_.Length() - 1, 0));
  Bar->setRange(0, maxFrame);
  Bar->setPageStep(std::max(maxFrame / 10, 1));
  Bar->setTickInterval(maxFrame / 10);
  Bar->setSingleStep(1);
  Bar->setValue(0);
  lastPosition_ = Bar->value();
  started_ = false;
  state_ = player_.Mode();
  if (!player_.IsOpen()) return;  // nothing to play: the timer stays off
  BtnPlay->setEnabled(false);
  BtnPause->setEnabled(true);
  BtnStop->setEnabled(true);
  BtnStep->setEnabled(false);
  BtnBack->setEnabled(false);
  clock_.start();
  Timer->start();
}

void MoviePreviewWindow::FormHide() {
  Timer->stop();
  started_ = false;
  player_.Close();
}

void MoviePreviewWindow::TimerTimer() { Tick(static_cast<double>(clock_.restart())); }

void MoviePreviewWindow::Tick(double elapsedMs) {
  if (!player_.IsOpen()) return;
  player_.Advance(elapsedMs);
  if (Bar->value() != lastPosition_) {
    // The user moved the slider: show that frame; a paused window stays
    // paused, a playing one plays on from there.
    lastPosition_ = Bar->value();
    player_.Seek(lastPosition_);
  }
  const int64_t p = player_.Position();
  if (p != lastPosition_) {
    lastPosition_ = p;
    SetBar(p);
  }
  video_->update();
  if (!started_) {
    player_.Play();
    started_ = true;
    state_ = player_.Mode();
    return;
  }
  const PlayerMode m = player_.Mode();
  if (m == state_) return;
  // A step leaves the player stopped; the window stays paused then.
  if (!(state_ == PlayerMode::Paused && m == PlayerMode::Stopped)) state_ = m;
  if (state_ == PlayerMode::Stopped) {
    // The movie reached its end: start over.
    player_.Seek(0);
    player_.Play();
    state_ = PlayerMode::Playing;
  }
  SetButtons();
  lastPosition_ = player_.Position();
  SetBar(lastPosition_);
  video_->update();
}

void MoviePreviewWindow::StepClick() {
  if (!player_.IsOpen()) return;
  if (player_.Position() >= player_.Length() - 1) {
    player_.Seek(0);
  } else {
    player_.Step(1);
    state_ = PlayerMode::Paused;
  }
  SetButtons();
  video_->update();
}

void MoviePreviewWindow::BackClick() {
  if (!player_.IsOpen()) return;
  if (player_.Position() <= 0) {
    player_.Seek(player_.Length() - 1);
  } else {
    player_.Step(-1);
    state_ = PlayerMode::Paused;
  }
  SetButtons();
  video_->update();
}

void MoviePreviewWindow::SetButtons() {
  const bool paused = state_ == PlayerMode::Paused;
  BtnPlay->setEnabled(paused);
  BtnPause->setEnabled(!paused);
  BtnStop->setEnabled(true);
  BtnStep->setEnabled(paused);
  BtnBack->setEnabled(paused);
}

void MoviePreviewWindow::SetBar(int64_t position) {
  const QSignalBlocker block(Bar);
  Bar->setValue(static_cast<int>(position));
}
