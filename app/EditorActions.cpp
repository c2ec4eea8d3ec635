// What the main window does as a desktop editor: the undo history and its
// Edit menu, the modified mark and the question before unsaved changes are
// dropped, the standard shortcuts, the recent projects, projects dropped on
// the window, the remembered window position and the controls' tooltips.
#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QUrl>
#include <cmath>
#include <string_view>

#include "anim/ParamTable.h"
#include "app/MainWindow.h"
#include "app/StudioWidgets.h"
#include "output/WindowSettings.h"
#include "project/ProjectWords.h"

using namespace velmora;

namespace {

// The project file of a drop: one local file ending in .vlm.
QString DroppedProject(const QMimeData* mime) {
  if (!mime || !mime->hasUrls() || mime->urls().size() != 1) return QString();
  const QUrl url = mime->urls().first();
  if (!url.isLocalFile()) return QString();
  const QString path = url.toLocalFile();
  return path.endsWith(QLatin1String(".vlm"), Qt::CaseInsensitive) ? path : QString();
}

bool IsUndoKey(const QKeyEvent* k) { return k->matches(QKeySequence::Undo); }

bool IsRedoKey(const QKeyEvent* k) {
  return k->matches(QKeySequence::Redo) ||
         k->keyCombination() == QKeyCombination(Qt::ControlModifier, Qt::Key_Y) ||
         k->keyCombination() ==
             QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Z);
}

QString Number(double v) { return QString::number(v, 'g', 10); }

}  // namespace

void MainWindow::BuildEditorActions() {
  New1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
  Open1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  O1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  SaveAs1->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  Exit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

  Recent1 = new QMenu(tr("最近使ったプロジェクト(&R)"), this);
  Recent1->setObjectName(QStringLiteral("Recent1"));
  fileMenu_->insertMenu(Exit1, Recent1);
  fileMenu_->insertSeparator(Exit1);
  connect(Recent1, &QMenu::aboutToShow, this, &MainWindow::FillRecentMenu);
  FillRecentMenu();

  editMenu_ = new QMenu(tr("編集(&E)"), this);
  editMenu_->setObjectName(QStringLiteral("Edit1"));
  menuBar()->insertMenu(settingsMenu_->menuAction(), editMenu_);
  Undo1 = editMenu_->addAction(tr("元に戻す(&U)"));
  Undo1->setObjectName(QStringLiteral("Undo1"));
  Undo1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  Redo1 = editMenu_->addAction(tr("やり直し(&R)"));
  Redo1->setObjectName(QStringLiteral("Redo1"));
  Redo1->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
                       QKeySequence(Qt::CTRL | Qt::Key_Y)});
  connect(Undo1, &QAction::triggered, this, &MainWindow::Undo1Click);
  connect(Redo1, &QAction::triggered, this, &MainWindow::Redo1Click);

  // The points where a change is finished and becomes one undo step.  They
  // are connected after the handlers, which have read the controls by then.
  const auto commit = [this] { CommitChange(); };
  for (QSlider* s : centralWidget()->findChildren<QSlider*>()) {
    if (s == TimeLine) continue;
    connect(s, &QSlider::sliderReleased, this, commit);
    // Keys and the wheel move a slider without a drag: each move is a step.
    connect(s, &QSlider::valueChanged, this, [this, s] {
      if (!s->isSliderDown()) CommitChange();
    });
  }
  for (QLineEdit* e : centralWidget()->findChildren<QLineEdit*>()) {
    connect(e, &QLineEdit::editingFinished, this, [this, e] {
      e->setModified(false);
      CommitChange();
    });
    // Undo keys in an edit whose text is not being changed act on the document.
    e->installEventFilter(this);
  }
  for (QAbstractButton* b : centralWidget()->findChildren<QAbstractButton*>())
    connect(b, &QAbstractButton::clicked, this, commit);
  for (ColourPanel* p : {StartColor, EndColor}) connect(p, &ColourPanel::clicked, this, commit);
  setAcceptDrops(true);
  UpdateEditActions();
}

void MainWindow::UpdateEditActions() {
  Undo1->setEnabled(history_.CanUndo());
  Redo1->setEnabled(history_.CanRedo());
}

void MainWindow::CommitChange() {
  if (!shown_ || ExportRunning()) return;
  if (history_.Commit(doc_)) SyncModified();
  UpdateEditActions();
}

void MainWindow::SyncModified() {
  if (history_.Modified())
    doc_.MarkModified();
  else
    doc_.MarkSaved();
  UpdateCaption();
}

void MainWindow::StartDocument() {
  history_.Reset(doc_);
  doc_.MarkSaved();
  UpdateEditActions();
  ClearProgressPanel();
}

void MainWindow::ClearProgressPanel() {
  for (QProgressBar* g : {TProgressBar, IProgressBar, PixeProgressBar}) g->setValue(0);
  doneframe->setText(QStringLiteral("0"));
  tolframe->setText(QStringLiteral("0"));
  savefilename->clear();
  savealphaname->clear();
}

