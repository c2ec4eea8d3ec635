// The main window as a desktop editor, driven offscreen: the question before
// unsaved changes are dropped, undo and redo from the keyboard, a project
// dropped on the window, the recent projects and Qt's own texts in Japanese.
#include <QAction>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTranslator>
#include <QUrl>
#include <QtTest>
#include <deque>

#include "app/DialogHost.h"
#include "app/MainWindow.h"
#include "app/StudioTranslation.h"
#include "app/StudioWidgets.h"
#include "output/WindowSettings.h"
#include "project/ProjectText.h"

using namespace velmora;

namespace {

class AskingHost : public DialogHost {
 public:
  std::deque<std::optional<QString>> files;
  std::deque<TSaveAnswer> answers;
  QStringList asked, errors;

  std::optional<QString> OpenFileName(QWidget*, const TFileDialogOptions&) override {
    return Next();
  }
  std::optional<QString> SaveFileName(QWidget*, const TFileDialogOptions&) override {
    return Next();
  }
  void Message(QWidget*, const QString&) override {}
  void Error(QWidget*, const QString& text) override { errors << text; }
  std::optional<QColor> ChooseColour(QWidget*, const QColor&, TCustomColours&) override {
    return std::nullopt;
  }
  int Exec(QDialog&) override { return 0; }
  TSaveAnswer AskSaveChanges(QWidget*, const QString& text) override {
    asked << text;
    const TSaveAnswer a = answers.empty() ? TSaveAnswer::Cancel : answers.front();
    if (!answers.empty()) answers.pop_front();
    return a;
  }

 private:
  std::optional<QString> Next() {
    if (files.empty()) return std::nullopt;
    auto f = files.front();
    files.pop_front();
    return f;
  }
};

void Type(QLineEdit* e, const QString& text) {
  e->setText(text);
  e->setModified(true);
  emit e->editingFinished();
}

std::string Text(MainWindow& w) { return BuildProjectText(w.Doc()); }

}  // namespace

class EditorTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QString settings() const { return dir_.filePath(QStringLiteral("velmora.ini")); }
  QString file(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }

 private slots:
  void init() { QFile::remove(settings()); }

  void unsavedChangesAreAskedAbout() {
    AskingHost host;
    MainWindow w(host, settings().toStdString());
    w.show();
    New1Untouched(w, host);
    Type(w.ResX, QStringLiteral("640"));
    QVERIFY(w.windowTitle().startsWith(QStringLiteral("新規.vlm* - ")));
    // Cancel leaves everything as it was; so does a save that fails.
    host.answers = {TSaveAnswer::Cancel, TSaveAnswer::Save};
    host.files = {file("missing/folder/p.vlm")};
    w.New1->trigger();
    w.New1->trigger();
    QCOMPARE(host.asked.size(), 2);
    QCOMPARE(host.errors.size(), 1);
    QCOMPARE(w.Doc().Params.ResX, 640);
    QVERIFY(w.Doc().Modified());
    w.close();  // the close box, answered Cancel
    w.Cancel->click();
    QVERIFY(w.isVisible());
    // The failed name stays the project's; Save as picks another.  Then
    // quitting with Save writes the changes first.
    host.files = {file("kept.vlm")};
    w.SaveAs1->trigger();
    QVERIFY(!w.Doc().Modified());
    Type(w.ResY, QStringLiteral("300"));
    host.answers = {TSaveAnswer::Save};
    w.Exit1->trigger();
    QVERIFY(!w.isVisible());
    QFile kept(file("kept.vlm"));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QVERIFY(kept.readAll().contains("640 300 resolution\r\n"));
    QVERIFY(!w.Doc().Modified());
    QCOMPARE(w.windowTitle(), QStringLiteral("kept.vlm - 簡易雲模様動画生成～べるもら～"));
    // Discard drops the change.
    w.show();
    Type(w.ResY, QStringLiteral("100"));
    host.answers = {TSaveAnswer::Discard};
    w.New1->trigger();
    QCOMPARE(w.Doc().Params.ResY, 512);
    QVERIFY(!w.History().CanUndo());
    QCOMPARE(host.asked.size(), 6);
  }

  void undoKeysGiveBackTheSavedBytes() {
    AskingHost host;
    MainWindow w(host, settings().toStdString());
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    const std::string before = Text(w);
    w.cxedbx->setFocus();
    Type(w.cxedbx, QStringLiteral("0.25"));
    // One drag of a slider is one step, however far it moves.
    w.Complex->setSliderDown(true);
    for (int v : {120, 140, 160}) w.Complex->setValue(v);
    w.Complex->setSliderDown(false);
    const std::string after = Text(w);
    QVERIFY(after != before);
    QTest::keyClick(w.cxedbx, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(w.Complex->value(), 100);
    QCOMPARE(w.cxedbx->text(), QStringLiteral("0.25"));
    QTest::keyClick(w.cxedbx, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(Text(w), before);
    QCOMPARE(w.cxedbx->text(), QStringLiteral("0"));
    QVERIFY(!w.Doc().Modified());
    QVERIFY(!w.windowTitle().contains(QLatin1Char('*')));
    QTest::keyClick(w.cxedbx, Qt::Key_Y, Qt::ControlModifier);
    QTest::keyClick(w.cxedbx, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(Text(w), after);
    QVERIFY(w.Doc().Modified());
    // While a text is being typed, the keys undo the typing only.
    w.cxedbx->selectAll();
    QTest::keyClicks(w.cxedbx, QStringLiteral("9"));
    QTest::keyClick(w.cxedbx, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(w.cxedbx->text(), QStringLiteral("0.25"));
    QCOMPARE(Text(w), after);
  }

  void droppedProjectOpensAndIsRecent() {
    AskingHost host;
    {
      MainWindow source(host, settings().toStdString());
      source.show();
      Type(source.Seed, QStringLiteral("77"));
      host.files = {file("drop.vlm")};
      source.SaveAs1->trigger();
    }
    MainWindow w(host, settings().toStdString());
    w.show();
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(file("drop.vlm"))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &drop);
    QCOMPARE(w.Seed->text(), QStringLiteral("77"));
    QCOMPARE(w.windowTitle(), QStringLiteral("drop.vlm - 簡易雲模様動画生成～べるもら～"));
    // Another kind of file is refused.
    QMimeData text;
    text.setUrls({QUrl::fromLocalFile(file("notes.txt"))});
    QDragEnterEvent other(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &other);
    QVERIFY(!other.isAccepted());

    const std::vector<std::string> recent = ReadRecentProjects(settings().toStdString());
    QCOMPARE(recent.size(), size_t{1});  // saved, then opened: one entry
    QCOMPARE(QString::fromStdString(recent[0]), file("drop.vlm"));
    emit w.Recent1->aboutToShow();
    QCOMPARE(w.Recent1->actions().size(), 1);
    QCOMPARE(w.Recent1->actions()[0]->text(), QStringLiteral("&1 ") + file("drop.vlm"));
    Type(w.Seed, QStringLiteral("5"));
    host.answers = {TSaveAnswer::Discard};
    w.Recent1->actions()[0]->trigger();
    QCOMPARE(w.Seed->text(), QStringLiteral("77"));
  }

  void everyControlExplainsItself() {
    AskingHost host;
    MainWindow w(host, settings().toStdString());
    w.show();
    for (QWidget* c : w.centralWidget()->findChildren<QWidget*>()) {
      const bool control = qobject_cast<QAbstractSlider*>(c) || qobject_cast<QLineEdit*>(c) ||
                           qobject_cast<QAbstractButton*>(c) || qobject_cast<ColourPanel*>(c);
      if (control && !c->objectName().isEmpty())
        QVERIFY2(!c->toolTip().isEmpty(), qPrintable(c->objectName()));
    }
    QVERIFY(w.Complex->toolTip().contains(QStringLiteral("0.005〜1（0.005 刻み）")));
    QVERIFY(w.cxedbx->toolTip().startsWith(QStringLiteral("雲模様の位置。")));
    // New clears what the last export left in the progress panel.
    w.doneframe->setText(QStringLiteral("31"));
    w.TProgressBar->setValue(100);
    w.New1->trigger();
    QCOMPARE(w.doneframe->text(), QStringLiteral("0"));
    QCOMPARE(w.TProgressBar->value(), 0);
  }

  void qtDialogsSpeakJapaneseUnderAJapaneseLocale() {
    qputenv("LANGUAGE", "");
    qputenv("LC_ALL", "");
    qputenv("LC_MESSAGES", "");
    qputenv("LANG", "ja_JP.UTF-8");
    QCOMPARE(InstallTranslations(*QCoreApplication::instance()), 1);
    QDialogButtonBox box(QDialogButtonBox::Save | QDialogButtonBox::Discard |
                         QDialogButtonBox::Cancel);
    QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("キャンセル"));
    QVERIFY(!box.button(QDialogButtonBox::Save)->text().contains(QStringLiteral("Save")));
    for (QTranslator* t : QCoreApplication::instance()->findChildren<QTranslator*>())
      QCoreApplication::removeTranslator(t);
  }

 private:
  static void New1Untouched(MainWindow& w, AskingHost& host) {
    w.New1->trigger();  // nothing changed: nothing asked
    QVERIFY(host.asked.isEmpty());
  }
};

QTEST_MAIN(EditorTest)
#include "app_editor_test.moc"
