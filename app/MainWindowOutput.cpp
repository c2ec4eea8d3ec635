// The main window's output section and Settings menu: still and movie
// export, the output names, the gauges and the export options dialogs.
//
// An export runs on a worker thread with a render context of its own and a
// copy of the document taken when it starts, so the window stays live (the
// gauges move, Abort can be clicked, the menus stay usable while every
// control is disabled) and opening or editing a project meanwhile cannot
// change what is written.  What the export shows reaches the widgets through
// the worker's Post, on the window thread.
#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStringList>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "anim/FrameRender.h"
#include "anim/ProjectModel.h"
#include "app/AviOptionsDialog.h"
#include "app/MovieOptionsDialog.h"
#include "app/MainWindow.h"
#include "app/OutputSection.h"
#include "app/StudioWidgets.h"
#include "output/AviWriter.h"
#include "output/Formats.h"
#include "output/MovieLoop.h"
#include "output/Settings.h"
#include "output/StillImage.h"
#include "render/Render.h"
#include "render/StillRender.h"
#include "studio/StillExport.h"

using namespace velmora;

namespace {

QString Text(const std::string& s) { return QString::fromStdString(s); }

// The names of the formats in the file dialogs, for the translation tools;
// the format table holds the same texts.
[[maybe_unused]] constexpr const char* kFormatDialogNames[] = {
    QT_TRANSLATE_NOOP("MainWindow", "ﾋﾞｯﾄﾏｯﾌﾟ"),
    QT_TRANSLATE_NOOP("MainWindow", "PNGイメージ"),
    QT_TRANSLATE_NOOP("MainWindow", "JPegイメージ"),
    QT_TRANSLATE_NOOP("MainWindow", "TIFFイメージ"),
    QT_TRANSLATE_NOOP("MainWindow", "OpenEXRイメージ"),
    QT_TRANSLATE_NOOP("MainWindow", "VideoForWindows"),
    QT_TRANSLATE_NOOP("MainWindow", "MP4動画"),
    QT_TRANSLATE_NOOP("MainWindow", "Matroska動画"),
    QT_TRANSLATE_NOOP("MainWindow", "WebM動画"),
    QT_TRANSLATE_NOOP("MainWindow", "QuickTime動画"),
    QT_TRANSLATE_NOOP("MainWindow", "アニメーションWebP"),
    QT_TRANSLATE_NOOP("MainWindow", "アニメーションGIF"),
    QT_TRANSLATE_NOOP("MainWindow", "アニメーションPNG"),
    QT_TRANSLATE_NOOP("MainWindow", "非圧縮ビットマップ(連番）"),
    QT_TRANSLATE_NOOP("MainWindow", "PNG画像（連番）"),
    QT_TRANSLATE_NOOP("MainWindow", "JPEG画像（連番）"),
    QT_TRANSLATE_NOOP("MainWindow", "TIFF画像（連番）"),
    QT_TRANSLATE_NOOP("MainWindow", "OpenEXR画像（連番）"),
};

// One file-dialog filter per format of the table that the dialog offers:
// the still picture dialog (movie = false) or the movie output dialog, which
// offers movies and numbered series.  "JPegイメージ (*.jpg *.jpeg)".
QStringList FormatFilters(bool movie) {
  QStringList filters;
  for (const OutputFormat& f : OutputFormats()) {
    const std::string title(movie ? f.movieDialogTitle : f.stillDialogTitle);
    if (title.empty()) continue;
    QStringList patterns;
    for (std::string_view ext : f.extensions)
      if (!ext.empty()) patterns << QLatin1Char('*') + Text(std::string(ext));
    filters << QCoreApplication::translate("MainWindow", title.c_str()) + QStringLiteral(" (") +
                   patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
  }
  return filters;
}

QString Lines(const std::vector<std::string>& lines) {
  QStringList out;
  for (const std::string& l : lines) out << Text(l);
  return out.join(QLatin1Char('\n'));
}

}  // namespace

TOutputSection::TOutputSection(MainWindow& window, const std::string& settingsPath)
    : JpegQuality(ReadJpegQuality(settingsPath)) {
  JPEGQualityForm = new JpegQualityDialog(JpegQuality, settingsPath, &window);
  AVIView = new MoviePreviewWindow(&window);
  window.installEventFilter(this);
}

