// The main window's timeline and key buttons, the File menu and shutdown.
#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <string>

#include "anim/KeyEdit.h"
#include "anim/ProjectModel.h"
#include "app/MainWindow.h"
#include "base/DisplayText.h"
#include "output/WindowSettings.h"
#include "project/ProjectLoad.h"
#include "project/ProjectSave.h"

using namespace velmora;

namespace {

TTimeLineContext TimeLineOf(Document& doc, const TWindowHooks& hooks) {
  return TTimeLineContext{doc.Curves, doc.Params, doc.Model, hooks};
}

}  // namespace

void MainWindow::ShowProjectModel() {
  {
    const QSignalBlocker block(TimeLine);
    TimeLine->setRange(doc_.Model.TimeLineMin, doc_.Model.TimeLineMax);
    TimeLine->setValue(doc_.Model.TimeLinePosition);
    TimeLine->setTickInterval(doc_.Model.TimeLineFrequency);
    TimeLine->setTickPosition(doc_.Model.TimeLineFrequency > 0 ? QSlider::TicksBelow
                                                            : QSlider::NoTicks);
  }
  const auto setText = [](QLineEdit* e, const std::string& text) {
    const QString t = QString::fromStdString(text);
    if (e->text() != t) e->setText(t);
  };
  setText(CurFrame, doc_.Model.CurFrame);
  setText(MaxFrame, doc_.Model.MaxFrame);
  setText(OutPutFilen, doc_.Model.OutPutFilen);
  setText(OutPutAlpha, doc_.Model.OutPutAlpha);
  const QSignalBlocker block(FromCurrentFrame);
  FromCurrentFrame->setChecked(doc_.Model.FromCurrentFrame);
}

void MainWindow::ShowTimeLineError(int result, const std::string& text) {
  const QString t = QString::fromStdString(text);
  if (result == static_cast<int>(TTimeLineResult::NotInteger))
    host_.Error(this, tr("'%1' は整数ではありません").arg(t));
  else if (result == static_cast<int>(TTimeLineResult::Refused))
    host_.Error(this, tr("ﾌﾟﾛﾊﾟﾃｨ %1 の範囲を超えています").arg(QStringLiteral("QSlider")));
}

void MainWindow::TImeLineBarChange(int position) {
  TimeLineMoved(TimeLineOf(doc_, hooks_), position);
  ShowProjectModel();
}

void MainWindow::MaxFrameExit() {
  if (reading_) return;
  doc_.Model.MaxFrame = MaxFrame->text().toStdString();
  const int32_t before = doc_.Model.TimeLinePosition;
  const TTimeLineResult r = ConfirmMaxFrame(doc_.Model);
  // A shorter timeline pulls the current frame in: the frame edit and the
  // controls then show that frame, not one beyond the last.
  if (doc_.Model.TimeLinePosition != before)
    TimeLineMoved(TimeLineOf(doc_, hooks_), doc_.Model.TimeLinePosition);
  ShowProjectModel();
  reading_ = true;
  ShowTimeLineError(static_cast<int>(r), doc_.Model.MaxFrame);
  reading_ = false;
}

void MainWindow::CurFrameExit() {
  if (reading_) return;
  doc_.Model.CurFrame = CurFrame->text().toStdString();
  const TTimeLineResult r = ConfirmCurFrame(TimeLineOf(doc_, hooks_));
  // A frame outside the timeline is shown as the frame it was pulled to.
  if (r == TTimeLineResult::Done) doc_.Model.CurFrame = std::to_string(doc_.Model.TimeLinePosition);
  ShowProjectModel();
  reading_ = true;
  ShowTimeLineError(static_cast<int>(r), doc_.Model.CurFrame);
  reading_ = false;
}

void MainWindow::PrevKeyClick() {
  GoToPrevKey(TimeLineOf(doc_, hooks_));
  ShowProjectModel();
}

void MainWindow::NextKeyClick() {
  GoToNextKey(TimeLineOf(doc_, hooks_));
  ShowProjectModel();
}

void MainWindow::DeleteKeysClick() {
  DeleteKeysAtPosition(TimeLineOf(doc_, hooks_));
  ShowProjectModel();
}

void MainWindow::Button2Click() { CreateKeysAtPosition(TimeLineOf(doc_, hooks_)); }

void MainWindow::WriteAutoUpdateAndClose() {
  if (!ReadParams(false) || !ConfirmDropChanges()) return;
  WritePreviewAutoUpdate(settingsPath_, AutoUpdate->isChecked(), nullptr);
  closeConfirmed_ = true;
  close();
}

void MainWindow::OkeyClick() { WriteAutoUpdateAndClose(); }
void MainWindow::Exit1Click() { WriteAutoUpdateAndClose(); }

// Leaves as the close box does: the automatic-update switch is not stored,
// and unsaved changes are asked about first.
void MainWindow::CancelClick() { close(); }

TFileDialogOptions MainWindow::ProjectDialog(const QString& title) const {
  TFileDialogOptions o;
  o.Title = title;
  o.NameFilters = QStringList{tr("べるもら設定ファイル") + QStringLiteral(" (*.vlm)")};
  o.DefaultSuffix = QStringLiteral("vlm");
  o.Preset = QString::fromStdString(doc_.Model.ProjectFileName);
  return o;
}

void MainWindow::New1Click() {
  if (!ConfirmDropChanges()) return;
  doc_.New(hooks_);
  StartDocument();
  preview_->ResetWarp();  // a new project fixes its own warp normalisation
  ShowProjectModel();
  RedrawParameterPreviews();
  // Automatic update governs edits, not a change of project: the new
  // project's preview is always shown.
  RequestPreview(PreviewKind::Full);
  UpdateCaption();
}

