#include "app/Language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QStringList>
#include <QTranslator>

namespace {

// Qt's German texts, and the program's English ones; at most one of the
// two is installed.
QPointer<QTranslator>& qtGerman()
{
    static QPointer<QTranslator> translator;
    return translator;
}

QPointer<QTranslator>& programEnglish()
{
    static QPointer<QTranslator> translator;
    return translator;
}

void uninstall(QPointer<QTranslator>& translator)
{
    if (translator.isNull())
        return;
    QCoreApplication::removeTranslator(translator);
    delete translator.data();
}

// The language part of "de_DE.UTF-8", "en_GB@euro", "de-AT", "en".
QString languagePart(const QString& name)
{
    qsizetype end = 0;
    while (end < name.size() && name[end].isLetter())
        ++end;
    return name.left(end).toLower();
}

bool isPlainLocale(const QString& name)
{
    const QString language = languagePart(name);
    return name.isEmpty() || language == QLatin1String("c") || language == QLatin1String("posix");
}

} // namespace

UiLanguage ChooseLanguage(const QString& language, const QString& lcAll, const QString& lcMessages, const QString& lang)
{
    const QStringList preferences = language.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& preference : preferences) {
        const QString part = languagePart(preference);
        if (part == QLatin1String("de"))
            return UiLanguage::German;
        if (part == QLatin1String("en"))
            return UiLanguage::English;
    }
    // A list of languages the program does not speak: English serves
    // those users better than German.
    for (const QString& preference : preferences)
        if (!isPlainLocale(preference))
            return UiLanguage::English;

    const QString messages = !lcAll.isEmpty() ? lcAll : !lcMessages.isEmpty() ? lcMessages : lang;
    if (isPlainLocale(messages) || languagePart(messages) == QLatin1String("de"))
        return UiLanguage::German;
    return UiLanguage::English;
}

UiLanguage LanguageFromEnvironment()
{
    return ChooseLanguage(qEnvironmentVariable("LANGUAGE"), qEnvironmentVariable("LC_ALL"),
                          qEnvironmentVariable("LC_MESSAGES"), qEnvironmentVariable("LANG"));
}

bool InstallGermanLanguage(QCoreApplication& app)
{
    uninstall(programEnglish());
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    if (!qtGerman().isNull())
        return true;
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    qtGerman() = translator;
    return true;
}

UiLanguage InstallLanguage(QCoreApplication& app, UiLanguage wanted, const QString& englishFile)
{
    if (wanted == UiLanguage::English) {
        if (!programEnglish().isNull())
            return UiLanguage::English;
        auto* translator = new QTranslator(&app);
        if (translator->load(englishFile) && !translator->isEmpty()) {
            uninstall(qtGerman());
            QCoreApplication::installTranslator(translator);
            programEnglish() = translator;
            // Qt's own texts are English already. Numbers are written the
            // English way (the desktop's own English where it has one), and
            // the pictures with words come in English (stillwise.qrc).
            const QLocale system = QLocale::system();
            QLocale::setDefault(system.language() == QLocale::English
                                    ? system
                                    : QLocale(QLocale::English, QLocale::UnitedKingdom));
            return UiLanguage::English;
        }
        delete translator;
    }
    InstallGermanLanguage(app);
    return UiLanguage::German;
}

QString TranslateEarly(const char* context, const char* german)
{
    if (LanguageFromEnvironment() == UiLanguage::English) {
        QTranslator english;
        if (english.load(QString::fromLatin1(kEnglishTranslation))) {
            const QString text = english.translate(context, german);
            if (!text.isEmpty())
                return text;
        }
    }
    return QString::fromUtf8(german);
}
