#include "app/AviOptionsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <cmath>
#include <utility>

using velmora::AviOptions;
using velmora::FourCC;

namespace {

constexpr int32_t KiB = 1024;

struct CodecChoice {
  uint32_t handler;
  const char* label;
  bool lossless;  // quality and data rate do not apply
  bool intra;     // every frame is a key frame anyway
};

const CodecChoice kCodecs[] = {
    {0, QT_TRANSLATE_NOOP("AviOptionsDialog", "非圧縮 (24 ビット RGB)"), true, true},
    {FourCC('M', 'J', 'P', 'G'), QT_TRANSLATE_NOOP("AviOptionsDialog", "Motion JPEG"), false, true},
    {FourCC('F', 'F', 'V', '1'), QT_TRANSLATE_NOOP("AviOptionsDialog", "FFV1 (可逆圧縮)"), true,
     false},
    {FourCC('H', '2', '6', '4'), QT_TRANSLATE_NOOP("AviOptionsDialog", "H.264"), false, false},
    {FourCC('X', 'V', 'I', 'D'), QT_TRANSLATE_NOOP("AviOptionsDialog", "MPEG-4 Part 2 (Xvid 互換)"),
     false, false},
};

const CodecChoice* ChoiceFor(uint32_t handler) {
  for (const CodecChoice& c : kCodecs)
    if (c.handler == handler) return &c;
  return nullptr;
}

// The quality slider shows percent; the stored scale is 0 .. 10000.  A
// negative stored quality (the codec's own default) shows as 75.
int QualityPercent(int32_t quality) {
  return quality < 0 ? 75 : static_cast<int>(std::lround(quality / 100.0));
}

int RateKiB(int32_t bytesPerSecond) {
  return static_cast<int>(std::lround(std::max(bytesPerSecond, 0) / double(KiB)));
}

}  // namespace

AviOptionsDialog::AviOptionsDialog(std::string settingsPath, QWidget* parent)
    : QDialog(parent), settingsPath_(std::move(settingsPath)) {
  setObjectName(QStringLiteral("AviOptionsDialog"));
  setWindowTitle(tr("ビデオの圧縮"));
  setModal(true);

  Codec = new QComboBox(this);
  Codec->setObjectName(QStringLiteral("Codec"));
  for (const CodecChoice& c : kCodecs) {
    if (!velmora::AviHandlerAvailable(c.handler, nullptr)) continue;
    Codec->addItem(tr(c.label), QVariant::fromValue<uint>(c.handler));
  }
  QualityBar = new QSlider(Qt::Horizontal, this);
  QualityBar->setObjectName(QStringLiteral("QualityBar"));
  QualityBar->setRange(0, 100);
  QualityBar->setPageStep(10);
  QualityText = new QLabel(this);
  QualityText->setMinimumWidth(QualityText->fontMetrics().horizontalAdvance(QStringLiteral("100%")));
  KeyFrameChk = new QCheckBox(tr("キー フレーム(&K)"), this);
  KeyFrameEvery = new QSpinBox(this);
  KeyFrameEvery->setRange(1, 9999);
  DataRateChk = new QCheckBox(tr("データ レート(&D)"), this);
  DataRate = new QSpinBox(this);
  DataRate->setRange(1, 2000000);

  auto* grid = new QGridLayout(this);
  // The labels' mnemonics move the focus to the control beside them.
  auto* codecLabel = new QLabel(tr("圧縮プログラム(&C):"), this);
  codecLabel->setBuddy(Codec);
  auto* qualityLabel = new QLabel(tr("圧縮の品質(&Q):"), this);
  qualityLabel->setBuddy(QualityBar);
  grid->addWidget(codecLabel, 0, 0);
  grid->addWidget(Codec, 0, 1, 1, 2);
  grid->addWidget(qualityLabel, 1, 0);
  grid->addWidget(QualityBar, 1, 1);
  grid->addWidget(QualityText, 1, 2);
  grid->addWidget(KeyFrameChk, 2, 0);
  grid->addWidget(KeyFrameEvery, 2, 1);
  grid->addWidget(new QLabel(tr("フレームごと"), this), 2, 2);
  grid->addWidget(DataRateChk, 3, 0);
  grid->addWidget(DataRate, 3, 1);
  grid->addWidget(new QLabel(tr("KB/秒"), this), 3, 2);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Cancel)->setText(tr("キャンセル"));
  grid->addWidget(buttons, 4, 0, 1, 3);
  grid->setSizeConstraint(QLayout::SetFixedSize);

  connect(buttons, &QDialogButtonBox::accepted, this, &AviOptionsDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(Codec, &QComboBox::currentIndexChanged, this, &AviOptionsDialog::CodecChange);
  connect(QualityBar, &QSlider::valueChanged, this, &AviOptionsDialog::QualityChange);
  connect(KeyFrameChk, &QCheckBox::toggled, this, &AviOptionsDialog::CodecChange);
  connect(DataRateChk, &QCheckBox::toggled, this, &AviOptionsDialog::CodecChange);

  AviOptions stored;
  if (!velmora::AviOptionsLoad(settingsPath_, stored)) stored = velmora::DefaultAviOptions();
  SetOptions(stored);
}

