#include "AppContext.h"
#include "Gestione.h"
#include "QtDialogs.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Gestione Ordini"));
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(GESTIONE_VERSION_MAJOR)
                                            .arg(GESTIONE_VERSION_MINOR)
                                            .arg(GESTIONE_VERSION_PATCH));
    // Standard buttons in Italian: Sì, No, Annulla.
    QTranslator qt;
    if (qt.load(QLocale(QLocale::Italian, QLocale::Italy), QStringLiteral("qtbase"),
                QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qt);

    QtDialogs dialogs;
    SystemClock clock;
    DesktopFileOpener opener;
    AppContext ctx(dialogs, clock, opener, QApplication::applicationDirPath());

    Gestione window(ctx);
    dialogs.setParent(&window);
    if (!window.Form_Load())
        return 1;
    window.show();
    return app.exec();
}