bool TOutputSection::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Close && Exporting) {
    Worker.Stop();
    End(static_cast<MainWindow&>(*watched));
  }
  return false;
}

void TOutputSection::MessageSink(MainWindow& w, velmora::RenderContext& ctx) {
  ctx.SetMessageSink([&w](const std::string& text) {
    w.output_->Worker.Post([&w, text] { w.host_.Message(&w, Text(text)); });
  });
}

void TOutputSection::Begin(MainWindow& w, bool movie) {
  w.output_->Exporting = true;
  w.PreviewRenderInterval->stop();
  w.DisableAllControls();
  if (movie) w.Abort->setEnabled(true);
}

void TOutputSection::End(MainWindow& w) {
  w.TProgressBar->setValue(0);
  w.PreviewRenderInterval->start();
  w.EnableAllControls();
  w.Abort->setEnabled(false);
  w.OutPutFilenChange();
  w.output_->Exporting = false;
}

void MainWindow::SavePictureClick() {
  if (output_->Exporting) return;
  TFileDialogOptions o;
  o.Title = tr("雲模様を作画し保存します。");
  o.NameFilters = QStringList{tr("すべてのﾌｧｲﾙ (*.*)")} + FormatFilters(false);
  o.DefaultSuffix = QStringLiteral("bmp");
  // Any other name is a BMP, as it always was; the dialog says so.
  o.Note = tr("一覧にない拡張子の名前はビットマップ（BMP）で保存します");
  // The depth, what is written and the alpha channel, as chosen last time.
  StillOptions still = ReadStillChoice(settingsPath_);
  o.Still = &still;
  const std::optional<QString> name = host_.SaveFileName(this, o);
  if (!name) return;
  std::string ignored;
  WriteStillChoice(settingsPath_, still, &ignored);
  still.jpegQuality = output_->JpegQuality;
  const std::string problem = StillOptionsProblem(StillFormatForPath(name->toStdString()), still);
  if (!problem.empty()) {
    host_.Error(this, tr("画像を保存できませんでした。") + QLatin1Char('\n') + Text(problem));
    return;
  }

  TOutputSection::Begin(*this, false);
  // A control that holds no number has shown its error: nothing is written.
  if (!ReadParams(false)) {
    TOutputSection::End(*this);
    return;
  }
  struct StillJob {
    TCloudFrameParams params;
    std::shared_ptr<const TTexture> texture;  // what params.Texture points at
    bool saved = false;
    std::string error;
  };
  // The same export as the command line's render, work budget included: a
  // project's keys can ask for a frame that would never end.
  auto job = std::make_shared<StillJob>();
  job->params = doc_.Params;
  job->texture = doc_.Texture();
  const std::string path = name->toStdString();
  output_->Worker.Start(
      [this, job, path, still](RenderContext& ctx) {
        TOutputSection::MessageSink(*this, ctx);
        job->saved =
            ExportStill(ctx, job->params, velmora::DefaultWorkPerPixel, path, still, &job->error);
      },
      [this, job] {
        // A picture that was not written is reported as such, not as saved.
        if (job->saved)
          host_.Message(this, tr("画像の保存は終了しました"));
        else
          host_.Error(this, tr("画像を保存できませんでした。") + QLatin1Char('\n') +
                                Text(job->error));
        TOutputSection::End(*this);
      });
}

