#include "app/StillOptionsPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <string>

#include "output/Formats.h"

using namespace velmora;

StillOptionsPanel::StillOptionsPanel(const StillOptions& options, QWidget* parent,
                                     bool forMovie)
    : QWidget(parent), options_(options), wantedDepth_(options.depth), forMovie_(forMovie) {
  setObjectName(QStringLiteral("StillOptions"));
  auto named = [](QWidget* w, const char* name) {
    w->setObjectName(QLatin1String(name));
    return w;
  };
  Depth = static_cast<QComboBox*>(named(new QComboBox(this), "StillDepth"));
  Depth->setToolTip(tr("16ビットと浮動小数点の画像は、8ビットに丸めない高精度の作画から作ります"));
  Content = static_cast<QComboBox*>(named(new QComboBox(this), "StillContent"));
  Content->addItem(tr("画像"), static_cast<int>(ExportMap::Picture));
  Content->addItem(tr("高さマップ"), static_cast<int>(ExportMap::Height));
  Content->addItem(tr("法線マップ"), static_cast<int>(ExportMap::Normal));
  Content->setToolTip(
      tr("高さマップは色とぼかしの前の灰色の雲、法線マップはそこから作るタイル可能な法線です"));
  Content->setCurrentIndex(Content->findData(static_cast<int>(options.content)));
  NormalStrength =
      static_cast<QDoubleSpinBox*>(named(new QDoubleSpinBox(this), "NormalStrength"));
  NormalStrength->setRange(-1000, 1000);
  NormalStrength->setDecimals(3);
  NormalStrength->setSingleStep(0.1);
  NormalStrength->setValue(options.normalStrength);
  NormalStrength->setToolTip(tr("黒から白までで、面が画像の幅の 1/16 のこの倍数だけ高くなります"));
  AlphaChannel = static_cast<QCheckBox*>(named(
      new QCheckBox(tr("アルファチャンネルも保存する（PNG・TIFF・OpenEXR）"), this), "StillAlphaChannel"));
  AlphaChannel->setChecked(options.alphaChannel);
  AlphaChannel->setVisible(!forMovie);
  Format = static_cast<QLabel*>(named(new QLabel(this), "StillFormat"));

  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->addWidget(new QLabel(tr("深さ"), this), 0, 0);
  grid->addWidget(Depth, 0, 1);
  grid->addWidget(new QLabel(tr("保存する内容"), this), 0, 2);
  grid->addWidget(Content, 0, 3);
  grid->addWidget(new QLabel(tr("法線の強さ"), this), 0, 4);
  grid->addWidget(NormalStrength, 0, 5);
  grid->addWidget(AlphaChannel, 1, 0, 1, 4);
  grid->addWidget(Format, 1, 4, 1, 2);
  grid->setColumnStretch(6, 1);

  // A depth the user picks is the one wanted until another is picked, even
  // while a format without it is chosen.
  connect(Depth, &QComboBox::activated, this,
          [this](int index) { wantedDepth_ = Depth->itemData(index).toUInt(); });
  connect(Content, &QComboBox::currentIndexChanged, this, [this] { UpdateEnabled(); });
  FollowName(QString());
}

void StillOptionsPanel::FollowName(const QString& name) {
  // The movie dialog names movies and numbered series, whose pictures are
  // stills of the format their extension names.
  const std::string path = name.toStdString();
  const OutputFormat* movie = forMovie_ ? FormatForPath(path, kFormatMovie) : nullptr;
  const OutputFormat& format = movie ? *movie : StillFormatForPath(path);
  formatChannels_ = forMovie_ ? 0 : format.channels;
  // The format as the dialog's filter list names it ("PNGイメージ").
  const std::string_view dialogTitle =
      forMovie_ ? format.movieDialogTitle : format.stillDialogTitle;
  const std::string title(dialogTitle.empty() ? format.title : dialogTitle);
  Format->setText(tr("形式: %1").arg(QCoreApplication::translate("MainWindow", title.c_str())));
  const unsigned depths = movie ? kDepth8 : StillDepths(format);
  Depth->clear();
  const struct {
    unsigned depth;
    QString text;
  } items[] = {{kDepth8, tr("8ビット")}, {kDepth16, tr("16ビット")}, {kDepthFloat, tr("浮動小数点")}};
  for (const auto& item : items)
    if (depths & item.depth) Depth->addItem(item.text, item.depth);
  const int wanted = Depth->findData(wantedDepth_);
  Depth->setCurrentIndex(wanted >= 0 ? wanted : 0);
  UpdateEnabled();
}

void StillOptionsPanel::UpdateEnabled() {
  const bool picture = Content->currentData().toInt() == static_cast<int>(ExportMap::Picture);
  AlphaChannel->setEnabled(picture && (formatChannels_ & kChannelsRgba) != 0);
  NormalStrength->setEnabled(Content->currentData().toInt() ==
                             static_cast<int>(ExportMap::Normal));
}

StillOptions StillOptionsPanel::Options() const {
  StillOptions o = options_;
  o.depth = Depth->currentData().toUInt();
  o.content = static_cast<ExportMap>(Content->currentData().toInt());
  o.normalStrength = NormalStrength->value();
  o.alphaChannel = AlphaChannel->isEnabled() && AlphaChannel->isChecked();
  return o;
}
