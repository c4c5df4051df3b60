#include "Translation.h"

#include "ItalianPickers.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool installItalianTranslation(QCoreApplication& app) {
    auto* qt = new QTranslator(&app);
    if (!qt->load(QLocale(QLocale::Italian, QLocale::Italy), QStringLiteral("qtbase"),
                  QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete qt;
        return false;
    }
    if (!QCoreApplication::installTranslator(qt))
        return false;
    makePickersItalian(app);
    return true;
}
