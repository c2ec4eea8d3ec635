// The main window: its controls, menus and timers, start-up and shutdown.
#include "app/MainWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>
#include <type_traits>

#include "anim/FrameRender.h"
#include "anim/ProjectModel.h"
#include "app/OutputSection.h"
#include "app/StudioWidgets.h"
#include "base/ProgramFiles.h"
#include "output/Settings.h"
#include "output/WindowSettings.h"
#include "render/Render.h"

using namespace velmora;

namespace {

constexpr int kPreviewSize = 128;
constexpr int kFilterPreviewWidth = 136;
constexpr int kFilterPreviewHeight = 44;
constexpr int kBlurSampleSize = 64;
constexpr int kRowHeight = 20;

template <typename W>
W* Named(W* w, const char* name, const QString& hint = QString()) {
  w->setObjectName(QString::fromLatin1(name));
  if constexpr (std::is_base_of_v<QWidget, W>) {
    if (!hint.isEmpty()) w->setToolTip(hint);
  }
  return w;
}

QGridLayout* CompactGrid(QWidget* owner) {
  auto* g = new QGridLayout(owner);
  g->setContentsMargins(4, 2, 4, 2);
  g->setHorizontalSpacing(4);
  g->setVerticalSpacing(1);
  return g;
}

}  // namespace

MainWindow::MainWindow(DialogHost& host, std::string settingsPath,
                                         QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint),
      host_(host),
      settingsPath_(std::move(settingsPath)) {
  setObjectName(QStringLiteral("InternalCloudMaker"));
  setWindowTitle(ProductName());
  QFont f = font();
  f.setPointSize(9);
  setFont(f);

  // Module start: the preview images sized to their paint boxes.
  previewImage_.SetSize(kPreviewSize, kPreviewSize);
  filterImage_.SetSize(kFilterPreviewWidth, kFilterPreviewHeight);
  blurImage_.SetSize(kBlurSampleSize, kBlurSampleSize);
  // The session's pictures and messages come from its worker thread: they
  // reach the window as queued calls (dropped once the window is gone).
  PreviewSession::Hooks previewHooks;
  previewHooks.Ready = [this] {
    QMetaObject::invokeMethod(this, [this] { DrawPreview(); }, Qt::QueuedConnection);
  };
  previewHooks.Message = [this](const std::string& text) {
    QMetaObject::invokeMethod(
        this, [this, text] { host_.Message(this, QString::fromStdString(text)); },
        Qt::QueuedConnection);
  };
  preview_ = std::make_unique<PreviewSession>(std::move(previewHooks));

  BuildControls();
  BindControls();
  BuildMenus();
  ConnectHandlers();
  BuildEditorActions();
  ApplyToolTips();
  FitNumberFields();

  hooks_.ShowParams = [this](const TCloudFrameParams& p) { ShowParams(p); };
  hooks_.RedrawFilterPreview = [this] { RedrawParameterPreviews(); };
  hooks_.RequestFullPreview = [this] { schedule_.RequestFull(); };
  hooks_.DrawPreview = [this] { DrawPreview(); };
  Abort->setEnabled(false);
  OutPutFilenChange();
}

MainWindow::~MainWindow() {
  // Closing moves the focus out of an edit, which would finish it: nothing
  // may reach this half-destroyed window any more.
  for (QObject* c : centralWidget()->findChildren<QObject*>()) {
    c->disconnect(this);
    c->removeEventFilter(this);
  }
  PreviewRenderInterval->stop();
  ProgressTimer->stop();
  hooks_ = TWindowHooks{};
  preview_.reset();  // joins the worker before the widgets go
}

void MainWindow::WaitForPreview() {
  preview_->WaitIdle();
  DrawPreview();
}

QString MainWindow::ProductName() const {
  return tr("簡易雲模様動画生成～べるもら～");
}

