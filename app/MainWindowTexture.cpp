// The main window's texture: the File menu's テクスチャ画像を開く... and
// テクスチャ画像を外す, and what DisplayTextureLayer shows.
//
// The texture is a setting of the session, not of the project: the document
// holds it (so New, Open and Undo keep it, and every export and preview
// takes it along with its copy of the document) but project files never
// name it.  The exports always mix the clouds with it; the preview shows the
// mix while DisplayTextureLayer is ticked and the clouds alone otherwise.
// The settings file keeps the last texture's path for the next dialog.
#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QStringList>

#include "app/MainWindow.h"
#include "output/Formats.h"
#include "output/TextureFile.h"
#include "output/WindowSettings.h"

using namespace velmora;

bool MainWindow::OpenTexture(const QString& path) {
  std::string error;
  std::shared_ptr<const TTexture> texture = ReadTextureFile(path.toStdString(), &error);
  if (!texture) {
    // The texture in use (if any) stays as it was.
    host_.Error(this, tr("テクスチャ画像を開けませんでした。") + QLatin1Char('\n') +
                          QString::fromStdString(error));
    return false;
  }
  std::string ignored;  // a settings file that cannot be written only loses the preset
  WriteLastTexturePath(settingsPath_, path.toStdString(), &ignored);
  doc_.SetTexture(std::move(texture));
  DisplayTextureLayer->setChecked(true);
  TextureChanged();
  return true;
}

void MainWindow::OpenTexture1Click() {
  TFileDialogOptions o;
  o.Title = tr("テクスチャ画像を開く");
  QStringList patterns;
  for (const OutputFormat& f : OutputFormats())
    if (f.Can(kFormatStill))
      for (std::string_view ext : f.extensions)
        if (!ext.empty()) patterns << QLatin1Char('*') + QString::fromStdString(std::string(ext));
  o.NameFilters = QStringList{tr("画像ファイル") + QStringLiteral(" (") +
                                  patterns.join(QLatin1Char(' ')) + QLatin1Char(')'),
                              tr("すべてのﾌｧｲﾙ (*.*)")};
  o.Preset = QString::fromStdString(ReadLastTexturePath(settingsPath_));
  o.MustExist = true;
  if (const std::optional<QString> path = host_.OpenFileName(this, o)) OpenTexture(*path);
}

void MainWindow::RemoveTexture1Click() {
  if (!doc_.Texture()) return;
  doc_.SetTexture(nullptr);
  TextureChanged();
}

void MainWindow::TextureChanged() {
  const TPixeBuffer* t = doc_.Params.Texture;
  textureresolution->setText(t ? tr("現在のテクスチャ画像解像度=%1x%2").arg(t->width).arg(t->height)
                               : tr("テクスチャ画像なし"));
  RemoveTexture1->setEnabled(doc_.Texture() != nullptr);
  preview_->SetShowTexture(DisplayTextureLayer->isChecked());
  RequestPreview(PreviewKind::Mix);
}

void MainWindow::DisplayTextureLayerClick() {
  preview_->SetShowTexture(DisplayTextureLayer->isChecked());
  RequestPreview(PreviewKind::Mix);
}
