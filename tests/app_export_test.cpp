// Still and movie export from the main window, offscreen: what the window
// writes is what the command line writes for the same project (also when
// another project is opened while the movie is written), an abort leaves a
// playable movie, closing the window during an export is clean, and the
// window is locked but its menus are not while an export runs.
#include <QAction>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QTemporaryDir>
#include <QtTest>

#include "app/DialogHost.h"
#include "app/MainWindow.h"
#include "output/AviPlayer.h"
#include "output/AviWriter.h"
#include "app_test_util.h"

using namespace velmora;

namespace {

// Answers every dialog at once: file dialogs with the name set beforehand,
// message boxes and the application's own dialogs are only recorded, with
// whether the window was locked (controls off, menus on) at the time.
class AnsweringHost : public DialogHost {
 public:
  QString saveName;
  QStringList messages, errors, dialogs, filters;
  MainWindow* window = nullptr;
  QList<bool> locked;
  void Record() {
    if (window)
      locked << (!window->SavePicture->isEnabled() && !window->ResX->isEnabled() &&
                 !window->TimeLine->isEnabled() && window->Open1->isEnabled() &&
                 window->JPEG1->isEnabled());
  }
  std::optional<QString> OpenFileName(QWidget*, const TFileDialogOptions&) override {
    return std::nullopt;
  }
  std::optional<QString> SaveFileName(QWidget*, const TFileDialogOptions& o) override {
    filters = o.NameFilters;
    if (saveName.isEmpty()) return std::nullopt;
    return saveName;
  }
  void Message(QWidget*, const QString& text) override {
    Record();
    messages << text;
  }
  void Error(QWidget*, const QString& text) override { errors << text; }
  std::optional<QColor> ChooseColour(QWidget*, const QColor&, TCustomColours&) override {
    return std::nullopt;
  }
  int Exec(QDialog& dialog) override {
    Record();
    dialogs << dialog.objectName();
    return QDialog::Rejected;
  }
};

// Every frame of a movie, decoded.
std::vector<Bitmap24> Frames(const QString& path) {
  std::vector<Bitmap24> out;
  AviPlayer player;
  if (!player.Open(path.toStdString(), nullptr)) return out;
  for (int64_t f = 0; f < player.Length(); ++f) {
    player.Seek(f);
    out.push_back(player.Frame());
  }
  return out;
}

}  // namespace

class ExportTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void stillMatchesTheCommandLine();
  void movieMatchesTheCommandLineFrameForFrame();
  void abortStopsBetweenFramesAndLeavesAPlayableMovie();
  void otherMovieFormatsTakeTheirOwnOptions();
  void closingDuringAnExportStopsItCleanly();

 private:
  void WaitForExport();
  void SetTimeline(int last);
  void SaveProject(const QString& path);

  QTemporaryDir dir_;
  QString ini_;
  AnsweringHost host_;
  std::unique_ptr<MainWindow> w_;
};

void ExportTest::init() {
  ini_ = dir_.filePath(QStringLiteral("velmora.ini"));
  QFile::remove(ini_);
  host_ = AnsweringHost();
  w_ = std::make_unique<MainWindow>(host_, ini_.toStdString());
  host_.window = w_.get();
  w_->show();
  w_->ResX->setText(QStringLiteral("40"));
  w_->ResY->setText(QStringLiteral("24"));
  w_->SizeEditDone();  // into the record, so that a saved project holds 40 x 24
}

void ExportTest::cleanup() { w_.reset(); }

void ExportTest::WaitForExport() {
  QTRY_VERIFY_WITH_TIMEOUT(!w_->ExportRunning(), 120000);
}

void ExportTest::SetTimeline(int last) {
  w_->MaxFrame->setText(QString::number(last));
  w_->MaxFrameExit();
}

void ExportTest::SaveProject(const QString& path) {
  host_.saveName = path;
  w_->SaveAs1->trigger();
  QVERIFY(QFile::exists(path));
}

void ExportTest::stillMatchesTheCommandLine() {
  w_->OverSamplingEdBx->setText(QStringLiteral("2"));
  const QString out = dir_.filePath(QStringLiteral("still.bmp"));
  host_.saveName = out;
  w_->SavePicture->click();
  WaitForExport();
  QCOMPARE(host_.messages, QStringList{QStringLiteral("画像の保存は終了しました")});
  QCOMPARE(host_.locked, QList<bool>{true});
  QVERIFY(host_.errors.isEmpty());
  // The dialog offers the picture formats of the format table.
  QCOMPARE(host_.filters.mid(0, 3),
           (QStringList{QStringLiteral("すべてのﾌｧｲﾙ (*.*)"), QStringLiteral("ﾋﾞｯﾄﾏｯﾌﾟ (*.bmp)"),
                        QStringLiteral("PNGイメージ (*.png)")}));
  QVERIFY(host_.filters.contains(QStringLiteral("TIFFイメージ (*.tif *.tiff)")));
  QVERIFY(w_->SavePicture->isEnabled());
  QVERIFY(!w_->Abort->isEnabled());

  const QString ref = dir_.filePath(QStringLiteral("ref.bmp"));
  QVERIFY(RunVelmora(ini_, {QStringLiteral("render"), QStringLiteral("-o"), ref,
                            QStringLiteral("--size"), QStringLiteral("40x24"),
                            QStringLiteral("--oversampling"), QStringLiteral("2")}));
  const QByteArray written = ReadAll(out);
  QCOMPARE(written.size(), 54 + 40 * 24 * 3);  // 40 x 24, not the 80 x 48 rendered
  QVERIFY(written == ReadAll(ref));
}

