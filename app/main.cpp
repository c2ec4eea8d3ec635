// Entry point of the desktop application: velmora-studio [PROJECT.vlm].
#include <QApplication>
#include <clocale>
#include <cstdio>
#include <cstring>

#include "app/DialogHost.h"
#include "app/MainWindow.h"
#include "app/StudioTranslation.h"
#include "base/Translate.h"
#include "output/Settings.h"

namespace {

const char kStudioUsage[] =
    "usage: velmora-studio [PROJECT.vlm]\n"
    "The desktop application of Velmora: edit and animate tiling cloud patterns,\n"
    "export pictures and movies.  PROJECT.vlm is opened at start.\n"
    "  -h, --help     this text\n"
    "  --version      the program's version\n"
    "Qt's own options (-platform NAME, ...) are accepted as well.\n";

}  // namespace

int main(int argc, char** argv) {
  // Answered before Qt starts, so they work without a display.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kStudioUsage, stdout);
      return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("velmora-studio %s\n", VELMORA_VERSION);
      return std::fflush(stdout) == 0 ? 0 : 1;
    }
  }
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