int AviOptionsDialog::CodecIndex(uint32_t handler) {
  int i = Codec->findData(QVariant::fromValue<uint>(handler));
  if (i < 0) {
    // A codec chosen elsewhere (or no longer available) stays selectable
    // under its code so that OK does not silently replace it.
    Codec->addItem(QString::fromStdString(velmora::AviHandlerName(handler)),
                   QVariant::fromValue<uint>(handler));
    i = Codec->count() - 1;
  }
  return i;
}

void AviOptionsDialog::SetOptions(const AviOptions& o) {
  shown_ = o;
  Codec->setCurrentIndex(CodecIndex(o.handler));
  QualityBar->setValue(QualityPercent(o.quality));
  QualityChange(QualityBar->value());
  KeyFrameChk->setChecked((o.flags & velmora::AviFlagKeyFrames) != 0);
  KeyFrameEvery->setValue(o.keyFrameEvery > 0 ? o.keyFrameEvery : 15);
  DataRateChk->setChecked((o.flags & velmora::AviFlagDataRate) != 0);
  DataRate->setValue(o.bytesPerSecond > 0 ? std::max(RateKiB(o.bytesPerSecond), 1) : 300);
  CodecChange();
}

AviOptions AviOptionsDialog::Options() const {
  AviOptions o = shown_;
  o.handler = Codec->currentData().toUInt();
  if (QualityBar->value() != QualityPercent(shown_.quality)) o.quality = QualityBar->value() * 100;
  o.flags &= ~(velmora::AviFlagKeyFrames | velmora::AviFlagDataRate);
  if (KeyFrameChk->isChecked()) {
    o.flags |= velmora::AviFlagKeyFrames;
    if (KeyFrameEvery->value() != shown_.keyFrameEvery) o.keyFrameEvery = KeyFrameEvery->value();
  }
  if (DataRateChk->isChecked()) {
    o.flags |= velmora::AviFlagDataRate;
    if (shown_.bytesPerSecond <= 0 || DataRate->value() != RateKiB(shown_.bytesPerSecond))
      o.bytesPerSecond = DataRate->value() * KiB;
  }
  return o;
}

void AviOptionsDialog::CodecChange() {
  const CodecChoice* c = ChoiceFor(Codec->currentData().toUInt());
  const bool lossless = c && c->lossless;
  const bool intra = c && c->intra;
  QualityBar->setEnabled(!lossless);
  DataRateChk->setEnabled(!lossless);
  DataRate->setEnabled(!lossless && DataRateChk->isChecked());
  KeyFrameChk->setEnabled(!intra);
  KeyFrameEvery->setEnabled(!intra && KeyFrameChk->isChecked());
}

void AviOptionsDialog::QualityChange(int value) {
  QualityText->setText(QString::number(value) + QStringLiteral("%"));
}

void AviOptionsDialog::accept() {
  std::string error;
  if (!velmora::AviOptionsSave(settingsPath_, Options(), &error)) {
    QMessageBox::warning(this, windowTitle(),
                         tr("設定ファイルに保存できませんでした。") + QStringLiteral("\n") +
                             QString::fromStdString(error));
    return;
  }
  QDialog::accept();
}