void MainWindow::SaveMovieClick() {
  TOutputSection& out = *output_;
  if (out.Exporting) return;
  const std::string mainName = TrimOutputName(OutPutFilen->text().toStdString());
  const std::string alphaName = TrimOutputName(OutPutAlpha->text().toStdString());
  TOutputSection::Begin(*this, true);
  if ((mainName.empty() && alphaName.empty()) || !ReadParams(false)) {
    TOutputSection::End(*this);
    return;
  }
  MovieSettings settings = MovieSettingsFromModel(doc_.Model);
  settings.mainName = mainName;
  settings.alphaName = alphaName;
  settings.jpegQuality = out.JpegQuality;
  // The depth and what the pictures are, as last chosen in the output's
  // dialog.  The depth is for numbered series: with a movie file among the
  // outputs the pictures have 8 bits, as the dialog offers for its name.
  const StillOptions pictures = ReadSeriesChoice(settingsPath_);
  if (OutputKindForName(mainName) != MovieOutputKind::Avi &&
      OutputKindForName(alphaName) != MovieOutputKind::Avi)
    settings.depth = pictures.depth;
  settings.map = pictures.content;
  settings.normalStrength = pictures.normalStrength;
  auto isAvi = [](const std::string& name) {
    const OutputFormat* f = FormatForPath(name, kFormatMovie);
    return f && f->name == "avi";
  };
  // The other movie formats take the options stored for the main output's
  // format (else the alpha output's).
  for (const std::string& name : {alphaName, mainName})
    if (const OutputFormat* f = FormatForPath(name, kFormatMovie); f && f->name != "avi") {
      settings.movieOptions = MovieEncodeOptions();
      MovieOptionsLoad(settingsPath_, *f, settings.movieOptions);
    }
  if (isAvi(mainName) || isAvi(alphaName)) {
    // The first movie asks for the compression; later ones use what is stored.
    AviOptions stored;
    if (!AviOptionsLoad(settingsPath_, stored)) {
      AviOptionsDialog dialog(settingsPath_, this);
      host_.Exec(dialog);
    }
    std::string warning;
    settings.aviOptions = PrepareAviOptions(settingsPath_, {}, &warning);
  }
  savefilename->clear();
  savealphaname->clear();

  // The export renders a copy of the document as it is now.
  struct MovieJob {
    Document doc;
    TWindowHooks hooks;  // none: the worker shows nothing itself
    MovieReport report;
  };
  auto job = std::make_shared<MovieJob>();
  job->doc = doc_;
  TExportWorker& worker = out.Worker;
  MovieCallbacks cb;
  cb.frameStarting = [this, &worker](int32_t f) {
    worker.Post([this, f] {
      // The window follows the movie's timeline and shows its project there.
      doc_.Model.TimeLinePosition = f;
      doc_.Model.CurFrame = std::to_string(f);
      doc_.EvalAt(f);
      ShowParams(doc_.Params);
      const QSignalBlocker block(TimeLine);
      TimeLine->setValue(f);
      CurFrame->setText(QString::number(f));
    });
  };
  cb.showOutputName = [this, &worker](bool alpha, const std::string& file) {
    worker.Post([this, alpha, file] { (alpha ? savealphaname : savefilename)->setText(Text(file)); });
  };
  cb.drawPicture = [this, &worker](const Bitmap24& picture) {
    worker.Post([this, picture] { TOutputSection::DrawPicture(*this, picture); });
  };
  cb.progress = [this, &worker](const MovieProgressInfo& info) {
    worker.Post([this, info] {
      tolframe->setText(QString::number(info.totalFrames));
      doneframe->setText(QString::number(info.framesDone));
      TProgressBar->setValue(info.movieProgress);
    });
  };
  cb.abortRequested = [&worker] { return worker.AbortBetweenFramesRequested(); };
  worker.Start(
      [this, job, settings, cb](RenderContext& ctx) {
        TOutputSection::MessageSink(*this, ctx);
        TFrameRenderer renderer = DocumentRenderer(ctx, job->doc, job->hooks);
        job->report = RenderMovie(renderer, settings, cb);
      },
      [this, job, mainName] {
        const MovieReport& report = job->report;
        if (!report.failures.empty())
          host_.Error(this, tr("動画の保存中に問題がありました。") + QLatin1Char('\n') +
                                Lines(report.failures));
        host_.Message(this, tr("動画の保存は終了しました"));
        TOutputSection::End(*this);
        // The finished movie is shown when the main output is a movie that
        // was put in place (a failed one leaves any older file of that name
        // alone).
        const bool mainFailed =
            std::any_of(report.failures.begin(), report.failures.end(),
                        [](const std::string& f) { return f.rfind("main output", 0) == 0; });
        if (OutputKindForName(mainName) == MovieOutputKind::Avi && !mainFailed &&
            output_->AVIView->SetFileName(Text(mainName)))
          host_.Exec(*output_->AVIView);
      });
}

void TOutputSection::DrawPicture(MainWindow& w, const Bitmap24& picture) {
  Bitmap24& preview = w.previewImage_;
  if (picture.bytes.empty() || preview.bytes.empty()) return;
  // The frame scaled over the whole preview, nearest pixel.
  for (int32_t y = 0; y < preview.height; ++y) {
    const uint8_t* src =
        picture.Row(static_cast<int32_t>(int64_t{y} * picture.height / preview.height));
    uint8_t* dst = preview.Row(y);
    for (int32_t x = 0; x < preview.width; ++x) {
      const uint8_t* s = src + int64_t{x} * picture.width / preview.width * 3;
      std::copy(s, s + 3, dst + x * 3);
    }
  }
  w.INternalCloudPreview->update();
}

