// The main window's parameter controls: the binding to the frame record, the
// change handlers, the preview entry points and the debounce tick.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QVariant>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <optional>

#include "anim/FrameRender.h"
#include "anim/ProjectModel.h"
#include "app/MainWindow.h"
#include "app/StudioWidgets.h"
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

TFormState MainWindow::CollectForm() const {
  TFormState f;
  f.ResX = Text(ResX);
  f.ResY = Text(ResY);
  f.OverSampling = Text(OverSamplingEdBx);
  f.Seed = Text(Seed);
  f.PileMode = PileModeSub->isChecked() ? 1 : PileModeNorm->isChecked() ? 2 : 0;
  f.Upper = Upper->isChecked();
  f.Brightness = Brightness->value();
  f.Complex = Complex->value();
  f.Coverrate = Coverrate->value();
  f.MinRadius = MinRadius->value();
  f.MaxRadius = MaxRadius->value();
  f.wMinRadius = wMinRadius->value();
  f.wMaxRadius = wMaxRadius->value();
  f.WX = WX->value();
  f.WY = WY->value();
  f.Noise = Noise->value();
  f.wNoise = wNoise->value();
  f.StartColor = StartColor->Colour();
  f.StartColorAlpha = StartColorAlpha->value();
  f.EndColor = EndColor->Colour();
  f.EndColorAlpha = EndColorAlpha->value();
  f.SlopeR = ColorFilter_SlopeR->value();
  f.SlopeG = ColorFilter_SlopeG->value();
  f.SlopeB = ColorFilter_SlopeB->value();
  f.SlopeA = ColorFilter_Slopea->value();
  f.cx = Text(cxedbx);
  f.cy = Text(cyedbx);
  f.wx1 = Text(wx1edbx);
  f.wy1 = Text(wy1edbx);
  f.wx2 = Text(wx2edbx);
  f.wy2 = Text(wy2edbx);
  f.Center = centertrackbar->value();
  f.CenterReverse = centerreverse_chkbx->isChecked();
  f.ClipBrightness = ClipBrightnessChkBx->isChecked();
  f.BlurRadius = Text(BlurRadiusEdBx);
  f.BlurSamples = Text(BlurSamplesEdbx);
  f.BlurCurve = BlurCurveBar->value();
  f.BlurRotX = Text(BlurBrushRotXEdBx);
  f.BlurRotY = Text(BlurBrushRotYEdBx);
  f.BlurRotZ = Text(BlurBrushRotZEdBx);
  f.BlurDraft = BlurDraft->isChecked();
  return f;
}

void MainWindow::ApplyForm(const TFormState& f) {
  SetText(ResX, f.ResX);
  SetText(ResY, f.ResY);
  SetText(OverSamplingEdBx, f.OverSampling);
  textureresolution->setText(f.HasTexture ? tr("現在のテクスチャ画像解像度=%1x%2")
                                                .arg(f.TextureWidth)
                                                .arg(f.TextureHeight)
                                          : tr("テクスチャ画像なし"));
  SetText(Seed, f.Seed);
  SetCheck(f.PileMode == 1 ? PileModeSub : f.PileMode == 2 ? PileModeNorm : PileModeAdd, true);
  SetCheck(Upper, f.Upper);
  const std::pair<QSlider*, int32_t> bars[] = {
      {Brightness, f.Brightness},       {Complex, f.Complex},
      {Coverrate, f.Coverrate},         {MinRadius, f.MinRadius},
      {MaxRadius, f.MaxRadius},         {wMinRadius, f.wMinRadius},
      {wMaxRadius, f.wMaxRadius},       {WX, f.WX},
      {WY, f.WY},                       {Noise, f.Noise},
      {wNoise, f.wNoise},               {StartColorAlpha, f.StartColorAlpha},
      {EndColorAlpha, f.EndColorAlpha}, {ColorFilter_SlopeR, f.SlopeR},
      {ColorFilter_SlopeG, f.SlopeG},   {ColorFilter_SlopeB, f.SlopeB},
      {ColorFilter_Slopea, f.SlopeA},   {centertrackbar, f.Center},
      {BlurCurveBar, f.BlurCurve},
  };
  for (const auto& [bar, v] : bars) SetBar(bar, v);
  StartColor->SetColour(f.StartColor);
  EndColor->SetColour(f.EndColor);
  SetText(cxedbx, f.cx);
  SetText(cyedbx, f.cy);
  SetText(wx1edbx, f.wx1);
  SetText(wy1edbx, f.wy1);
  SetText(wx2edbx, f.wx2);
  SetText(wy2edbx, f.wy2);
  SetCheck(centerreverse_chkbx, f.CenterReverse);
  SetCheck(ClipBrightnessChkBx, f.ClipBrightness);
  SetText(BlurRadiusEdBx, f.BlurRadius);
  SetText(BlurSamplesEdbx, f.BlurSamples);
  SetText(BlurBrushRotXEdBx, f.BlurRotX);
  SetText(BlurBrushRotYEdBx, f.BlurRotY);
  SetText(BlurBrushRotZEdBx, f.BlurRotZ);
  SetCheck(BlurDraft, f.BlurDraft);
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
  for (QSlider* s : {Complex, Coverrate, MinRadius, MaxRadius, wMinRadius, wMaxRadius, Noise,
                     wNoise, WX, WY, centertrackbar})
    connect(s, &QSlider::valueChanged, this, &MainWindow::FullRenderPreviewEvent);
  for (QSlider* s : {Brightness, ColorFilter_SlopeR, ColorFilter_SlopeG, ColorFilter_SlopeB,
                     ColorFilter_Slopea, BlurCurveBar})
    connect(s, &QSlider::valueChanged, this, &MainWindow::FilterRenderPreviewEvent);
  for (QSlider* s : {StartColorAlpha, EndColorAlpha})
    connect(s, &QSlider::valueChanged, this, &MainWindow::AlphaBarChange);
  for (QCheckBox* c : {centerreverse_chkbx, ClipBrightnessChkBx})
    connect(c, &QCheckBox::clicked, this, &MainWindow::CheckBoxFullRenderClick);
  for (QRadioButton* r : {PileModeAdd, PileModeNorm, PileModeSub})
    connect(r, &QRadioButton::clicked, this, &MainWindow::PileModeClick);
  connect(Upper, &QCheckBox::clicked, this, &MainWindow::UpperClick);
  connect(DisplayTextureLayer, &QCheckBox::clicked, this,
          &MainWindow::DisplayTextureLayerClick);
  for (QLineEdit* e : {Seed, cxedbx, cyedbx, wx1edbx, wy1edbx, wx2edbx, wy2edbx})
    connect(e, &QLineEdit::editingFinished, this, &MainWindow::PositionEditDone);
  for (QLineEdit* e : {ResX, ResY, OverSamplingEdBx})
    connect(e, &QLineEdit::editingFinished, this, &MainWindow::SizeEditDone);
  for (QLineEdit* e : {BlurRadiusEdBx, BlurSamplesEdbx, BlurBrushRotXEdBx, BlurBrushRotYEdBx,
                       BlurBrushRotZEdBx})
    connect(e, &QLineEdit::editingFinished, this, &MainWindow::BlurEditDone);
  connect(BlurDraft, &QCheckBox::clicked, this, &MainWindow::BlurEditDone);
  connect(AutoUpdate, &QCheckBox::clicked, this, &MainWindow::AutoUpdateClick);
  connect(StartColor, &ColourPanel::clicked, this, &MainWindow::StartColorClick);
  connect(EndColor, &ColourPanel::clicked, this, &MainWindow::EndColorClick);
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
