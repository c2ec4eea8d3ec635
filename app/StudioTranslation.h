// The window's texts are Japanese in the source; English (and any other
// shipped language) comes from the Qt translation files embedded under
// ":/i18n".  They are loaded when the user's locale names a language other
// than Japanese.
#pragma once

#include <QString>

class QCoreApplication;

// The first non-empty of LANGUAGE, LC_ALL, LC_MESSAGES and LANG (LANGUAGE
// only when the locale is not C), or "" when none is set.
QString MessagesLocale();
// False for an unset, C, POSIX or Japanese locale.
bool WantsTranslation(const QString& locale);
// Installs one translator per embedded translation file when the locale
// wants a translation; returns how many were installed.
int InstallTranslations(QCoreApplication& app);