void MainWindow::BuildControls() {
  auto* central = new QWidget(this);
  central->setFixedSize(ClientWidth, ClientHeight);
  setCentralWidget(central);
  auto* top = new QVBoxLayout(central);
  top->setContentsMargins(4, 4, 4, 4);
  top->setSpacing(2);
  auto* columns = new QHBoxLayout;
  columns->setSpacing(4);
  top->addLayout(columns, 1);

  const auto bar = [this](const char* name, const TTrackBarScale& s,
                          Qt::Orientation o = Qt::Horizontal) {
    auto* b = Named(new QSlider(o, this), name);
    b->setRange(s.Min, s.Max);
    if (o == Qt::Horizontal) b->setFixedHeight(18);
    return b;
  };
  const auto edit = [this](const char* name, int width, const QString& hint = QString()) {
    auto* e = Named(new QLineEdit(this), name, hint);
    e->setFixedWidth(width);
    e->setFixedHeight(kRowHeight);
    return e;
  };
  const auto check = [this](const char* name, const QString& caption) {
    return Named(new QCheckBox(caption, this), name);
  };
  const auto button = [this](const char* name, const QString& caption) {
    auto* b = Named(new QPushButton(caption, this), name);
    b->setFixedHeight(kRowHeight + 2);
    return b;
  };
  const auto label = [this](const QString& text) { return new QLabel(text, this); };

  // Preview column.
  auto* previewCol = new QVBoxLayout;
  previewCol->setSpacing(2);
  columns->addLayout(previewCol);
  Bevel1 = Named(new QFrame(this), "Bevel1");
  Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
  Bevel1->setFixedSize(kPreviewSize + 4, kPreviewSize + 4);
  auto* bevelLayout = new QVBoxLayout(Bevel1);
  bevelLayout->setContentsMargins(2, 2, 2, 2);
  INternalCloudPreview = Named(new PaintBox(&previewImage_, Bevel1), "INternalCloudPreview",
                               tr("プレビュー画面です"));
  INternalCloudPreview->setFixedSize(kPreviewSize, kPreviewSize);
  bevelLayout->addWidget(INternalCloudPreview);
  previewCol->addWidget(Bevel1, 0, Qt::AlignHCenter);
  AutoUpdate = check("AutoUpdate", tr("自動更新"));
  AutoUpdate->setToolTip(
      tr("プレビュー画面を自動更新します。ＣＰＵパワーがないと操作しにくくなります"));
  Redraw = button("Redraw", tr("再描画"));
  auto* autoRow = new QHBoxLayout;
  autoRow->addWidget(AutoUpdate);
  autoRow->addWidget(Redraw);
  previewCol->addLayout(autoRow);
  auto* views = new QGridLayout;
  views->setSpacing(1);
  ShowCloudPen = button("ShowCloudPen", QStringLiteral("CloudPen"));
  ShowWarpPenR = button("ShowWarpPenR", QStringLiteral("WPenR"));
  ShowWarpPenG = button("ShowWarpPenG", QStringLiteral("WPenG"));
  ShowWarpPenB = button("ShowWarpPenB", QStringLiteral("WPenB"));
  ShowBasePattern = button("ShowBasePattern", QStringLiteral("BasePat"));
  ShowWarpTemplate = button("ShowWarpTemplate", QStringLiteral("WarpTmp"));
  QPushButton* viewButtons[] = {ShowCloudPen, ShowWarpPenR,    ShowWarpPenG,
                                ShowWarpPenB, ShowBasePattern, ShowWarpTemplate};
  for (int i = 0; i < 6; ++i) {
    viewButtons[i]->setFixedWidth(56);
    QFont small = viewButtons[i]->font();
    small.setPointSize(8);
    viewButtons[i]->setFont(small);
    views->addWidget(viewButtons[i], i / 3, i % 3);
  }
  previewCol->addLayout(views);
  ColorFilterPreview = Named(new PaintBox(&filterImage_, this), "ColorFilterPreview",
                             tr("カラーフィルタの状態です。上のグラデーションをしたのグラデーションに置き換えます"));
  ColorFilterPreview->setFixedSize(kFilterPreviewWidth, kFilterPreviewHeight);
  previewCol->addWidget(ColorFilterPreview, 0, Qt::AlignHCenter);
  auto* blurRow = new QHBoxLayout;
  BlurCurveSample = Named(new PaintBox(&blurImage_, this), "BlurCurveSample");
  BlurCurveSample->setFixedSize(kBlurSampleSize, kBlurSampleSize);
  blurRow->addWidget(BlurCurveSample);
  blurRow->addStretch(1);
  previewCol->addLayout(blurRow);
  previewCol->addStretch(1);

  // Cloud pattern.
  auto* cloudBox = new QGroupBox(tr("雲模様"), this);
  auto* cg = CompactGrid(cloudBox);
  sections_[static_cast<size_t>(TParamSection::Cloud)] = cg;
  Seed = edit("Seed", 90);
  cg->addWidget(label(tr("ランダムシード")), 0, 0);
  cg->addWidget(Seed, 0, 1, Qt::AlignLeft);
  Brightness = bar("Brightness", TrackBarOf(ccBrightness));
  Complex = bar("Complex", TrackBarOf(ccComplex));
  Coverrate = bar("Coverrate", TrackBarOf(ccCoverrate));
  MinRadius = bar("MinRadius", TrackBarOf(ccMinRadius));
  MaxRadius = bar("MaxRadius", TrackBarOf(ccMaxRadius));
  Noise = bar("Noise", TrackBarOf(ccNoise));
  centertrackbar = bar("centertrackbar", TrackBarOf(ccCenter));
  const std::pair<QString, QSlider*> cloudBars[] = {
      {tr("明るさ"), Brightness},       {tr("複雑さ"), Complex},
      {tr("雲の量"), Coverrate},        {tr("最小サイズ"), MinRadius},
      {tr("最大サイズ"), MaxRadius},    {tr("ノイズ"), Noise},
      {tr("中央寄せ"), centertrackbar},
  };
  int row = 1;
  for (const auto& [caption, b] : cloudBars) {
    cg->addWidget(label(caption), row, 0);
    cg->addWidget(b, row++, 1);
  }
  centerreverse_chkbx = check("centerreverse_chkbx", tr("中心分布反転"));
  ClipBrightnessChkBx = check("ClipBrightnessChkBx", tr("明るさをクリップ"));
  cg->addWidget(centerreverse_chkbx, row++, 0, 1, 2);
  cg->addWidget(ClipBrightnessChkBx, row++, 0, 1, 2);
  const QString positionHint = tr("雲模様の位置。小数部のみ意味をもち、画面端はループ。");
  cxedbx = edit("cxedbx", 60, positionHint);
  cyedbx = edit("cyedbx", 60, positionHint);
  auto* cpos = new QHBoxLayout;
  cpos->addWidget(cxedbx);
  cpos->addWidget(cyedbx);
  cpos->addStretch(1);
  // The position edits take a row of their own: wide enough for 0.6666667.
  cg->addWidget(label(tr("雲位置 X Y")), row++, 0, 1, 2);
  cg->addLayout(cpos, row++, 0, 1, 2);
  cg->setRowStretch(row, 1);
  auto* cloudCol = new QVBoxLayout;
  cloudCol->setSpacing(2);
  cloudCol->addWidget(cloudBox);
  columns->addLayout(cloudCol);

  // Progress of an export: the gauges, frames done of all, the files written.
  auto* progressBox = new QGroupBox(tr("進行状況"), this);
  auto* pg = CompactGrid(progressBox);
  TProgressBar = Named(new QProgressBar(this), "TProgressBar");
  IProgressBar = Named(new QProgressBar(this), "IProgressBar");
  PixeProgressBar = Named(new QProgressBar(this), "PixeProgressBar");
  for (QProgressBar* g : {TProgressBar, IProgressBar, PixeProgressBar}) {
    g->setRange(0, 100);
    g->setValue(0);
    g->setTextVisible(false);
    g->setFixedHeight(10);
  }
  doneframe = Named(label(QStringLiteral("0")), "doneframe");
  tolframe = Named(label(QStringLiteral("0")), "tolframe");
  auto* frames = new QHBoxLayout;
  frames->addWidget(TProgressBar, 1);
  frames->addWidget(doneframe);
  frames->addWidget(label(QStringLiteral("/")));
  frames->addWidget(tolframe);
  pg->addWidget(label(tr("全体進行")), 0, 0);
  pg->addLayout(frames, 0, 1);
  pg->addWidget(label(tr("フレーム内進行")), 1, 0);
  pg->addWidget(IProgressBar, 1, 1);
  pg->addWidget(PixeProgressBar, 2, 1);
  savefilename = Named(label(QString()), "savefilename");
  savealphaname = Named(label(QString()), "savealphaname");
  pg->addWidget(savefilename, 3, 0, 1, 2);
  pg->addWidget(savealphaname, 4, 0, 1, 2);
  cloudCol->addWidget(progressBox);
  cloudCol->addStretch(1);
  for (QWidget* w : {static_cast<QWidget*>(cloudBox), static_cast<QWidget*>(progressBox)})
    w->setFixedWidth(215);

  // Warp and colour filter.
  auto* midCol = new QVBoxLayout;
  midCol->setSpacing(2);
  columns->addLayout(midCol);
  auto* warpBox = new QGroupBox(tr("歪み"), this);
  auto* wg = CompactGrid(warpBox);
  sections_[static_cast<size_t>(TParamSection::Warp)] = wg;
  wMinRadius = bar("wMinRadius", TrackBarOf(ccWMinRadius));
  wMaxRadius = bar("wMaxRadius", TrackBarOf(ccWMaxRadius));
  wNoise = bar("wNoise", TrackBarOf(ccWNoise));
  WX = bar("WX", TrackBarOf(ccWX));
  WY = bar("WY", TrackBarOf(ccWY));
  const std::pair<QString, QSlider*> warpBars[] = {
      {tr("最小サイズ"), wMinRadius}, {tr("最大サイズ"), wMaxRadius}, {tr("ノイズ"), wNoise},
      {tr("Ｘ方向歪み"), WX},         {tr("Ｙ方向歪み"), WY},
  };
  row = 0;
  for (const auto& [caption, b] : warpBars) {
    wg->addWidget(label(caption), row, 0);
    wg->addWidget(b, row++, 1);
  }
  wx1edbx = edit("wx1edbx", 70);
  wy1edbx = edit("wy1edbx", 70);
  wx2edbx = edit("wx2edbx", 70);
  wy2edbx = edit("wy2edbx", 70);
  const std::tuple<QString, QLineEdit*, QLineEdit*> warpPositions[] = {
      {tr("歪1位置"), wx1edbx, wy1edbx}, {tr("歪2位置"), wx2edbx, wy2edbx}};
  for (const auto& [caption, x, y] : warpPositions) {
    auto* r = new QHBoxLayout;
    r->addWidget(x);
    r->addWidget(y);
    r->addStretch(1);
    wg->addWidget(label(caption), row, 0);
    wg->addLayout(r, row++, 1);
  }
  midCol->addWidget(warpBox);

  auto* filterBox = new QGroupBox(tr("カラーフィルタ"), this);
  auto* fg = CompactGrid(filterBox);
  sections_[static_cast<size_t>(TParamSection::Filter)] = fg;
  StartColor = Named(new ColourPanel(this), "StartColor");
  EndColor = Named(new ColourPanel(this), "EndColor");
  StartColorAlpha = bar("StartColorAlpha", AlphaBar, Qt::Vertical);
  EndColorAlpha = bar("EndColorAlpha", AlphaBar, Qt::Vertical);
  for (QSlider* a : {StartColorAlpha, EndColorAlpha}) {
    a->setInvertedAppearance(true);
    a->setFixedHeight(48);
  }
  for (ColourPanel* p : {StartColor, EndColor}) p->setFixedSize(36, 36);
  auto* colours = new QHBoxLayout;
  colours->addWidget(label(tr("開始色")));
  colours->addWidget(StartColor);
  colours->addWidget(StartColorAlpha);
  colours->addSpacing(8);
  colours->addWidget(label(tr("終了色")));
  colours->addWidget(EndColor);
  colours->addWidget(EndColorAlpha);
  colours->addStretch(1);
  fg->addLayout(colours, 0, 0, 1, 2);
  ColorFilter_SlopeR = bar("ColorFilter_SlopeR", TrackBarOf(ccSlopeR));
  ColorFilter_SlopeG = bar("ColorFilter_SlopeG", TrackBarOf(ccSlopeG));
  ColorFilter_SlopeB = bar("ColorFilter_SlopeB", TrackBarOf(ccSlopeB));
  ColorFilter_Slopea = bar("ColorFilter_Slopea", TrackBarOf(ccSlopeA));
  const std::pair<QString, QSlider*> slopes[] = {{tr("赤勾配"), ColorFilter_SlopeR},
                                                 {tr("緑勾配"), ColorFilter_SlopeG},
                                                 {tr("青勾配"), ColorFilter_SlopeB},
                                                 {tr("α勾配"), ColorFilter_Slopea}};
  row = 1;
  for (const auto& [caption, b] : slopes) {
    fg->addWidget(label(caption), row, 0);
    fg->addWidget(b, row++, 1);
  }
  ColorFilterReset = button("ColorFilterReset", tr("勾配リセット"));
  fg->addWidget(ColorFilterReset, row, 1, Qt::AlignRight);
  midCol->addWidget(filterBox);
  midCol->addStretch(1);

  // Blur, texture and output.
  auto* rightCol = new QVBoxLayout;
  rightCol->setSpacing(2);
  columns->addLayout(rightCol, 1);
  auto* blurBox = new QGroupBox(tr("ぼかし"), this);
  auto* bg = CompactGrid(blurBox);
  sections_[static_cast<size_t>(TParamSection::Blur)] = bg;
  BlurRadiusEdBx = edit("BlurRadiusEdBx", 60, tr("画面幅を１とするぼかし半径"));
  BlurSamplesEdbx =
      edit("BlurSamplesEdbx", 50, tr("ぼかしサンプル数（整数）。数に比例して処理は重くなる"));
  BlurCurveBar = bar("BlurCurveBar", TrackBarOf(ccBlurCurve));
  BlurBrushRotXEdBx = edit("BlurBrushRotXEdBx", 50);
  BlurBrushRotYEdBx = edit("BlurBrushRotYEdBx", 50);
  BlurBrushRotZEdBx = edit("BlurBrushRotZEdBx", 50);
  BlurDraft = check("BlurDraft", tr("ドラフト"));
  auto* blurTop = new QHBoxLayout;
  blurTop->addWidget(label(tr("半径")));
  blurTop->addWidget(BlurRadiusEdBx);
  blurTop->addWidget(label(tr("サンプル数")));
  blurTop->addWidget(BlurSamplesEdbx);
  blurTop->addWidget(BlurDraft);
  blurTop->addStretch(1);
  bg->addLayout(blurTop, 0, 0, 1, 2);
  bg->addWidget(label(tr("ブラシ勾配")), 1, 0);
  bg->addWidget(BlurCurveBar, 1, 1);
  auto* rot = new QHBoxLayout;
  for (QLineEdit* e : {BlurBrushRotXEdBx, BlurBrushRotYEdBx, BlurBrushRotZEdBx}) rot->addWidget(e);
  rot->addStretch(1);
  bg->addWidget(label(tr("回転 X Y Z")), 2, 0);
  bg->addLayout(rot, 2, 1);
  rightCol->addWidget(blurBox);

  auto* textureBox = new QGroupBox(tr("テクスチャ"), this);
  auto* tg = CompactGrid(textureBox);
  PileModeAdd = Named(new QRadioButton(tr("加法混色"), this), "PileModeAdd");
  PileModeNorm = Named(new QRadioButton(tr("中間混色"), this), "PileModeNorm");
  PileModeSub = Named(new QRadioButton(tr("減法混色"), this), "PileModeSub");
  PileModeAdd->setChecked(true);
  Upper = check("Upper", tr("テクスチャ画像の上に合成"));
  DisplayTextureLayer = check("DisplayTextureLayer", tr("テクスチャ画像表示"));
  textureresolution = Named(label(tr("テクスチャ画像なし")), "textureresolution");
  tg->addWidget(PileModeAdd, 0, 0);
  tg->addWidget(PileModeNorm, 0, 1);
  tg->addWidget(PileModeSub, 0, 2);
  tg->addWidget(Upper, 1, 0, 1, 3);
  tg->addWidget(DisplayTextureLayer, 2, 0, 1, 3);
  // A row of its own: "現在のテクスチャ画像解像度=1024x768" needs the box's width.
  tg->addWidget(textureresolution, 3, 0, 1, 3);
  rightCol->addWidget(textureBox);

  auto* outBox = new QGroupBox(tr("出力"), this);
  auto* og = CompactGrid(outBox);
  sections_[static_cast<size_t>(TParamSection::Output)] = og;
  ResX = edit("ResX", 50, tr("雲画像の幅(ピクセル）です。もちろん整数"));
  ResY = edit("ResY", 50);
  OverSamplingEdBx =
      edit("OverSamplingEdBx", 30, tr("オーバーサンプリング倍率。当然整数　１以下はオーバーサンプリング無し。"));
  auto* sizeRow = new QHBoxLayout;
  sizeRow->addWidget(ResX);
  sizeRow->addWidget(label(QStringLiteral("x")));
  sizeRow->addWidget(ResY);
  sizeRow->addWidget(label(tr("倍率")));
  sizeRow->addWidget(OverSamplingEdBx);
  sizeRow->addStretch(1);
  og->addWidget(label(tr("解像度")), 0, 0);
  og->addLayout(sizeRow, 0, 1, 1, 2);
  OutPutFilen = Named(new QLineEdit(this), "OutPutFilen");
  OutPutAlpha = Named(new QLineEdit(this), "OutPutAlpha");
  ReferOutPut = button("ReferOutPut", tr("参照"));
  ReferOutPutAlpha = button("ReferOutPutAlpha", tr("参照"));
  for (QLineEdit* e : {OutPutFilen, OutPutAlpha}) e->setFixedHeight(kRowHeight);
  for (QPushButton* b : {ReferOutPut, ReferOutPutAlpha}) b->setFixedWidth(44);
  og->addWidget(label(tr("動画")), 1, 0);
  og->addWidget(OutPutFilen, 1, 1);
  og->addWidget(ReferOutPut, 1, 2);
  og->addWidget(label(tr("α動画")), 2, 0);
  og->addWidget(OutPutAlpha, 2, 1);
  og->addWidget(ReferOutPutAlpha, 2, 2);
  FromCurrentFrame = check("FromCurrentFrame", tr("現在のフレームから作画"));
  og->addWidget(FromCurrentFrame, 3, 0, 1, 3);
  SavePicture = button("SavePicture", tr("画像として保存..."));
  SaveMovie = button("SaveMovie", tr("動画として保存..."));
  auto* saveRow = new QHBoxLayout;
  saveRow->addWidget(SavePicture);
  saveRow->addWidget(SaveMovie);
  og->addLayout(saveRow, 4, 0, 1, 3);
  rightCol->addWidget(outBox);
  rightCol->addStretch(1);

  // Timeline, keys, gauges and the closing buttons.
  auto* timeRow = new QHBoxLayout;
  timeRow->setSpacing(4);
  timeRow->addWidget(label(tr("時間軸")));
  TimeLine = bar("TimeLine", TTrackBarScale{0, 120, 1});
  TimeLine->setTickPosition(QSlider::TicksBelow);
  TimeLine->setTickInterval(12);
  TimeLine->setFixedHeight(kRowHeight + 2);
  timeRow->addWidget(TimeLine, 1);
  CurFrame = edit("CurFrame", 50);
  MaxFrame = edit("MaxFrame", 50);
  timeRow->addWidget(label(tr("現在フレーム")));
  timeRow->addWidget(CurFrame);
  timeRow->addWidget(label(tr("最終フレーム")));
  timeRow->addWidget(MaxFrame);
  top->addLayout(timeRow);

  auto* keyRow = new QHBoxLayout;
  keyRow->setSpacing(4);
  PrevKey = button("PrevKey", tr("前のキーを含む時刻へ"));
  NextKey = button("NextKey", tr("次のキーを含む時刻へ"));
  DeleteKeys = button("DeleteKeys", tr("現在全要素のキー削除"));
  Button2 = button("Button2", tr("現在全要素にキーを作成"));
  for (QPushButton* b : {PrevKey, NextKey, DeleteKeys, Button2}) keyRow->addWidget(b);
  keyRow->addStretch(1);
  Okey = button("Okey", tr("終了"));
  Okey->setToolTip(tr("終了します"));
  Cancel = button("Cancel", tr("キャンセル"));
  Cancel->setToolTip(tr("設定をキャンセルします"));
  keyRow->addWidget(Okey);
  keyRow->addWidget(Cancel);
  top->addLayout(keyRow);

  Abort = button("Abort", tr("作画中止（動画ファイルは作画が完了したフレームまで正常に出力されます。多分）"));
  top->addWidget(Abort);

  PreviewRenderInterval = Named(new QTimer(this), "PreviewRenderInterval");
  PreviewRenderInterval->setInterval(PreviewTimerIntervalMs);
  ProgressTimer = Named(new QTimer(this), "ProgressTimer");
  ProgressTimer->setInterval(100);
}

