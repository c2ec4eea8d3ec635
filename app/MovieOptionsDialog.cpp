#include "app/MovieOptionsDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QSlider>
#include <utility>

using velmora::MovieEncodeOptions;

namespace {

// The codecs whose quality the encoder takes (the others are lossless or
// have a fixed palette).
bool HasQuality(const QString& codec) {
  static const QStringList withQuality = {QStringLiteral("h264"), QStringLiteral("hevc"),
                                          QStringLiteral("av1"),  QStringLiteral("vp9"),
                                          QStringLiteral("mjpeg"), QStringLiteral("webp")};
  return withQuality.contains(codec);
}

}  // namespace

MovieOptionsDialog::MovieOptionsDialog(std::string settingsPath,
                                       const velmora::OutputFormat& format, QWidget* parent)
    : QDialog(parent), settingsPath_(std::move(settingsPath)), format_(format) {
  setObjectName(QStringLiteral("MovieOptionsDialog"));
  setWindowTitle(tr("動画の圧縮") + QStringLiteral(" (") +
                 QString::fromStdString(std::string(format.name)) + QLatin1Char(')'));
  setModal(true);

  MovieEncodeOptions stored;
  velmora::MovieOptionsLoad(settingsPath_, format_, stored);
  const QString storedCodec = QString::fromStdString(
      stored.codec.empty() ? std::string(format.DefaultCodec()) : stored.codec);

  Codec = new QComboBox(this);
  Codec->setObjectName(QStringLiteral("Codec"));
  for (std::string_view c : format.codecs) {
    if (c.empty() || !velmora::MovieCodecAvailable(std::string(c), nullptr)) continue;
    const QString name = QString::fromStdString(std::string(c));
    Codec->addItem(name, name);
  }
  const int at = Codec->findData(storedCodec);
  if (at >= 0) Codec->setCurrentIndex(at);
  QualityBar = new QSlider(Qt::Horizontal, this);
  QualityBar->setObjectName(QStringLiteral("QualityBar"));
  QualityBar->setRange(0, 100);
  QualityBar->setPageStep(10);
  QualityBar->setValue(stored.quality >= 0 ? stored.quality : 80);
  QualityText = new QLabel(this);
  auto showQuality = [this] {
    QualityText->setText(QString::number(QualityBar->value()) + QLatin1Char('%'));
    QualityBar->setEnabled(HasQuality(Codec->currentData().toString()));
  };
  connect(QualityBar, &QSlider::valueChanged, this, showQuality);
  connect(Codec, &QComboBox::currentIndexChanged, this, showQuality);
  showQuality();

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(tr("圧縮プログラム(&C):"), this), 0, 0);
  grid->addWidget(Codec, 0, 1, 1, 2);
  grid->addWidget(new QLabel(tr("圧縮の品質(&Q):"), this), 1, 0);
  grid->addWidget(QualityBar, 1, 1);
  grid->addWidget(QualityText, 1, 2);
  grid->addWidget(buttons, 2, 0, 1, 3);
}

MovieEncodeOptions MovieOptionsDialog::Options() const {
  MovieEncodeOptions o;
  o.codec = Codec->currentData().toString().toStdString();
  o.quality = QualityBar->value();
  return o;
}

void MovieOptionsDialog::accept() {
  std::string error;
  if (!velmora::MovieOptionsSave(settingsPath_, format_, Options(), &error))
    QMessageBox::warning(this, windowTitle(), QString::fromStdString(error));
  QDialog::accept();
}
