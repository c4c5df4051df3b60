#include "AppContext.h"
#include "Gestione.h"
#include "QtDialogs.h"

#include "Translation.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Gestione Ordini"));
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(GESTIONE_VERSION_MAJOR)
                                            .arg(GESTIONE_VERSION_MINOR)
                                            .arg(GESTIONE_VERSION_PATCH));
    installItalianTranslation(app);

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