void MainWindow::BuildMenus() {
  fileMenu_ = menuBar()->addMenu(tr("ファイル(&F)"));
  fileMenu_->setObjectName(QStringLiteral("File1"));
  const auto item = [this](QMenu* menu, const char* name, const QString& caption) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    return a;
  };
  New1 = item(fileMenu_, "New1", tr("新規作成(&N)"));
  Open1 = item(fileMenu_, "Open1", tr("開く(&O)"));
  O1 = item(fileMenu_, "O1", tr("上書き保存(&O)"));
  SaveAs1 = item(fileMenu_, "SaveAs1", tr("名前を付けて保存(&A)"));
  // The example projects that come with the program, each opened as Open does.
  QMenu* examples = fileMenu_->addMenu(tr("サンプル(&E)"));
  examples->setObjectName(QStringLiteral("Examples1"));
  if (const auto folder = velmora::FindExamplesFolder(velmora::ProgramFolder(nullptr)))
    for (const auto& project : velmora::ListExampleProjects(*folder)) {
      const QString path = QString::fromStdString(project.string());
      connect(examples->addAction(QString::fromStdString(project.stem().string())),
              &QAction::triggered, this, [this, path] { OpenProject(path); });
    }
  examples->setEnabled(!examples->isEmpty());
  fileMenu_->addSeparator();
  OpenTexture1 = item(fileMenu_, "OpenTexture1", tr("テクスチャ画像を開く..."));
  RemoveTexture1 = item(fileMenu_, "RemoveTexture1", tr("テクスチャ画像を外す"));
  RemoveTexture1->setEnabled(false);
  connect(OpenTexture1, &QAction::triggered, this, &MainWindow::OpenTexture1Click);
  connect(RemoveTexture1, &QAction::triggered, this, &MainWindow::RemoveTexture1Click);
  fileMenu_->addSeparator();
  Exit1 = item(fileMenu_, "Exit1", tr("終了(&X)"));
  settingsMenu_ = menuBar()->addMenu(tr("設定(&S)"));
  settingsMenu_->setObjectName(QStringLiteral("Settings1"));
  JPEG1 = item(settingsMenu_, "JPEG1", tr("JPEG出力設定(&J)"));
  AVIA1 = item(settingsMenu_, "AVIA1", tr("AVI出力設定(&A)"));
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_) return;
  shown_ = true;
  // Back where it was last closed, when that place is still on a screen.
  if (const auto p = ReadWindowPosition(settingsPath_);
      p && QGuiApplication::screenAt(QPoint(p->Left + 40, p->Top + 20)))
    move(p->Left, p->Top);
  setFixedSize(sizeHint().width() > ClientWidth ? sizeHint().width() : ClientWidth,
               ClientHeight + menuBar()->sizeHint().height());
  FormShow();
}

void MainWindow::FormShow() {
  doc_.New(hooks_);
  StartDocument();
  ShowProjectModel();
  RedrawParameterPreviews();
  doc_.Params.PreviewWidth = INternalCloudPreview->width();
  doc_.Params.PreviewHeight = INternalCloudPreview->height();
  AutoUpdate->setChecked(ReadPreviewAutoUpdate(settingsPath_));
  RequestPreview(PreviewKind::Full);
  PreviewRenderInterval->start();
  ProgressTimer->start();
}

void MainWindow::UpdateCaption() {
  const QString name = QFileInfo(QString::fromStdString(doc_.Model.ProjectFileName)).fileName();
  // "*" after the name: the document has changes that are not saved.
  setWindowTitle(name + (doc_.Modified() ? QStringLiteral("*") : QString()) +
                 QStringLiteral(" - ") + ProductName());
}

void MainWindow::DisableAllControls() {
  for (QWidget* w : centralWidget()->findChildren<QWidget*>())
    if (!w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_")))
      w->setEnabled(false);
}

void MainWindow::EnableAllControls() {
  for (QWidget* w : centralWidget()->findChildren<QWidget*>())
    if (!w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_")))
      w->setEnabled(true);
}
