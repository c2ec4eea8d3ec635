// The main window driven offscreen: the control inventory, the preview
// debounce, keying and the File menu through real files, the settings it
// writes, the colour choice and the conversion errors.
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <QtTest>
#include <deque>

#include "anim/CurveSet.h"
#include "anim/ParamsText.h"
#include "anim/ProjectModel.h"
#include "app/DialogHost.h"
#include "app/MainWindow.h"
#include "app/StudioTranslation.h"
#include "app/StudioWidgets.h"
#include "output/Settings.h"
#include "output/StillImage.h"

using namespace velmora;

namespace {

// Answers the dialogs from queues and records the messages.
class ScriptedHost : public DialogHost {
 public:
  std::deque<std::optional<QString>> files;
  std::deque<std::optional<QColor>> colours;
  QStringList messages;
  TFileDialogOptions lastFileDialog;
  TCustomColours offeredCustom{};
  QColor newCustom0;

  std::optional<QString> OpenFileName(QWidget*, const TFileDialogOptions& o) override {
    return NextFile(o);
  }
  std::optional<QString> SaveFileName(QWidget*, const TFileDialogOptions& o) override {
    return NextFile(o);
  }
  void Message(QWidget*, const QString& text) override { messages << text; }
  void Error(QWidget*, const QString& text) override { messages << text; }
  std::optional<QColor> ChooseColour(QWidget*, const QColor&, TCustomColours& custom) override {
    offeredCustom = custom;
    if (newCustom0.isValid()) custom[0] = newCustom0;
    auto c = colours.empty() ? std::nullopt : colours.front();
    if (!colours.empty()) colours.pop_front();
    return c;
  }
  int Exec(QDialog&) override { return 0; }

 private:
  std::optional<QString> NextFile(const TFileDialogOptions& o) {
    lastFileDialog = o;
    if (files.empty()) return std::nullopt;
    auto f = files.front();
    files.pop_front();
    return f;
  }
};

QString Listing(MainWindow& w) {
  return QString::fromStdString(FormatParamsListing(w.Doc().Params, w.Doc().Model));
}

// `velmora params FILE --frame F` of the command line.
QString CliParams(const QString& file, int frame) {
  QProcess p;
  p.start(qEnvironmentVariable("VELMORA_BIN"),
          {QStringLiteral("params"), file, QStringLiteral("--frame"), QString::number(frame)});
  if (!p.waitForFinished(30000) || p.exitCode() != 0) return QStringLiteral("<failed>");
  return QString::fromUtf8(p.readAllStandardOutput());
}

QByteArray Bytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QString settings() const { return dir_.filePath(QStringLiteral("velmora.ini")); }

 private slots:
  void init() { QFile::remove(settings()); }

