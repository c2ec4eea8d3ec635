// The main window's parameter controls: the binding to the frame record, the
// change handlers, the preview entry points and the debounce tick.
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVariant>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <cstring>
#include <optional>

#include "anim/FrameRender.h"
#include "anim/ParamTable.h"
#include "anim/ProjectModel.h"
#include "app/MainWindow.h"
#include "app/StudioWidgets.h"
#include "base/Translate.h"
#include "output/WindowSettings.h"
#include "render/ParamDiagrams.h"
#include "render/Render.h"

using namespace velmora;

namespace {

std::string Text(const QLineEdit* e) { return e->text().toStdString(); }

void SetText(QLineEdit* e, const std::string& text) {
  const QString t = QString::fromStdString(text);
  if (e->text() != t) e->setText(t);
  // A value wider than its field shows from its start (sign and leading
  // digits), not as its last characters, and whole in the tooltip after the
  // field's hint.
  e->setCursorPosition(0);
  if (!e->property("velmoraHint").isValid()) e->setProperty("velmoraHint", e->toolTip());
  const QString hint = e->property("velmoraHint").toString();
  const bool cut = e->fontMetrics().horizontalAdvance(t) > e->contentsRect().width() - 8;
  e->setToolTip(!cut ? hint : hint.isEmpty() ? t : hint + QLatin1Char('\n') + t);
}

void SetBar(QSlider* s, int32_t v) {
  const QSignalBlocker block(s);
  s->setValue(v);
}

void SetCheck(QAbstractButton* b, bool on) {
  const QSignalBlocker block(b);
  b->setChecked(on);
}

QColor ToQColor(uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

uint32_t FromQColor(const QColor& c) {
  return static_cast<uint32_t>(c.red()) | (static_cast<uint32_t>(c.green()) << 8) |
         (static_cast<uint32_t>(c.blue()) << 16);
}

}  // namespace

void MainWindow::BindControls() {
  controls_.assign(ParamCount, nullptr);
  controls2_.assign(ParamCount, nullptr);
  QWidget* central = centralWidget();
  const auto find = [central](const char* name) -> QWidget* {
    return name ? central->findChild<QWidget*>(QString::fromLatin1(name)) : nullptr;
  };
  for (int i = 0; i < ParamCount; ++i) {
    const TParamInfo& row = kParamTable[i];
    controls_[i] = find(row.Form.Control);
    controls2_[i] = find(row.Form.Control2);
    if (!controls_[i] && row.Form.Read >= 0) controls_[i] = AddControl(row);
  }
}

// A control for a row that the window's layout does not place: at the end
// of its section, captioned with the project word's manual text.
QWidget* MainWindow::AddControl(const TParamInfo& row) {
  QGridLayout* grid = sections_[static_cast<size_t>(row.Form.Section)];
  if (!grid) grid = sections_[static_cast<size_t>(TParamSection::Output)];
  const TParamInfo* head = &row;
  while (!head->Word.Manual && head > kParamTable) --head;
  QString caption = QString::fromUtf8(Tr(head->Word.Manual));
  if (const char* dot = std::strrchr(row.Name, '.'))
    caption += QLatin1Char(' ') + QString::fromLatin1(dot + 1).toUpper();
  QWidget* w = nullptr;
  switch (row.Control) {
    case TParamControl::TrackBar: {
      auto* bar = new QSlider(Qt::Horizontal, this);
      const TTrackBarScale scale = TrackBarOf(row.Curve);
      bar->setRange(scale.Min, scale.Max);
      bar->setFixedHeight(18);
      w = bar;
      break;
    }
    case TParamControl::IntegerEdit:
    case TParamControl::RealEdit:
      w = new QLineEdit(this);
      break;
    case TParamControl::CheckBox:
      w = new QCheckBox(this);
      break;
    default:
      return nullptr;  // colours and alpha bars come in pairs of the layout's own
  }
  w->setObjectName(QString::fromLatin1(row.Form.Control));
  const int at = grid->rowCount();
  grid->addWidget(new QLabel(caption, this), at, 0);
  grid->addWidget(w, at, 1);
  return w;
}

TFormState MainWindow::CollectForm() const {
  TFormState f;
  for (int i = 0; i < ParamCount; ++i) {
    const TParamForm& c = kParamTable[i].Form;
    QWidget* w = controls_[i];
    if (c.Read < 0 || !w) continue;
    if (c.Text) f.*c.Text = Text(static_cast<QLineEdit*>(w));
    if (c.Text2) f.*c.Text2 = Text(static_cast<QLineEdit*>(controls2_[i]));
    if (c.Position) f.*c.Position = static_cast<QSlider*>(w)->value();
    if (c.Panel) f.*c.Panel = static_cast<ColourPanel*>(w)->Colour();
    if (c.Check) f.*c.Check = static_cast<QAbstractButton*>(w)->isChecked();
  }
  f.PileMode = PileModeSub->isChecked() ? 1 : PileModeNorm->isChecked() ? 2 : 0;
  f.Upper = Upper->isChecked();
  return f;
}

void MainWindow::ApplyForm(const TFormState& f) {
  textureresolution->setText(f.HasTexture ? tr("現在のテクスチャ画像解像度=%1x%2")
                                                .arg(f.TextureWidth)
                                                .arg(f.TextureHeight)
                                          : tr("テクスチャ画像なし"));
  SetCheck(f.PileMode == 1 ? PileModeSub : f.PileMode == 2 ? PileModeNorm : PileModeAdd, true);
  SetCheck(Upper, f.Upper);
  const QWidget* last = nullptr;
  for (int i = 0; i < ParamCount; ++i) {
    const TParamForm& c = kParamTable[i].Form;
    QWidget* w = controls_[i];
    if (c.Read < 0 || !w || w == last) continue;  // a panel shows three rows
    last = w;
    if (c.Text) SetText(static_cast<QLineEdit*>(w), f.*c.Text);
    if (c.Text2) SetText(static_cast<QLineEdit*>(controls2_[i]), f.*c.Text2);
    if (c.Position) SetBar(static_cast<QSlider*>(w), f.*c.Position);
    if (c.Panel) static_cast<ColourPanel*>(w)->SetColour(f.*c.Panel);
    if (c.Check) SetCheck(static_cast<QAbstractButton*>(w), f.*c.Check);
  }
}

void MainWindow::ShowParams(const TCloudFrameParams& params) {
  TFormState form = CollectForm();
  ShowParamsInForm(params, form);
  ApplyForm(form);
  RedrawParameterPreviews();
}

bool MainWindow::ReadParams(bool keys) {
  TFormReadError error;
  // Previews render copies of the document, so a read can always key; only
  // an export (whose controls are disabled) keeps the keys as they are.
  if (velmora::ReadParams(CollectForm(), doc_.Params, doc_.Curves, doc_.Model.TimeLinePosition, keys,
                          !ExportRunning(), false, &error))
    return true;
  ShowReadError(error);
  return false;
}

void MainWindow::ShowReadError(const TFormReadError& error) {
  const QString text = QString::fromStdString(error.Text);
  // The box takes the focus; edits that finish because of it are not read again.
  reading_ = true;
  host_.Error(this, error.Integer ? tr("'%1' は整数ではありません").arg(text)
                                  : tr("'%1' は浮動小数点数ではありません").arg(text));
  reading_ = false;
}

void MainWindow::RedrawParameterPreviews() {
  TCloudFrameParams shown = doc_.Params;
  ReadFormInto(CollectForm(), shown, nullptr);
  DrawColorFilterDiagram(filterImage_, shown);
  ColorFilterPreview->update();
  RedrawBlurSample();
}

void MainWindow::RedrawBlurSample() {
  DrawBlurBrushDiagram(blurImage_, doc_.Params);
  BlurCurveSample->update();
}

void MainWindow::RequestPreview(PreviewKind kind) {
  ++previewRenders_;
  preview_->Submit(doc_, kind);
}

void MainWindow::FullPreviewIfAuto() {
  if (!AutoUpdate->isChecked()) return;
  RequestPreview(PreviewKind::Full);
}

void MainWindow::FilterPreviewIfAuto() {
  if (!AutoUpdate->isChecked()) return;
  if (!ReadParams(false)) return;
  RequestPreview(PreviewKind::Filter);
}

void MainWindow::MixPreviewIfAuto() {
  if (!AutoUpdate->isChecked()) return;
  if (!ReadParams(false)) return;
  RequestPreview(PreviewKind::Mix);
}

void MainWindow::DrawPreview() {
  // A movie export paints its frames into the preview meanwhile.
  if (ExportRunning()) return;
  std::optional<PreviewPicture> shown = preview_->TakePicture();
  if (!shown || shown->Picture.width != previewImage_.width ||
      shown->Picture.height != previewImage_.height)
    return;
  previewImage_ = std::move(shown->Picture);
  INternalCloudPreview->update();
}

void MainWindow::PreviewRenderIntervalTimer() {
  const TPreviewRun run = schedule_.Tick();
  if (run == TPreviewRun::Full)
    FullPreviewIfAuto();
  else if (run == TPreviewRun::Filter)
    FilterPreviewIfAuto();
}

void MainWindow::FullRenderPreviewEvent() {
  ReadParams(true);
  schedule_.RequestFull();
}

void MainWindow::FilterRenderPreviewEvent() {
  ReadParams(true);
  RedrawParameterPreviews();
  schedule_.RequestFilter();
}

void MainWindow::CheckBoxFullRenderClick() {
  if (!ReadParams(true)) return;
  preview_->ResetWarp();
  schedule_.RequestFull();
}

void MainWindow::PileModeClick() {
  RedrawParameterPreviews();
  MixPreviewIfAuto();
}

void MainWindow::UpperClick() { MixPreviewIfAuto(); }

void MainWindow::PositionEditDone() {
  if (reading_ || !ReadParams(true)) return;
  schedule_.RequestFull();
}

void MainWindow::SizeEditDone() {
  if (!reading_) ReadParams(true);
}

void MainWindow::BlurEditDone() {
  if (reading_ || !ReadParams(true)) return;
  schedule_.RequestFilter();
  RedrawBlurSample();
}

void MainWindow::AutoUpdateClick() { FullPreviewIfAuto(); }

void MainWindow::AlphaBarChange() {
  RedrawParameterPreviews();
  FilterPreviewIfAuto();
}

void MainWindow::StartColorClick() { ChooseColour(StartColor); }
void MainWindow::EndColorClick() { ChooseColour(EndColor); }

void MainWindow::ChooseColour(ColourPanel* panel) {
  TCustomColourList stored = ReadCustomColours(settingsPath_);
  TCustomColours custom;
  for (int i = 0; i < CustomColourCount; ++i) custom[i] = ToQColor(stored[i]);
  const std::optional<QColor> chosen = host_.ChooseColour(this, ToQColor(panel->Colour()), custom);
  if (!chosen) return;
  panel->SetColour(FromQColor(*chosen));
  for (int i = 0; i < CustomColourCount; ++i) stored[i] = FromQColor(custom[i]);
  WriteCustomColours(settingsPath_, stored, nullptr);
  RedrawParameterPreviews();
  if (!ReadParams(true)) return;
  RequestPreview(PreviewKind::Filter);
}

void MainWindow::ColorFilterResetClick() {
  for (QSlider* s : {ColorFilter_SlopeR, ColorFilter_SlopeG, ColorFilter_SlopeB,
                     ColorFilter_Slopea, StartColorAlpha, EndColorAlpha})
    SetBar(s, 0);
  StartColor->SetColour(0x000000);
  EndColor->SetColour(0xFFFFFF);
  ReadParams(true);
  RedrawParameterPreviews();
  schedule_.RequestFilter();
}

void MainWindow::RedrawClick() {
  // The warp normalisation is fixed afresh, even when the read fails.
  preview_->ResetWarp();
  if (!ReadParams(false)) return;
  RequestPreview(PreviewKind::Full);
}

// Views of the engine's buffers as the last preview render left them.
void MainWindow::ShowCloudPenClick() { preview_->Submit(doc_, PreviewKind::ViewCloudPen); }
void MainWindow::ShowWarpPenRClick() { preview_->Submit(doc_, PreviewKind::ViewWarpPenR); }
void MainWindow::ShowWarpPenGClick() { preview_->Submit(doc_, PreviewKind::ViewWarpPenG); }
void MainWindow::ShowWarpPenBClick() { preview_->Submit(doc_, PreviewKind::ViewWarpPenB); }
void MainWindow::ShowBasePatternClick() { preview_->Submit(doc_, PreviewKind::ViewBasePattern); }
void MainWindow::ShowWarpTemplateClick() { preview_->Submit(doc_, PreviewKind::ViewWarpTemplate); }

void MainWindow::ConnectHandlers() {
  // The parameter controls: what a change renders again is the row's.
  const QWidget* last = nullptr;
  for (int i = 0; i < ParamCount; ++i) {
    const TParamInfo& row = kParamTable[i];
    QWidget* w = controls_[i];
    if (row.Form.Read < 0 || !w || w == last) continue;
    last = w;
    const TParamRedo redo = row.Form.Redo;
    switch (row.Control) {
      case TParamControl::TrackBar:
        connect(static_cast<QSlider*>(w), &QSlider::valueChanged, this,
                redo == TParamRedo::Full ? &MainWindow::FullRenderPreviewEvent
                                         : &MainWindow::FilterRenderPreviewEvent);
        break;
      case TParamControl::AlphaBar:
        connect(static_cast<QSlider*>(w), &QSlider::valueChanged, this,
                &MainWindow::AlphaBarChange);
        break;
      case TParamControl::ColourPanel: {
        auto* panel = static_cast<ColourPanel*>(w);
        connect(panel, &ColourPanel::clicked, this, [this, panel] { ChooseColour(panel); });
        break;
      }
      case TParamControl::IntegerEdit:
      case TParamControl::RealEdit: {
        const auto done = redo == TParamRedo::Full     ? &MainWindow::PositionEditDone
                          : redo == TParamRedo::Filter ? &MainWindow::BlurEditDone
                                                       : &MainWindow::SizeEditDone;
        connect(static_cast<QLineEdit*>(w), &QLineEdit::editingFinished, this, done);
        if (QWidget* second = controls2_[i])
          connect(static_cast<QLineEdit*>(second), &QLineEdit::editingFinished, this, done);
        break;
      }
      case TParamControl::CheckBox:
        connect(static_cast<QCheckBox*>(w), &QCheckBox::clicked, this,
                redo == TParamRedo::Full ? &MainWindow::CheckBoxFullRenderClick
                                         : &MainWindow::BlurEditDone);
        break;
      default:
        break;
    }
  }
  for (QRadioButton* r : {PileModeAdd, PileModeNorm, PileModeSub})
    connect(r, &QRadioButton::clicked, this, &MainWindow::PileModeClick);
  connect(Upper, &QCheckBox::clicked, this, &MainWindow::UpperClick);
  connect(DisplayTextureLayer, &QCheckBox::clicked, this,
          &MainWindow::DisplayTextureLayerClick);
  connect(AutoUpdate, &QCheckBox::clicked, this, &MainWindow::AutoUpdateClick);
  connect(ColorFilterReset, &QPushButton::clicked, this,
          &MainWindow::ColorFilterResetClick);
  connect(Redraw, &QPushButton::clicked, this, &MainWindow::RedrawClick);
  connect(ShowCloudPen, &QPushButton::clicked, this, &MainWindow::ShowCloudPenClick);
  connect(ShowWarpPenR, &QPushButton::clicked, this, &MainWindow::ShowWarpPenRClick);
  connect(ShowWarpPenG, &QPushButton::clicked, this, &MainWindow::ShowWarpPenGClick);
  connect(ShowWarpPenB, &QPushButton::clicked, this, &MainWindow::ShowWarpPenBClick);
  connect(ShowBasePattern, &QPushButton::clicked, this,
          &MainWindow::ShowBasePatternClick);
  connect(ShowWarpTemplate, &QPushButton::clicked, this,
          &MainWindow::ShowWarpTemplateClick);
  connect(PreviewRenderInterval, &QTimer::timeout, this,
          &MainWindow::PreviewRenderIntervalTimer);
  connect(ProgressTimer, &QTimer::timeout, this, &MainWindow::ProgressTimerTimer);
  ConnectProjectHandlers();
}