void ExportTest::movieMatchesTheCommandLineFrameForFrame() {
  SetTimeline(4);
  const QString project = dir_.filePath(QStringLiteral("p.vlm"));
  SaveProject(project);
  // Another project, opened while the movie is written: the movie is still p.
  w_->Seed->setText(QStringLiteral("4711"));
  w_->PositionEditDone();
  const QString other = dir_.filePath(QStringLiteral("q.vlm"));
  SaveProject(other);
  w_->OpenProject(project);
  const QString out = dir_.filePath(QStringLiteral("m.avi"));
  w_->OutPutFilen->setText(out);
  QVERIFY(w_->SaveMovie->isEnabled());
  w_->SaveMovie->click();
  QVERIFY(w_->ExportRunning() && w_->Abort->isEnabled());
  w_->OpenProject(other);
  QCOMPARE(w_->Seed->text(), QStringLiteral("4711"));
  WaitForExport();
  // No options stored: the compression dialog comes first.
  QCOMPARE(host_.dialogs.value(0), QStringLiteral("AviOptionsDialog"));
  QCOMPARE(host_.messages, QStringList{QStringLiteral("動画の保存は終了しました")});
  QCOMPARE(host_.locked, (QList<bool>{true, true, false}));  // options, message, preview
  QVERIFY2(host_.errors.isEmpty(), qPrintable(host_.errors.join('\n')));
  QCOMPARE(w_->doneframe->text(), QStringLiteral("5"));
  QCOMPARE(w_->TimeLine->value(), 4);
  // Unlocked; q names no output, so the movie button follows its empty name.
  QVERIFY(w_->ResX->isEnabled() && !w_->SaveMovie->isEnabled() && !w_->Abort->isEnabled());
  // The finished movie is shown in the preview window.
  QCOMPARE(host_.dialogs.value(1), QStringLiteral("AVIView"));

  const QString ref = dir_.filePath(QStringLiteral("ref.avi"));
  QVERIFY(RunVelmora(ini_, {QStringLiteral("movie"), project, QStringLiteral("-o"), ref}));
  const std::vector<Bitmap24> mine = Frames(out), theirs = Frames(ref);
  QCOMPARE(mine.size(), size_t{5});
  QCOMPARE(theirs.size(), mine.size());
  for (size_t i = 0; i < mine.size(); ++i) {
    QCOMPARE(mine[i].width, 40);
    QVERIFY2(mine[i].bytes == theirs[i].bytes, qPrintable(QStringLiteral("frame %1").arg(i)));
  }
}

void ExportTest::abortStopsBetweenFramesAndLeavesAPlayableMovie() {
  SetTimeline(1000);
  const QString out = dir_.filePath(QStringLiteral("a.avi"));
  w_->OutPutFilen->setText(out);
  // Abort is clicked once two frames are done, while the third renders.
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, w_.get(), [&] {
    if (w_->doneframe->text().toInt() >= 2) w_->Abort->click();
  });
  poll.start(1);
  w_->SaveMovie->click();
  WaitForExport();
  QCOMPARE(host_.messages, QStringList{QStringLiteral("動画の保存は終了しました")});
  const int done = w_->doneframe->text().toInt();
  QVERIFY(done >= 2 && done < 1000);
  // The timeline shows the frame that was about to start.
  QCOMPARE(w_->TimeLine->value(), done);
  AviPlayer player;
  QVERIFY(player.Open(out.toStdString(), nullptr));
  QCOMPARE(player.Length(), int64_t{done});
}

// A Matroska movie asks for no AVI compression, takes the codec stored for
// its format and is shown in the preview window; the options dialog of the
// Settings menu follows the output's format.
void ExportTest::otherMovieFormatsTakeTheirOwnOptions() {
  SetTimeline(2);
  MovieEncodeOptions stored;
  stored.codec = "png";
  QVERIFY(MovieOptionsSave(ini_.toStdString(), *FindFormatByName("mkv"), stored, nullptr));
  const QString out = dir_.filePath(QStringLiteral("m.mkv"));
  w_->OutPutFilen->setText(out);
  w_->SaveMovie->click();
  WaitForExport();
  QVERIFY2(host_.errors.isEmpty(), qPrintable(host_.errors.join('\n')));
  QCOMPARE(host_.dialogs, QStringList{QStringLiteral("AVIView")});
  AviPlayer player;
  QVERIFY(player.Open(out.toStdString(), nullptr));
  QCOMPARE(player.Length(), int64_t{3});
  QFile movie(out);
  QVERIFY(movie.open(QIODevice::ReadOnly));
  QVERIFY(movie.readAll().contains("\x89PNG\r\n"));  // PNG-coded pictures
  w_->AVIA1Click();
  QCOMPARE(host_.dialogs.value(1), QStringLiteral("MovieOptionsDialog"));
  w_->OutPutFilen->setText(dir_.filePath(QStringLiteral("m.avi")));
  w_->AVIA1Click();
  QCOMPARE(host_.dialogs.value(2), QStringLiteral("AviOptionsDialog"));
}

void ExportTest::closingDuringAnExportStopsItCleanly() {
  SetTimeline(1000);
  const QString out = dir_.filePath(QStringLiteral("c.avi"));
  w_->OutPutFilen->setText(out);
  w_->SaveMovie->click();
  QTRY_VERIFY_WITH_TIMEOUT(w_->doneframe->text().toInt() >= 1, 60000);
  w_->close();
  // The worker is stopped and joined by the close itself.
  QVERIFY(!w_->ExportRunning());
  QVERIFY(host_.messages.isEmpty() && host_.errors.isEmpty());
  AviPlayer player;
  QVERIFY(player.Open(out.toStdString(), nullptr));
  QVERIFY(player.Length() >= 1 && player.Length() < 1000);
}

QTEST_MAIN(ExportTest)
#include "app_export_test.moc"
