// Entry point of the desktop application.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QMainWindow window;
  window.setWindowTitle(QStringLiteral("簡易雲模様動画生成～べるもら～"));
  window.show();
  return app.exec();
}
