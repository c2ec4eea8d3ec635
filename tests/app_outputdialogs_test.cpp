// The output dialogs of the desktop application, offscreen: the JPEG
// quality dialog, the movie compression options and the movie preview window.
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include "app/MoviePreviewWindow.h"
#include "app/AviOptionsDialog.h"
#include "app/JpegQualityDialog.h"
#include "output/AviWriter.h"
#include "output/Settings.h"

using namespace velmora;

class OutputDialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void jpegQualityIsStoredOnOkOnly();
  void aviOptionsRoundTripSectionAwr();
  void previewWindowPlaysLoopsAndSteps();
};

void OutputDialogsTest::jpegQualityIsStoredOnOkOnly() {
  QTemporaryDir dir;
  const std::string ini = dir.filePath("v.ini").toStdString();
  uint8_t quality = ReadJpegQuality(ini);  // no file: 75
  JpegQualityDialog form(quality, ini);
  form.show();
  QCOMPARE(form.Quality->value(), 75);
  QCOMPARE(form.QualityText->text(), QStringLiteral("75%"));
  form.Quality->setValue(0);
  QCOMPARE(form.QualityText->text(), QStringLiteral("0%"));
  form.BitBtn1->click();
  QVERIFY(!form.isVisible());
  QCOMPARE(quality, uint8_t{0});
  QCOMPARE(ReadJpegQuality(ini), uint8_t{0});

  form.show();
  QCOMPARE(form.QualityText->text(), QStringLiteral("0%"));
  form.Quality->setValue(100);
  form.BitBtn2->click();
  QCOMPARE(quality, uint8_t{0});
  QCOMPARE(ReadJpegQuality(ini), uint8_t{0});
  form.show();  // reopening shows the kept value
  QCOMPARE(form.Quality->value(), 0);
}

void OutputDialogsTest::aviOptionsRoundTripSectionAwr() {
  QTemporaryDir dir;
  const std::string ini = dir.filePath("v.ini").toStdString();
  {
    // Nothing stored: the dialog shows what a movie would use; Cancel
    // writes nothing.
    AviOptionsDialog d(ini);
    QCOMPARE(d.Options(), DefaultAviOptions());
    d.reject();
    QVERIFY(!SettingsFileExists(ini));
  }
  // Untouched values come back exactly, odd ones included.
  AviOptions stored;
  stored.handler = FourCC('X', 'V', 'I', 'D');
  stored.keyFrameEvery = 7;
  stored.quality = 7550;
  stored.bytesPerSecond = 100001;
  stored.flags = AviFlagKeyFrames | AviFlagDataRate | AviFlagValid;
  QVERIFY(AviOptionsSave(ini, stored, nullptr));
  {
    AviOptionsDialog d(ini);
    QCOMPARE(d.Codec->currentData().toUInt(), stored.handler);
    QCOMPARE(d.QualityBar->value(), 76);
    QCOMPARE(d.KeyFrameEvery->value(), 7);
    QCOMPARE(d.DataRate->value(), 98);
    d.accept();
    AviOptions back;
    QVERIFY(AviOptionsLoad(ini, back));
    QCOMPARE(back, stored);
  }
  {
    // Changed values: H.264 at 40 %, no data rate, a key frame every 30.
    AviOptionsDialog d(ini);
    d.Codec->setCurrentIndex(d.Codec->findData(QVariant::fromValue<uint>(FourCC('H', '2', '6', '4'))));
    d.QualityBar->setValue(40);
    d.DataRateChk->setChecked(false);
    d.KeyFrameEvery->setValue(30);
    d.accept();
    AviOptions back;
    QVERIFY(AviOptionsLoad(ini, back));
    QCOMPARE(back.handler, FourCC('H', '2', '6', '4'));
    QCOMPARE(back.quality, 4000);
    QCOMPARE(back.keyFrameEvery, 30);
    QCOMPARE(back.flags, AviFlagKeyFrames | AviFlagValid);
    QCOMPARE(back.bytesPerSecond, 100001);
  }
  // The codecs offered are those FFmpeg can write into AVI.
  AviOptionsDialog d(ini);
  for (uint32_t h : {0u, FourCC('M', 'J', 'P', 'G'), FourCC('F', 'F', 'V', '1'),
                     FourCC('X', 'V', 'I', 'D')})
    QVERIFY(d.Codec->findData(QVariant::fromValue<uint>(h)) >= 0);
}

void OutputDialogsTest::previewWindowPlaysLoopsAndSteps() {
  QTemporaryDir dir;
  MoviePreviewWindow view;
  QVERIFY(!view.SetFileName(dir.filePath("missing.avi")));
  QVERIFY(view.windowTitle().isEmpty());

  const QString path = dir.filePath("m.avi");
  AviWriter w;
  QVERIFY(w.Open(path.toStdString(), 64, 40, DefaultAviOptions()));
  Bitmap24 bm;
  bm.SetSize(64, 40);
  for (int i = 0; i < 4; ++i) QVERIFY(w.Write(bm, i));
  QVERIFY(w.Close());

  QVERIFY(view.SetFileName(path));
  QCOMPARE(view.windowTitle(), path);
  view.show();
  QVERIFY(view.Timer->isActive());
  QCOMPARE(view.Bar->maximum(), 3);
  QCOMPARE(view.Bar->y(), 23);
  QCOMPARE(view.MediaPlayer->height(), 20);
  view.Timer->stop();  // the test drives the ticks

  view.Tick(20);  // the first tick starts playing
  QCOMPARE(view.Player().Mode(), PlayerMode::Playing);
  for (int i = 0; i < 6; ++i) view.Tick(20);  // 120 ms: frame 3, the last
  QCOMPARE(view.Bar->value(), 3);
  view.Tick(40);  // past the end: starts over at frame 0
  QCOMPARE(view.RememberedState(), PlayerMode::Playing);
  QCOMPARE(view.Player().Position(), 0);
  QVERIFY(!view.BtnPlay->isEnabled());

  view.BtnPause->click();
  view.Tick(20);
  QCOMPARE(view.RememberedState(), PlayerMode::Paused);
  QVERIFY(view.BtnPlay->isEnabled() && view.BtnBack->isEnabled() && !view.BtnPause->isEnabled());
  view.BtnBack->click();  // at frame 0: to the last frame
  QCOMPARE(view.Player().Position(), 3);
  view.BtnStep->click();  // at the last frame: to frame 0
  QCOMPARE(view.Player().Position(), 0);
  view.BtnStep->click();  // one forward, paused
  QCOMPARE(view.Player().Position(), 1);
  QCOMPARE(view.RememberedState(), PlayerMode::Paused);
  view.Tick(500);  // paused: stays
  QCOMPARE(view.Bar->value(), 1);
  view.Bar->setValue(2);  // the slider while paused shows that frame
  view.Tick(20);
  QCOMPARE(view.Player().Position(), 2);
  QCOMPARE(view.RememberedState(), PlayerMode::Paused);

  view.BtnStop->click();  // closes the window and the movie
  QVERIFY(!view.isVisible());
  QVERIFY(!view.Player().IsOpen());
  QVERIFY(!view.Timer->isActive());
}

QTEST_MAIN(OutputDialogsTest)
#include "app_outputdialogs_test.moc"
