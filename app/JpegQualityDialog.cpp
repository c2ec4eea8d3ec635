#include "app/JpegQualityDialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <utility>

#include "output/Settings.h"

JpegQualityDialog::JpegQualityDialog(uint8_t& quality, std::string settingsPath, QWidget* parent)
    : QDialog(parent, Qt::Tool), quality_(quality), settingsPath_(std::move(settingsPath)) {
  setObjectName(QStringLiteral("JPEGQualityForm"));
  setWindowTitle(tr("JPEG圧縮率の指定"));
  setModal(true);

  Label1 = new QLabel(tr("低品質高圧縮省サイズ"), this);
  Label2 = new QLabel(tr("高品質低圧縮大サイズ"), this);
  Label2->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  Quality = new QScrollBar(Qt::Horizontal, this);
  Quality->setObjectName(QStringLiteral("Quality"));
  Quality->setRange(0, 100);
  Quality->setPageStep(10);
  Quality->setToolTip(tr("圧縮率と品質のトレードオフを指定します。"));
  Quality->setMinimumWidth(280);
  QualityText = new QLabel(QStringLiteral("0%"), this);
  QualityText->setObjectName(QStringLiteral("QualityText"));
  QualityText->setAlignment(Qt::AlignCenter);
  BitBtn1 = new QPushButton(tr("OK"), this);
  BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
  BitBtn1->setDefault(true);
  BitBtn2 = new QPushButton(tr("キャンセル"), this);
  BitBtn2->setObjectName(QStringLiteral("BitBtn2"));

  auto* grid = new QGridLayout(this);
  grid->addWidget(Label1, 0, 0);
  grid->addWidget(Label2, 0, 1);
  grid->addWidget(Quality, 1, 0, 1, 2);
  grid->addWidget(QualityText, 2, 0, 1, 2);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(BitBtn1);
  buttons->addWidget(BitBtn2);
  grid->addLayout(buttons, 3, 0, 1, 2);
  grid->setSizeConstraint(QLayout::SetFixedSize);

  connect(Quality, &QScrollBar::valueChanged, this, &JpegQualityDialog::QualityChange);
  connect(BitBtn1, &QPushButton::clicked, this, &JpegQualityDialog::BitBtn1Click);
  connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

void JpegQualityDialog::showEvent(QShowEvent* event) {
  FormActivate();
  QDialog::showEvent(event);
}

void JpegQualityDialog::FormActivate() {
  Quality->setValue(quality_);
  QualityChange(Quality->value());  // also when the position did not change
}

void JpegQualityDialog::QualityChange(int position) {
  QualityText->setText(QString::number(position) + QStringLiteral("%"));
}

void JpegQualityDialog::BitBtn1Click() {
  quality_ = static_cast<uint8_t>(Quality->value());
  // The quality holds for this run even when the settings file cannot keep
  // it; the user is told so.
  std::string error;
  if (!velmora::WriteJpegQuality(settingsPath_, quality_, &error))
    QMessageBox::warning(this, windowTitle(),
                         tr("設定ファイルに保存できませんでした。") + QStringLiteral("\n") +
                             QString::fromStdString(error));
  accept();
}
