// The window's texts are Japanese in the source; English (and any other
// shipped language) comes from the Qt translation files embedded under
// ":/i18n".  They are loaded when the user's locale names a language other
// than Japanese.  Qt's own dialogs and buttons follow the window: when the
// window stays Japanese, Qt's Japanese catalogue (qt6-translations-l10n) is
// loaded beside it.
#pragma once

#include <QString>

class QCoreApplication;

// The first non-empty of LANGUAGE, LC_ALL, LC_MESSAGES and LANG (LANGUAGE
// only when the locale is not C), or "" when none is set.
QString MessagesLocale();
// False for an unset, C, POSIX or Japanese locale.
bool WantsTranslation(const QString& locale);
// Installs one translator per embedded translation file when the locale
// wants a translation, else Qt's Japanese translator; returns how many were
// installed.
int InstallTranslations(QCoreApplication& app);
