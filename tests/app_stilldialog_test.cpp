// The still save dialog itself (Qt's file dialog with our options under it),
// offscreen: what is chosen in it reaches the written file as the command
// line writes it, the depths follow the chosen name's format, and the choice
// is there again the next time.
#include <QComboBox>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "app/DialogHost.h"
#include "app/MainWindow.h"
#include "app/StillOptionsPanel.h"
#include "output/MovieLoop.h"
#include "app_test_util.h"

using namespace velmora;

namespace {

// Qt's real file dialogs; message boxes are only recorded.
class RecordingHost : public QtDialogHost {
 public:
  QStringList messages, errors;
  void Message(QWidget*, const QString& text) override { messages << text; }
  void Error(QWidget*, const QString& text) override { errors << text; }
};

}  // namespace

class StillDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void choicesReachTheFileAndAreRemembered();
  void seriesDepthFromTheMovieOutput();

 private:
  // Clicks BUTTON (SavePicture by default); once the file dialog is up,
  // ANSWER fills it in and returns what went wrong (nothing: the dialog is
  // accepted).
  void Save(const std::function<QString(QFileDialog&, StillOptionsPanel&)>& answer,
            QPushButton* button = nullptr);

  QTemporaryDir dir_;
  RecordingHost host_;
  std::unique_ptr<MainWindow> w_;
  QStringList problems_;
};

void StillDialogTest::Save(const std::function<QString(QFileDialog&, StillOptionsPanel&)>& answer,
                           QPushButton* button) {
  QTimer poll;
  connect(&poll, &QTimer::timeout, this, [&] {
    auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!d) return;
    poll.stop();
    auto* panel = d->findChild<StillOptionsPanel*>();
    const QString problem = panel ? answer(*d, *panel) : QStringLiteral("no still options");
    if (problem.isEmpty()) {
      static_cast<QDialog*>(d)->accept();  // QFileDialog::accept, as its button does
    } else {
      problems_ << problem;
      d->reject();
    }
  });
  poll.start(10);
  (button ? button : w_->SavePicture)->click();
  QTRY_VERIFY_WITH_TIMEOUT(!w_->ExportRunning(), 120000);
}

void StillDialogTest::choicesReachTheFileAndAreRemembered() {
  const QString ini = dir_.filePath(QStringLiteral("velmora.ini"));
  w_ = std::make_unique<MainWindow>(host_, ini.toStdString());
  w_->show();
  w_->ResX->setText(QStringLiteral("40"));
  w_->ResY->setText(QStringLiteral("24"));
  w_->SizeEditDone();
  auto name = [&](QFileDialog& d, const QString& file) {
    d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(dir_.filePath(file));
  };

  // A 16-bit normal map: a JPEG name offers 8 bits only, a PNG 16 too.
  const QString normal = dir_.filePath(QStringLiteral("n.png"));
  Save([&](QFileDialog& d, StillOptionsPanel& p) -> QString {
    name(d, QStringLiteral("n.jpg"));
    if (p.Depth->count() != 1 || p.AlphaChannel->isEnabled()) return "JPEG offers more than 8 bits";
    // A name without an extension takes the chosen filter's.
    name(d, QStringLiteral("n"));
    auto* types = d.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    const int png = types ? types->findText(QStringLiteral("PNG"), Qt::MatchStartsWith) : -1;
    if (png < 0) return "no PNG filter";
    types->setCurrentIndex(png);
    emit types->activated(png);  // what a click on the list sends
    emit types->textActivated(types->itemText(png));
    if (p.Depth->count() != 2) return "PNG does not offer 8 and 16 bits";
    p.Depth->setCurrentIndex(1);
    p.Content->setCurrentIndex(p.Content->findData(static_cast<int>(ExportMap::Normal)));
    p.NormalStrength->setValue(2.5);
    return {};
  });
  QVERIFY2(problems_.isEmpty(), qPrintable(problems_.join('\n')));
  QVERIFY2(host_.errors.isEmpty(), qPrintable(host_.errors.join('\n')));
  const QString normalRef = dir_.filePath(QStringLiteral("n-ref.png"));
  QVERIFY(RunVelmora(ini, {"render", "-o", normalRef, "--size", "40x24", "--buffer", "normal",
                           "--depth", "16", "--normal-strength", "2.5"}));
  QVERIFY(ReadAll(normal) == ReadAll(normalRef));

  // The choice comes back; then the 8-bit picture with its alpha channel.
  const QString rgba = dir_.filePath(QStringLiteral("a.tif"));
  Save([&](QFileDialog& d, StillOptionsPanel& p) -> QString {
    name(d, QStringLiteral("a.tif"));
    if (p.Depth->currentData().toUInt() != kDepth16 || p.NormalStrength->value() != 2.5 ||
        p.Content->currentData().toInt() != static_cast<int>(ExportMap::Normal))
      return "the last choice was not remembered";
    if (p.AlphaChannel->isEnabled()) return "alpha offered for a normal map";
    p.Content->setCurrentIndex(p.Content->findData(static_cast<int>(ExportMap::Picture)));
    p.Depth->setCurrentIndex(p.Depth->findData(kDepth8));
    p.AlphaChannel->setChecked(true);
    return {};
  });
  QVERIFY2(problems_.isEmpty(), qPrintable(problems_.join('\n')));
  QVERIFY2(host_.errors.isEmpty(), qPrintable(host_.errors.join('\n')));
  QCOMPARE(host_.messages.size(), 2);
  const QString rgbaRef = dir_.filePath(QStringLiteral("a-ref.tif"));
  QVERIFY(RunVelmora(ini, {"render", "-o", rgbaRef, "--size", "40x24", "--alpha-channel"}));
  QVERIFY(ReadAll(rgba) == ReadAll(rgbaRef));
}

