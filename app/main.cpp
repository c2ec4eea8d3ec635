// Entry point of the desktop application: velmora-studio [PROJECT.vlm].
#include <QApplication>
#include <clocale>

#include "app/DialogHost.h"
#include "app/MainWindow.h"
#include "app/StudioTranslation.h"
#include "base/Translate.h"
#include "output/Settings.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // Qt takes the whole locale from the environment; numbers keep "." and the
  // engine's own messages (shown in message boxes) follow the user's language.
  std::setlocale(LC_NUMERIC, "C");
  velmora::SetUpMessageLanguage(argc > 0 ? argv[0] : "");
  QApplication::setApplicationName(QStringLiteral("velmora-studio"));
  InstallTranslations(app);
  QtDialogHost host;
  MainWindow window(host, velmora::SettingsPath());
  window.show();
  const QStringList args = QApplication::arguments();
  if (args.size() > 1) window.OpenProject(args.at(1));
  return app.exec();
}
