#pragma once
// The program's language: German, its source language, or English.
//
// The choice follows the desktop the way gettext programs do: LANGUAGE (a
// colon-separated list of preferences) comes first, then the messages
// locale from LC_ALL, LC_MESSAGES or LANG. Unlike glibc, LANGUAGE counts also
// when the locale is C or POSIX, so that `LANGUAGE=en stillwise` gives English
// on a machine with no locale set up. Without a preference (no LANGUAGE, and
// the locale C, POSIX or unset) the program speaks German, as it always has.
//
// Qt's own dialogs (file and print dialogs, message box buttons, context
// menus) and the way numbers are written follow the same choice.

#include <QString>

class QCoreApplication;

enum class UiLanguage { German, English };

// The program's English translation, compiled into the program.
inline constexpr const char* kEnglishTranslation = ":/i18n/stillwise_en.qm";

// The choice from the four variables' values (empty when unset).
UiLanguage ChooseLanguage(const QString& language, const QString& lcAll, const QString& lcMessages,
                          const QString& lang);

// The choice from this process's environment.
UiLanguage LanguageFromEnvironment();

// Installs the language into the application and answers which one is in
// force: English falls back to German, without a word to the user, when its
// translation cannot be loaded from englishFile. May be called again with
// another language; windows made afterwards speak the new one.
UiLanguage InstallLanguage(QCoreApplication& app, UiLanguage wanted,
                           const QString& englishFile = QString::fromLatin1(kEnglishTranslation));

// Loads Qt's German translations into the application (once) and makes the
// German locale the default. Answers whether the translations were found.
bool InstallGermanLanguage(QCoreApplication& app);

// A text marked with QT_TRANSLATE_NOOP(context, ...) in the language of the
// environment, for the few words said before there is an application.
QString TranslateEarly(const char* context, const char* german);