  void inventoryCaptionsAndSize() {
    ScriptedHost host;
    MainWindow w(host, settings().toStdString());
    w.show();
    QCOMPARE(w.windowTitle(), QStringLiteral("簡易雲模様動画生成～べるもら～"));
    QCOMPARE(w.centralWidget()->size(), QSize(913, 423));
    const char* names[] = {
        "ResX", "ResY", "OverSamplingEdBx", "Seed", "textureresolution", "PileModeAdd",
        "PileModeSub", "PileModeNorm", "Upper", "DisplayTextureLayer", "Brightness", "Complex",
        "Coverrate", "MinRadius", "MaxRadius", "Noise", "centertrackbar", "centerreverse_chkbx",
        "ClipBrightnessChkBx", "cxedbx", "cyedbx", "wMinRadius", "wMaxRadius", "wNoise", "WX",
        "WY", "wx1edbx", "wy1edbx", "wx2edbx", "wy2edbx", "StartColor", "EndColor",
        "StartColorAlpha", "EndColorAlpha", "ColorFilter_SlopeR", "ColorFilter_SlopeG",
        "ColorFilter_SlopeB", "ColorFilter_Slopea", "ColorFilterReset", "BlurRadiusEdBx",
        "BlurSamplesEdbx", "BlurCurveBar", "BlurBrushRotXEdBx", "BlurBrushRotYEdBx",
        "BlurBrushRotZEdBx", "BlurDraft", "Bevel1", "INternalCloudPreview", "ColorFilterPreview",
        "BlurCurveSample", "AutoUpdate", "Redraw", "ShowCloudPen", "ShowWarpPenR",
        "ShowWarpPenG", "ShowWarpPenB", "ShowBasePattern", "ShowWarpTemplate", "TimeLine",
        "MaxFrame", "CurFrame", "PrevKey", "NextKey", "DeleteKeys", "Button2", "OutPutFilen",
        "OutPutAlpha", "ReferOutPut", "ReferOutPutAlpha", "FromCurrentFrame", "SavePicture",
        "SaveMovie", "Abort", "TProgressBar", "IProgressBar", "PixeProgressBar", "doneframe",
        "tolframe", "savefilename", "savealphaname", "Okey", "Cancel"};
    for (const char* n : names)
      QVERIFY2(w.findChild<QWidget*>(QString::fromLatin1(n)), n);
    QCOMPARE(w.INternalCloudPreview->size(), QSize(128, 128));
    QCOMPARE(w.Complex->minimum(), 1);
    QCOMPARE(w.Complex->maximum(), 200);
    QCOMPARE(w.WX->minimum(), -100);
    QCOMPARE(w.StartColorAlpha->maximum(), 255);
    QCOMPARE(w.PrevKey->text(), QStringLiteral("前のキーを含む時刻へ"));
    QCOMPARE(w.textureresolution->text(), QStringLiteral("テクスチャ画像なし"));
    QVERIFY(w.ResX->toolTip().startsWith(QStringLiteral("雲画像の幅(ピクセル）です。もちろん整数\n")));
    QStringList menus;
    for (QAction* a : w.menuBar()->actions()) menus << a->text();
    QCOMPARE(menus, QStringList({QStringLiteral("ファイル(&F)"), QStringLiteral("編集(&E)"),
                                 QStringLiteral("設定(&S)")}));
    QCOMPARE(w.O1->text(), QStringLiteral("上書き保存(&O)"));
    QCOMPARE(w.AVIA1->text(), QStringLiteral("AVI出力設定(&A)"));
    // The first show applied the new project and rendered the first preview.
    QCOMPARE(w.Seed->text(), QStringLiteral("65536"));
    QCOMPARE(w.PreviewRenders(), 1);
    QVERIFY(!w.SaveMovie->isEnabled());
    QVERIFY(!w.AutoUpdate->isChecked());
    // Exports disable every control, the menus stay usable.
    w.DisableAllControls();
    QVERIFY(!w.Abort->isEnabled() && !w.TimeLine->isEnabled() && w.New1->isEnabled());
    w.EnableAllControls();
    QVERIFY(w.Complex->isEnabled());
  }

  // File > テクスチャ画像を開く... and テクスチャ画像を外す: the label, the
  // preview mixed with the texture, the remembered path; a bad file changes
  // nothing; project files never name the texture.
  void textureOpenAndRemove() {
    ScriptedHost host;
    MainWindow w(host, settings().toStdString());
    w.show();
    w.WaitForPreview();
    const auto clouds = w.PreviewImage().bytes;
    const std::string projectBefore = dir_.filePath(QStringLiteral("a.vlm")).toStdString();
    QVERIFY(w.Doc().Save(projectBefore));
    QVERIFY(!w.RemoveTexture1->isEnabled());

    Bitmap24 picture;
    picture.SetSize(3, 2);
    std::fill(picture.bytes.begin(), picture.bytes.end(), uint8_t{200});
    std::string png;
    QVERIFY(EncodePng(picture, png, nullptr));
    const QString texture = dir_.filePath(QStringLiteral("photo.png"));
    QFile f(texture);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(png.data(), static_cast<qint64>(png.size()));
    f.close();
    host.files = {texture};
    w.OpenTexture1->trigger();
    QCOMPARE(w.textureresolution->text(), QStringLiteral("現在のテクスチャ画像解像度=3x2"));
    QVERIFY(w.DisplayTextureLayer->isChecked());
    QVERIFY(w.RemoveTexture1->isEnabled());
    w.WaitForPreview();
    QVERIFY(w.PreviewImage().bytes != clouds);
    std::string stored;
    QVERIFY(ReadIniString(settings().toStdString(), "Velmora", "TextureFile", stored));
    QCOMPARE(QString::fromStdString(stored), texture);
    // The project file is the same as without the texture.
    const std::string projectAfter = dir_.filePath(QStringLiteral("b.vlm")).toStdString();
    QVERIFY(w.Doc().Save(projectAfter));
    QCOMPARE(Bytes(QString::fromStdString(projectAfter)),
             Bytes(QString::fromStdString(projectBefore)));

    // Unticking DisplayTextureLayer shows the clouds alone.
    w.DisplayTextureLayer->click();
    w.WaitForPreview();
    QCOMPARE(w.PreviewImage().bytes, clouds);
    w.DisplayTextureLayer->click();

    // A file that is no picture: one dialog, the texture stays.
    const QString bad = dir_.filePath(QStringLiteral("bad.png"));
    QFile b(bad);
    QVERIFY(b.open(QIODevice::WriteOnly));
    b.write("no picture");
    b.close();
    host.files = {bad};
    host.messages.clear();
    w.OpenTexture1->trigger();
    QCOMPARE(host.lastFileDialog.Preset, texture);
    QCOMPARE(host.messages.size(), 1);
    QVERIFY(host.messages[0].startsWith(QStringLiteral("テクスチャ画像を開けませんでした。\n")));
    QCOMPARE(w.textureresolution->text(), QStringLiteral("現在のテクスチャ画像解像度=3x2"));

    w.RemoveTexture1->trigger();
    QCOMPARE(w.textureresolution->text(), QStringLiteral("テクスチャ画像なし"));
    QVERIFY(!w.RemoveTexture1->isEnabled());
    w.WaitForPreview();
    QCOMPARE(w.PreviewImage().bytes, clouds);
  }

