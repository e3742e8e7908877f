#include "service/QtDutchTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

QTranslator *InstallQtDutchTranslations(QCoreApplication &app)
{
    // "qt_nl" gathers the catalogues of the Qt modules (qtbase_nl and the others) and loads them with it.
    auto *translator = new QTranslator(&app);
    if (!translator->load(QLocale(QLocale::Dutch, QLocale::Netherlands), QStringLiteral("qt"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}
