#include "app/StudioTranslation.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

QString Env(const char* name) { return QString::fromLocal8Bit(qgetenv(name)); }

bool IsPlainC(const QString& locale) {
  return locale == QLatin1String("C") || locale.startsWith(QLatin1String("C.")) ||
         locale == QLatin1String("POSIX");
}

}  // namespace

QString MessagesLocale() {
  QString locale;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    locale = Env(name);
    if (!locale.isEmpty()) break;
  }
  // LANGUAGE lists preferred languages but is ignored under the C locale.
  const QString language = Env("LANGUAGE").section(QLatin1Char(':'), 0, 0);
  if (!language.isEmpty() && !locale.isEmpty() && !IsPlainC(locale)) return language;
  return locale;
}

bool WantsTranslation(const QString& locale) {
  return !locale.startsWith(QLatin1String("ja"));
}

int InstallQtJapanese(QCoreApplication& app) {
  auto* translator = new QTranslator(&app);
  if (translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                       QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
      QCoreApplication::installTranslator(translator))
    return 1;
  delete translator;
  return 0;
}

int InstallTranslations(QCoreApplication& app) {
  // The window's own texts are Japanese unless our English catalogue is
  // wanted; Qt's dialogs and buttons then speak Japanese too.
  if (!WantsTranslation(MessagesLocale())) return InstallQtJapanese(app);
  int installed = 0;
  const QDir dir(QStringLiteral(":/i18n"));
  for (const QString& file : dir.entryList({QStringLiteral("*.qm")}, QDir::Files, QDir::Name)) {
    auto* translator = new QTranslator(&app);
    if (translator->load(dir.filePath(file)) && QCoreApplication::installTranslator(translator))
      ++installed;
    else
      delete translator;
  }
  return installed;
}