  void dragRendersOnceAfterThePause() {
    ScriptedHost host;
    MainWindow w(host, settings().toStdString());
    w.show();
    w.PreviewRenderInterval->stop();  // ticks are driven by hand
    for (int i = 0; i < 4; ++i) w.PreviewRenderIntervalTimer();
    w.AutoUpdate->setChecked(true);
    w.WaitForPreview();  // the first preview, rendered on the session's worker
    const int before = w.PreviewRenders();
    const auto cloudBefore = w.PreviewImage().bytes;
    for (int v : {120, 140, 160}) {
      w.Complex->setValue(v);  // one change per 20 ms: no tick in between
    }
    QCOMPARE(w.Doc().Params.Complex, 0.8L);
    w.PreviewRenderIntervalTimer();
    w.PreviewRenderIntervalTimer();
    QCOMPARE(w.PreviewRenders(), before);
    w.PreviewRenderIntervalTimer();
    QCOMPARE(w.PreviewRenders(), before + 1);
    w.WaitForPreview();
    QVERIFY(w.PreviewImage().bytes != cloudBefore);
    for (int i = 0; i < 4; ++i) w.PreviewRenderIntervalTimer();
    QCOMPARE(w.PreviewRenders(), before + 1);
    // Without automatic update the record and keys change, the preview not.
    w.AutoUpdate->setChecked(false);
    w.Brightness->setValue(40);
    for (int i = 0; i < 4; ++i) w.PreviewRenderIntervalTimer();
    QCOMPARE(w.PreviewRenders(), before + 1);
    QCOMPARE(CurveValueAt(w.Doc().Curves->Curves[ccBrightness], 0), 0.4);
  }

  void keysSaveOpenAndNewThroughFiles() {
    ScriptedHost host;
    MainWindow w(host, settings().toStdString());
    w.show();
    const QString path = dir_.filePath(QStringLiteral("two keys.vlm"));
    w.Brightness->setValue(50);  // keyed at frame 0
    w.TimeLine->setValue(60);    // the user moves the thumb
    QCOMPARE(w.CurFrame->text(), QStringLiteral("60"));
    w.Complex->setValue(150);  // keyed at frame 60
    w.OutPutFilen->setText(QStringLiteral("out.avi"));
    QVERIFY(w.SaveMovie->isEnabled());
    const QString at60 = Listing(w);
    // Overwrite save of an unnamed project asks for a name.
    host.files.push_back(path);
    w.O1->trigger();
    QCOMPARE(host.lastFileDialog.NameFilters,
             QStringList{QStringLiteral("べるもら設定ファイル (*.vlm)")});
    QCOMPARE(host.lastFileDialog.Preset, QStringLiteral("新規.vlm"));
    QCOMPARE(w.windowTitle(), QStringLiteral("two keys.vlm - 簡易雲模様動画生成～べるもら～"));
    QCOMPARE(CliParams(path, 60), at60);
    w.TimeLine->setValue(30);
    QCOMPARE(w.Complex->value(), 125);  // halfway between the keys
    QCOMPARE(CliParams(path, 30), Listing(w).replace(QStringLiteral("current_frame 30"),
                                                    QStringLiteral("current_frame 60")));
    const QByteArray saved = Bytes(path);

    w.New1->trigger();
    QCOMPARE(w.Complex->value(), 100);
    QCOMPARE(w.OutPutFilen->text(), QString());
    QCOMPARE(w.windowTitle(), QStringLiteral("新規.vlm - 簡易雲模様動画生成～べるもら～"));

    host.files.push_back(path);
    w.Open1->trigger();
    QVERIFY(host.lastFileDialog.MustExist);
    QCOMPARE(w.TimeLine->value(), 60);
    QCOMPARE(w.Complex->value(), 150);
    QCOMPARE(w.Brightness->value(), 50);
    QCOMPARE(w.OutPutFilen->text(), QStringLiteral("out.avi"));
    QCOMPARE(Listing(w), at60);
    // A named project is saved again without a dialog, byte for byte.
    QFile::remove(path);
    w.O1->trigger();
    QVERIFY(host.files.empty());
    QCOMPARE(Bytes(path), saved);
    // Cancelled dialogs change nothing; a bad path reports and keeps the file.
    host.files.push_back(std::nullopt);
    w.SaveAs1->trigger();
    host.files.push_back(dir_.filePath(QStringLiteral("missing/sub/x.vlm")));
    w.SaveAs1->trigger();
    QCOMPARE(host.messages.size(), 1);
    QCOMPARE(Bytes(path), saved);
  }

