// Screenshots of a movie export from the main window and of the preview
// window playing the finished movie, taken on a real display (an X server
// such as Xvfb): scripts/screenshot runs it.
//   velmora-studio-shots OUTPUT_FOLDER WORK_FOLDER
// The export's messages are answered at once; the preview window is shown
// for real, photographed while it plays, and closed.
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "app/DialogHost.h"
#include "app/MainWindow.h"
#include "app/StudioTranslation.h"

namespace {

void Wait(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

bool Shoot(QWidget& w, const QString& path) {
  const QRect r = w.frameGeometry();
  const QPixmap shot = w.screen()->grabWindow(0, r.x(), r.y(), r.width(), r.height());
  const bool ok = shot.save(path);
  std::printf("%s\n", qPrintable(path));
  return ok;
}

// Real dialogs, except that message boxes are only printed and the preview
// window is photographed while it plays.
class ShotsHost : public QtDialogHost {
 public:
  QString previewShot;
  void Message(QWidget*, const QString& text) override {
    std::printf("message: %s\n", qPrintable(text));
  }
  void Error(QWidget*, const QString& text) override {
    std::fprintf(stderr, "error: %s\n", qPrintable(text));
  }
  int Exec(QDialog& dialog) override {
    if (dialog.objectName() != QLatin1String("AVIView")) return QDialog::Rejected;
    dialog.show();
    Wait(1200);
    Shoot(dialog, previewShot);
    dialog.close();
    return QDialog::Accepted;
  }
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  InstallTranslations(app);
  if (argc != 3) {
    std::fprintf(stderr, "usage: velmora-studio-shots OUTPUT_FOLDER WORK_FOLDER\n");
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1])), work(QString::fromLocal8Bit(argv[2]));
  ShotsHost host;
  host.previewShot = out.filePath(QStringLiteral("velmora-studio-preview.png"));
  MainWindow window(host, work.filePath(QStringLiteral("settings.ini")).toStdString());
  window.move(0, 0);
  window.show();
  Wait(1500);
  window.ResX->setText(QStringLiteral("192"));
  window.ResY->setText(QStringLiteral("144"));
  window.MaxFrame->setText(QStringLiteral("45"));
  window.MaxFrameExit();
  window.OutPutFilen->setText(work.filePath(QStringLiteral("clouds.avi")));
  // The export runs on its worker thread after the click: the photograph of
  // it in progress is taken once a dozen frames are done (however fast the
  // machine), the preview window's by the host when the export shows it at
  // the end.
  const QString exportShot = out.filePath(QStringLiteral("velmora-studio-export.png"));
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, &window, [&] {
    if (window.doneframe->text().toInt() < 12) return;
    watch.stop();
    Shoot(window, exportShot);
  });
  watch.start(10);
  window.SaveMovie->click();
  while (window.ExportRunning()) Wait(50);
  return QFile::exists(exportShot) && QFile::exists(host.previewShot) ? 0 : 1;
}