// Stops the movie before its next frame; the frame in progress is written.
void MainWindow::AbortClick() { output_->Worker.AbortBetweenFrames(); }

bool MainWindow::ExportRunning() const { return output_->Exporting; }

void MainWindow::ReferOutPutClick() {
  // The main output's dialog also asks for its pictures' depth and content.
  StillOptions pictures = ReadSeriesChoice(settingsPath_);
  if (const std::optional<QString> name = TOutputSection::AskMovieName(*this, &pictures)) {
    std::string ignored;
    WriteSeriesChoice(settingsPath_, pictures, &ignored);
    OutPutFilen->setText(*name);
  }
}

void MainWindow::ReferOutPutAlphaClick() {
  if (const std::optional<QString> name = TOutputSection::AskMovieName(*this))
    OutPutAlpha->setText(*name);
}

std::optional<QString> TOutputSection::AskMovieName(MainWindow& w, StillOptions* pictures) {
  TFileDialogOptions o;
  o.NameFilters = FormatFilters(true);
  o.DefaultSuffix = QStringLiteral("avi");
  o.Still = pictures;
  o.StillForMovie = true;
  return w.host_.SaveFileName(&w, o);
}

// The movie button is usable when either output name is non-blank.
void MainWindow::OutPutFilenChange() {
  SaveMovie->setEnabled(!OutPutFilen->text().trimmed().isEmpty() ||
                        !OutPutAlpha->text().trimmed().isEmpty());
}

// Copies the progress values into the gauges: the running export's, else
// the preview's while it renders (0 when it is idle).
void MainWindow::ProgressTimerTimer() {
  if (const RenderContext* worker = output_->Worker.Context()) {
    IProgressBar->setValue(worker->FrameProgress);
    PixeProgressBar->setValue(worker->PixeProgress);
    TProgressBar->setValue(worker->MovieProgress);
    return;
  }
  const bool busy = preview_->Busy();
  IProgressBar->setValue(busy ? preview_->Progress().FrameProgress.load() : 0);
  PixeProgressBar->setValue(busy ? preview_->Progress().PixeProgress.load() : 0);
}

void MainWindow::JPEG1Click() { host_.Exec(*output_->JPEGQualityForm); }

// The options dialog follows the main output's format: the AVI compressor
// list for an AVI file (or when no movie is named), codec and quality for
// the other movie formats.
void MainWindow::AVIA1Click() {
  const OutputFormat* f =
      FormatForPath(TrimOutputName(OutPutFilen->text().toStdString()), kFormatMovie);
  if (!f) f = FormatForPath(TrimOutputName(OutPutAlpha->text().toStdString()), kFormatMovie);
  if (f && f->name != "avi") {
    MovieOptionsDialog dialog(settingsPath_, *f, this);
    host_.Exec(dialog);
    return;
  }
  AviOptionsDialog dialog(settingsPath_, this);
  host_.Exec(dialog);
}

void MainWindow::ConnectOutputHandlers() {
  output_ = std::make_unique<TOutputSection>(*this, settingsPath_);
  connect(SavePicture, &QPushButton::clicked, this, &MainWindow::SavePictureClick);
  connect(SaveMovie, &QPushButton::clicked, this, &MainWindow::SaveMovieClick);
  connect(Abort, &QPushButton::clicked, this, &MainWindow::AbortClick);
  connect(ReferOutPut, &QPushButton::clicked, this, &MainWindow::ReferOutPutClick);
  connect(ReferOutPutAlpha, &QPushButton::clicked, this,
          &MainWindow::ReferOutPutAlphaClick);
  connect(OutPutFilen, &QLineEdit::textChanged, this, &MainWindow::OutPutFilenChange);
  connect(OutPutAlpha, &QLineEdit::textChanged, this, &MainWindow::OutPutFilenChange);
  connect(JPEG1, &QAction::triggered, this, &MainWindow::JPEG1Click);
  connect(AVIA1, &QAction::triggered, this, &MainWindow::AVIA1Click);
}