  // File > Examples lists the source tree's projects (the test runs from the
  // build folder) and opens one as Open does.
  void examplesMenuOpensTheProject() {
    ScriptedHost host;
    MainWindow w(host, settings().toStdString());
    w.show();
    auto* menu = w.findChild<QMenu*>(QStringLiteral("Examples1"));
    QVERIFY(menu);
    QStringList names;
    for (QAction* a : menu->actions()) names << a->text();
    const QStringList files = QDir(QStringLiteral(VELMORA_SOURCE_DIR "/examples"))
                                  .entryList({QStringLiteral("*.vlm")}, QDir::Files, QDir::Name);
    QCOMPARE(names.size(), files.size());
    QCOMPARE(names.first() + QStringLiteral(".vlm"), files.first());
    menu->actions().at(files.indexOf(QStringLiteral("storm.vlm")))->trigger();
    QCOMPARE(w.windowTitle(), QStringLiteral("storm.vlm - 簡易雲模様動画生成～べるもら～"));
    QCOMPARE(Listing(w), CliParams(QStringLiteral(VELMORA_SOURCE_DIR "/examples/storm.vlm"),
                                   w.TimeLine->value()));
    QVERIFY(host.messages.isEmpty());
  }

  // A project that stops on an error opens with what ran and one message;
  // a value too wide for its field shows its start and is whole in the tooltip.
  void hostileProjectsAreReported() {
    ScriptedHost host;
    MainWindow w(host, settings().toStdString());
    w.show();
    const QString path = dir_.filePath(QStringLiteral("loop.vlm"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("\"TDiv_MP 1 0 0 1.79769313486232E308\" blur_radius\r\nbegin again\r\n");
    f.close();
    host.files.push_back(path);
    w.Open1->trigger();
    QCOMPARE(host.messages.size(), 1);
    const QString m = host.messages.front();
    QVERIFY2(m.contains(path) && m.contains(QStringLiteral("2 行目")) &&
                 m.contains(QStringLiteral("ファイルの残りは実行されませんでした。")),
             qPrintable(m));
    QCOMPARE(w.BlurRadiusEdBx->text(), QStringLiteral("1.79769313486232E308"));
    QCOMPARE(w.BlurRadiusEdBx->cursorPosition(), 0);
    QVERIFY(w.BlurRadiusEdBx->toolTip().endsWith(QStringLiteral("\n1.79769313486232E308")));
    QVERIFY(w.BlurRadiusEdBx->toolTip().startsWith(QStringLiteral("画面幅を１とするぼかし半径")));
  }

  void settingsWrittenByOkeyAndExitOnly() {
    const std::string ini = settings().toStdString();
    {
      ScriptedHost host;
      MainWindow w(host, ini);
      w.show();
      w.AutoUpdate->setChecked(true);
      w.close();  // the close box: only the window's position is stored
    }
    QCOMPARE(ReadIniInteger(ini, "Velmora", "Preview_AutoUpdate", -1), -1);
    QVERIFY(ReadIniInteger(ini, "Velmora", "WindowLeft", -99999) != -99999);
    {
      ScriptedHost host;
      MainWindow w(host, ini);
      w.show();
      w.AutoUpdate->setChecked(true);
      w.Okey->click();
      QVERIFY(!w.isVisible());
    }
    QCOMPARE(ReadIniInteger(ini, "Velmora", "Preview_AutoUpdate", -1), 1);
    {
      ScriptedHost host;
      MainWindow w(host, ini);
      w.show();
      QVERIFY(w.AutoUpdate->isChecked());
      w.AutoUpdate->setChecked(false);
      w.Exit1->trigger();
    }
    QCOMPARE(ReadIniInteger(ini, "Velmora", "Preview_AutoUpdate", -1), 0);
  }

  void colourChoiceStoresCustomColours() {
    const std::string ini = settings().toStdString();
    ScriptedHost host;
    MainWindow w(host, ini);
    w.show();
    host.colours.push_back(std::nullopt);  // cancelled: nothing changes
    emit w.StartColor->clicked();
    QVERIFY(!SettingsFileExists(ini));
    QCOMPARE(host.offeredCustom[5], QColor(Qt::black));
    const auto filterBefore = w.FilterImage().bytes;
    const int renders = w.PreviewRenders();
    host.newCustom0 = QColor(0x12, 0x34, 0x56);
    host.colours.push_back(QColor(200, 100, 50));
    emit w.StartColor->clicked();
    QCOMPARE(w.StartColor->Colour(), 0x3264C8u);
    QCOMPARE(w.Doc().Params.StartColor.r, 200);
    QCOMPARE(CurveValueAt(w.Doc().Curves->Curves[ccStartGreen], 0), 100.0);
    std::string stored;
    QVERIFY(ReadIniString(ini, "CustomColor", "ColorA", stored));
    QCOMPARE(QString::fromStdString(stored), QStringLiteral("563412"));
    QVERIFY(ReadIniString(ini, "CustomColor", "ColorP", stored));
    QCOMPARE(QString::fromStdString(stored), QStringLiteral("000000"));
    // The diagram and the preview follow even without automatic update.
    QVERIFY(w.FilterImage().bytes != filterBefore);
    QCOMPARE(w.PreviewRenders(), renders + 1);
    host.colours.push_back(std::nullopt);
    emit w.EndColor->clicked();
    QCOMPARE(host.offeredCustom[0], QColor(0x12, 0x34, 0x56));
    w.ColorFilterReset->click();
    QCOMPARE(w.StartColor->Colour(), 0u);
    QCOMPARE(w.Doc().Params.StartColor.r, 0);
  }

  void conversionErrorsStopTheRead() {
    ScriptedHost host;
    MainWindow w(host, settings().toStdString());
    w.show();
    w.ResX->setText(QStringLiteral("640"));
    w.Seed->setText(QStringLiteral("12a"));
    emit w.Seed->editingFinished();
    QCOMPARE(host.messages, QStringList{QStringLiteral("'12a' は整数ではありません")});
    QCOMPARE(w.Doc().Params.ResX, 640);
    QCOMPARE(w.Doc().Params.Seed, 65536);
    w.Seed->setText(QStringLiteral("7"));
    w.BlurRadiusEdBx->setText(QStringLiteral("x1"));
    emit w.BlurRadiusEdBx->editingFinished();
    QCOMPARE(host.messages.last(), QStringLiteral("'x1' は浮動小数点数ではありません"));
    QCOMPARE(w.Doc().Params.Seed, 7);
    w.MaxFrame->setText(QStringLiteral("5"));
    emit w.MaxFrame->editingFinished();
    QCOMPARE(w.TimeLine->maximum(), 5);
    w.CurFrame->setText(QStringLiteral("500"));
    emit w.CurFrame->editingFinished();
    QCOMPARE(w.TimeLine->value(), 5);
    QCOMPARE(w.CurFrame->text(), QStringLiteral("5"));  // the frame it was pulled to
  }

  void englishUnderAnEnglishLocale() {
    QVERIFY(WantsTranslation(QString()));
    QVERIFY(WantsTranslation(QStringLiteral("C.UTF-8")));
    QVERIFY(WantsTranslation(QStringLiteral("POSIX")));
    QVERIFY(!WantsTranslation(QStringLiteral("ja_JP.UTF-8")));
    QVERIFY(WantsTranslation(QStringLiteral("en_GB.UTF-8")));
    qputenv("LANGUAGE", "");
    qputenv("LC_ALL", "");
    qputenv("LC_MESSAGES", "");
    qputenv("LANG", "en_US.UTF-8");
    QCOMPARE(MessagesLocale(), QStringLiteral("en_US.UTF-8"));
    QVERIFY(InstallTranslations(*QCoreApplication::instance()) >= 1);
    ScriptedHost host;
    MainWindow w(host, settings().toStdString());
    QVERIFY(!w.windowTitle().contains(QStringLiteral("べるもら")));
    QVERIFY(!w.PrevKey->text().contains(QStringLiteral("キー")));
    for (QTranslator* t : QCoreApplication::instance()->findChildren<QTranslator*>())
      QCoreApplication::removeTranslator(t);
  }
};

QTEST_MAIN(MainWindowTest)
#include "app_mainwindow_test.moc"
