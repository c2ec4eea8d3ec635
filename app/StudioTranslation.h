// The window's texts are Japanese in the source; English comes from the Qt
// translation files embedded under ":/i18n".  They are loaded under every
// locale but a Japanese one: C, POSIX and an unset locale speak English.
// Qt's own dialogs and buttons follow the window: when the window stays
// Japanese, Qt's Japanese catalogue (qt6-translations-l10n) is loaded beside
// it.
#pragma once

#include <QString>

class QCoreApplication;

// The first non-empty of LANGUAGE, LC_ALL, LC_MESSAGES and LANG (LANGUAGE
// only when the locale is not C), or "" when none is set.
QString MessagesLocale();
// False only for a Japanese locale.
bool WantsTranslation(const QString& locale);
// Installs one translator per embedded translation file when the locale
// wants a translation, else Qt's Japanese translator; returns how many were
// installed.
int InstallTranslations(QCoreApplication& app);
