#include "app/Language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>

bool InstallGermanLanguage(QCoreApplication& app)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    static QPointer<QTranslator> installed;
    if (!installed.isNull())
        return true;
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    installed = translator;
    return true;
}