void MainWindow::Open1Click() {
  if (!ConfirmDropChanges()) return;
  TFileDialogOptions o = ProjectDialog(tr("開く"));
  o.MustExist = true;
  const std::optional<QString> path = host_.OpenFileName(this, o);
  if (path) OpenProject(*path);
}

void MainWindow::OpenProject(const QString& path) {
  TProjectLoadResult result;
  doc_.Open(path.toStdString(), hooks_, &result);
  if (result.Status == TProjectLoadStatus::Missing ||
      result.Status == TProjectLoadStatus::Unreadable) {
    host_.Error(this, tr("%1 を開けませんでした: %2")
                          .arg(path, QString::fromStdString(result.IoError)));
    return;
  }
  StartDocument();
  RememberRecent(doc_.Model.ProjectFileName);
  preview_->ResetWarp();
  ShowProjectModel();
  OutPutFilenChange();
  RedrawParameterPreviews();
  RequestPreview(PreviewKind::Full);  // whatever automatic update says
  UpdateCaption();
  if (result.Status == TProjectLoadStatus::RunError) {
    // What ran before the error keeps its effect, as on the command line;
    // the user is told where the file stopped and why.
    const TProjectRunResult& run = result.Run;
    const QString where = run.StopLine > 0 ? tr("%1 行目").arg(run.StopLine) : tr("最初の文の前");
    QString reason = run.ErrorMessage.empty()
                         ? tr("(エラーの説明なし)")
                         : QString::fromStdString(ForDisplay(run.ErrorMessage));
    if (run.StepLimitHit)
      reason += tr(" (%1 ステップを使い切りました。終わらないループでは?)").arg(ProjectStepLimit);
    host_.Error(this, tr("%1 の %2 で実行が止まりました: %3\nファイルの残りは実行されませんでした。")
                          .arg(path, where, reason));
  }
}

bool MainWindow::SaveProjectTo(const std::string& path) {
  // An edit still being typed belongs to what is saved.
  if (auto* e = qobject_cast<QLineEdit*>(focusWidget()); e && e->isModified()) {
    e->setModified(false);
    emit e->editingFinished();
  }
  std::string error;
  if (!doc_.Save(path, &error)) {
    host_.Error(this, tr("%1 を保存できませんでした: %2")
                          .arg(QString::fromStdString(path), QString::fromStdString(error)));
    return false;
  }
  history_.Commit(doc_);
  history_.MarkSaved();
  doc_.MarkSaved();
  RememberRecent(path);
  UpdateCaption();
  return true;
}

bool MainWindow::SaveProject() {
  if (ProjectNeedsName(doc_.Model.ProjectFileName)) {
    const std::optional<QString> path = host_.SaveFileName(this, ProjectDialog(tr("上書き保存")));
    if (!path) return false;
    doc_.Model.ProjectFileName = path->toStdString();
  }
  return SaveProjectTo(doc_.Model.ProjectFileName);
}

bool MainWindow::SaveProjectAs() {
  const std::optional<QString> path =
      host_.SaveFileName(this, ProjectDialog(tr("名前を付けて保存")));
  if (!path) return false;
  doc_.Model.ProjectFileName = path->toStdString();
  return SaveProjectTo(doc_.Model.ProjectFileName);
}

void MainWindow::O1Click() { SaveProject(); }
void MainWindow::SaveAs1Click() { SaveProjectAs(); }

void MainWindow::ConnectProjectHandlers() {
  connect(TimeLine, &QSlider::valueChanged, this, &MainWindow::TImeLineBarChange);
  connect(MaxFrame, &QLineEdit::editingFinished, this, &MainWindow::MaxFrameExit);
  connect(CurFrame, &QLineEdit::editingFinished, this, &MainWindow::CurFrameExit);
  connect(PrevKey, &QPushButton::clicked, this, &MainWindow::PrevKeyClick);
  connect(NextKey, &QPushButton::clicked, this, &MainWindow::NextKeyClick);
  connect(DeleteKeys, &QPushButton::clicked, this, &MainWindow::DeleteKeysClick);
  connect(Button2, &QPushButton::clicked, this, &MainWindow::Button2Click);
  connect(Okey, &QPushButton::clicked, this, &MainWindow::OkeyClick);
  connect(Cancel, &QPushButton::clicked, this, &MainWindow::CancelClick);
  connect(Exit1, &QAction::triggered, this, &MainWindow::Exit1Click);
  connect(New1, &QAction::triggered, this, &MainWindow::New1Click);
  connect(Open1, &QAction::triggered, this, &MainWindow::Open1Click);
  connect(O1, &QAction::triggered, this, &MainWindow::O1Click);
  connect(SaveAs1, &QAction::triggered, this, &MainWindow::SaveAs1Click);
  // The model follows the output names and the switch as the user edits them.
  connect(OutPutFilen, &QLineEdit::textChanged, this, [this](const QString& t) {
    doc_.Model.OutPutFilen = t.toStdString();
  });
  connect(OutPutAlpha, &QLineEdit::textChanged, this, [this](const QString& t) {
    doc_.Model.OutPutAlpha = t.toStdString();
  });
  connect(FromCurrentFrame, &QCheckBox::toggled, this,
          [this](bool on) { doc_.Model.FromCurrentFrame = on; });
  ConnectOutputHandlers();
}