void MainWindow::Undo1Click() {
  if (ExportRunning()) return;
  // An edit still being typed is finished first, so that it is undone too.
  if (auto* e = qobject_cast<QLineEdit*>(focusWidget()); e && e->isModified()) {
    e->setModified(false);
    emit e->editingFinished();
  }
  if (history_.Undo(doc_)) ShowRestoredState();
}

void MainWindow::Redo1Click() {
  if (!ExportRunning() && history_.Redo(doc_)) ShowRestoredState();
}

void MainWindow::ShowRestoredState() {
  ShowProjectModel();
  ShowParams(doc_.Params);
  OutPutFilenChange();
  preview_->ResetWarp();
  schedule_.RequestFull();
  SyncModified();
  UpdateEditActions();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  auto* edit = qobject_cast<QLineEdit*>(watched);
  if (edit && event->type() == QEvent::ShortcutOverride && !edit->isModified()) {
    auto* k = static_cast<QKeyEvent*>(event);
    if (IsUndoKey(k) || IsRedoKey(k)) {
      // Not the edit's own text undo: let the window's shortcut run.
      event->ignore();
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

bool MainWindow::ConfirmDropChanges() {
  const QString name =
      QFileInfo(QString::fromStdString(doc_.Model.ProjectFileName)).fileName();
  return MayDropChanges(
      doc_.Modified(),
      [&] { return host_.AskSaveChanges(this, tr("%1 への変更を保存しますか?").arg(name)); },
      [&] { return SaveProject(); });
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!closeConfirmed_ && !ConfirmDropChanges()) {
    event->ignore();
    return;
  }
  closeConfirmed_ = false;
  WriteWindowPosition(settingsPath_, {pos().x(), pos().y()}, nullptr);
  QMainWindow::closeEvent(event);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!ExportRunning() && !DroppedProject(event->mimeData()).isEmpty())
    event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QString path = DroppedProject(event->mimeData());
  if (path.isEmpty() || ExportRunning()) return;
  event->acceptProposedAction();
  OpenProjectAsking(path);
}

void MainWindow::OpenProjectAsking(const QString& path) {
  if (ConfirmDropChanges()) OpenProject(path);
}

void MainWindow::RememberRecent(const std::string& path) {
  const std::string full = QFileInfo(QString::fromStdString(path)).absoluteFilePath().toStdString();
  WriteRecentProjects(settingsPath_, AddRecentProject(ReadRecentProjects(settingsPath_), full),
                      nullptr);
}

void MainWindow::FillRecentMenu() {
  Recent1->clear();
  const std::vector<std::string> files = ReadRecentProjects(settingsPath_);
  int n = 0;
  for (const std::string& f : files) {
    const QString path = QString::fromStdString(f);
    ++n;
    QAction* a = Recent1->addAction(
        (n < 10 ? QStringLiteral("&%1 ").arg(n) : QStringLiteral("1&0 ")) + path);
    connect(a, &QAction::triggered, this, [this, path] { OpenProjectAsking(path); });
  }
  if (files.empty()) Recent1->addAction(tr("（なし）"))->setEnabled(false);
}

// Tooltips: what the parameter means (the project word's manual text), its
// unit and the range the control takes, under the hint the control has.
void MainWindow::ApplyToolTips() {
  const auto unitText = [this](const std::string& unit) -> QString {
    if (unit == "byte") return tr("0〜255 の色の値");
    if (unit == "image widths") return tr("画像の幅 = 1");
    if (unit == "image heights") return tr("画像の高さ = 1");
    if (unit == "samples") return tr("サンプル数");
    if (unit == "factor") return tr("倍率");
    if (unit == "degrees") return tr("度");
    if (unit == "pixels") return tr("ピクセル");
    if (unit == "frames" || unit == "frame") return tr("フレーム");
    return QString();
  };
  // The meaning in the window's language: the project word's Japanese manual
  // text, or the table's English meaning when the English catalogue is in.
  const bool japanese = ProductName() == QStringLiteral("簡易雲模様動画生成～べるもら～");
  const auto describe = [&](const TParamInfo& row) {
    QString meaning = QString::fromUtf8(row.Meaning);
    for (int i = 0; japanese && i < ProjectWordCount; ++i)
      if (std::string_view(ProjectWordInfo(i).Keyword) == row.Keyword)
        meaning = QString::fromUtf8(ProjectWordInfo(i).Description);
    const std::string_view name = row.Name;
    if (const size_t dot = name.rfind('.'); japanese && dot != std::string_view::npos)
      meaning += QLatin1Char(' ') + QString::fromLatin1(name.substr(dot + 1).data(), 1).toUpper();
    QStringList lines{meaning};
    const QString unit = unitText(row.Unit);
    if (!unit.isEmpty()) lines << tr("単位: %1").arg(unit);
    if (std::isinf(row.Min) || std::isinf(row.Max))
      lines << tr("範囲: 制限なし");
    else if (row.Step > 0 && row.Control == TParamControl::TrackBar)
      lines << tr("範囲: %1〜%2（%3 刻み）").arg(Number(row.Min), Number(row.Max), Number(row.Step));
    else
      lines << tr("範囲: %1〜%2").arg(Number(row.Min), Number(row.Max));
    return lines.join(QLatin1Char('\n'));
  };
  const auto tip = [&](QWidget* w, int row) {
    const QString hint = w->toolTip();
    const QString text = describe(ParamTable()[row]);
    w->setToolTip(hint.isEmpty() ? text : hint + QLatin1Char('\n') + text);
  };
  // Every control of a row but the colour panels, which say how to use them.
  for (int i = 0; i < ParamCount; ++i) {
    if (kParamTable[i].Control == TParamControl::ColourPanel) continue;
    for (QWidget* w : {controls_[i], controls2_[i]})
      if (w) tip(w, i);
  }
  StartColor->setToolTip(tr("カラーフィルタの開始色（クリックで色を選ぶ）"));
  EndColor->setToolTip(tr("カラーフィルタの終了色（クリックで色を選ぶ）"));

  const QString view = tr("描画エンジンのバッファの表示です（プレビューには戻りません。再描画で元に戻ります）");
  const std::pair<QPushButton*, QString> views[] = {
      {ShowCloudPen, tr("雲のスタンプに使うペン")},
      {ShowWarpPenR, tr("歪みパターンのペン（赤）")},
      {ShowWarpPenG, tr("歪みパターンのペン（緑）")},
      {ShowWarpPenB, tr("歪みパターンのペン（青）")},
      {ShowBasePattern, tr("歪める前の雲の基本パターン")},
      {ShowWarpTemplate, tr("歪みのテンプレート")},
  };
  for (const auto& [b, what] : views) b->setToolTip(what + QLatin1Char('\n') + view);
  DisplayTextureLayer->setToolTip(
      tr("テクスチャ画像と合成した雲をプレビューに表示します（書き出しは常に合成します）"));
  PileModeAdd->setToolTip(tr("雲をテクスチャに加えて合成します"));
  PileModeSub->setToolTip(tr("雲をテクスチャから引いて合成します"));
  PileModeNorm->setToolTip(tr("雲とテクスチャの中間の色で合成します"));
  Upper->setToolTip(tr("雲をテクスチャ画像の上に重ねます"));
  ColorFilterReset->setToolTip(tr("勾配と透明度を 0 に、開始色を黒、終了色を白に戻します"));
  Redraw->setToolTip(tr("現在のフレームのプレビューを描き直します"));
  PrevKey->setToolTip(tr("どれかの要素にキーがある、前の時刻へ移動します"));
  NextKey->setToolTip(tr("どれかの要素にキーがある、次の時刻へ移動します"));
  DeleteKeys->setToolTip(tr("現在の時刻にある全要素のキーを削除します"));
  Button2->setToolTip(tr("現在の時刻に全要素のキーを作成します"));
  ReferOutPut->setToolTip(tr("出力する動画ファイルを選びます"));
  ReferOutPutAlpha->setToolTip(tr("出力するα動画ファイルを選びます"));
  SavePicture->setToolTip(tr("現在のフレームを画像として保存します"));
  SaveMovie->setToolTip(tr("時間軸の全フレームを動画として保存します"));
  Abort->setToolTip(tr("動画の作画を次のフレームの前で止めます"));
  Cancel->setToolTip(
      tr("自動更新の設定を保存せずに終了します。未保存の変更があれば保存するか確かめます"));
  TProgressBar->setToolTip(tr("全体進行"));
  IProgressBar->setToolTip(tr("フレーム内進行"));
  PixeProgressBar->setToolTip(tr("ぼかしの進行"));
  BlurCurveSample->setToolTip(tr("ぼかしブラシの形です"));
}

// Number fields wide enough for the values they show: a real such as
// 0.6666667 (the form the edits use when a value came from a slider), the
// widest seed, a five-digit size or frame.
void MainWindow::FitNumberFields() {
  const auto fit = [](QLineEdit* e, const QString& sample) {
    const QMargins m = e->textMargins();
    // The frame and the edit's own inner margin take about 8 pixels.
    const int need = e->fontMetrics().horizontalAdvance(sample) + m.left() + m.right() + 10;
    if (e->width() < need || e->minimumWidth() < need) e->setFixedWidth(need);
  };
  for (QLineEdit* e : {cxedbx, cyedbx, wx1edbx, wy1edbx, wx2edbx, wy2edbx})
    fit(e, QStringLiteral("0.6666667"));
  // Radii and angles are shorter numbers; the blur row has little room.
  fit(BlurRadiusEdBx, QStringLiteral("0.12345"));
  for (QLineEdit* e : {BlurBrushRotXEdBx, BlurBrushRotYEdBx, BlurBrushRotZEdBx})
    fit(e, QStringLiteral("-180.5"));
  fit(Seed, QStringLiteral("-2147483648"));
  for (QLineEdit* e : {ResX, ResY, CurFrame, MaxFrame}) fit(e, QStringLiteral("99999"));
  fit(BlurSamplesEdbx, QStringLiteral("9999"));
  fit(OverSamplingEdBx, QStringLiteral("99"));
}