// The movie output's dialog offers the depths of the series its name makes
// (8 bits for a movie file); a 16-bit PNG series chosen there is written as
// the command line's movie --depth 16 writes it.
void StillDialogTest::seriesDepthFromTheMovieOutput() {
  QVERIFY(w_);
  w_->MaxFrame->setText(QStringLiteral("1"));
  w_->MaxFrameExit();
  Save(
      [&](QFileDialog& d, StillOptionsPanel& p) -> QString {
        auto* edit = d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        edit->setText(dir_.filePath(QStringLiteral("m.avi")));
        if (p.Depth->count() != 1 || p.AlphaChannel->isVisible()) return "a movie offers 8 bits";
        edit->setText(dir_.filePath(QStringLiteral("w.png")));
        if (p.Depth->count() != 2) return "a PNG series does not offer 16 bits";
        p.Depth->setCurrentIndex(p.Depth->findData(kDepth16));
        p.Content->setCurrentIndex(p.Content->findData(static_cast<int>(ExportMap::Picture)));
        return {};
      },
      w_->ReferOutPut);
  QVERIFY2(problems_.isEmpty(), qPrintable(problems_.join('\n')));
  QCOMPARE(w_->OutPutFilen->text(), dir_.filePath(QStringLiteral("w.png")));
  host_.errors.clear();
  w_->SaveMovie->click();
  QTRY_VERIFY_WITH_TIMEOUT(!w_->ExportRunning(), 120000);
  QVERIFY2(host_.errors.isEmpty(), qPrintable(host_.errors.join('\n')));
  const QString ini = dir_.filePath(QStringLiteral("velmora.ini"));
  const std::string ref = dir_.filePath(QStringLiteral("c.png")).toStdString();
  QVERIFY(RunVelmora(ini, {"movie", "-o", QString::fromStdString(ref), "--depth", "16",
                           "--set", "resolution=40x24", "--set", "frames=0..1"}));
  const std::string window = dir_.filePath(QStringLiteral("w.png")).toStdString();
  for (int32_t f = 0; f <= 1; ++f) {
    const QByteArray frame = ReadAll(QString::fromStdString(NumberedFileName(window, f)));
    QVERIFY(!frame.isEmpty());
    QVERIFY(frame == ReadAll(QString::fromStdString(NumberedFileName(ref, f))));
  }
}

QTEST_MAIN(StillDialogTest)
#include "app_stilldialog_test.moc"
