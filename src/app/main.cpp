#include "Display.h"
#include "Gestione.h"
#include "ui/AppContext.h"
#include "ui/QtDialogs.h"

#include "Translation.h"
#include "data/FolderNames.h"

#include <QApplication>

#include <clocale>
#include <cstdio>

int main(int argc, char** argv) {
    if (!displayAvailable(argc, argv)) {
        std::fputs(noDisplayMessage(), stderr);
        return 1;
    }
    endQuietlyWithoutDisplay();
    QApplication app(argc, argv);
    // The toolkit adopts the desktop's locale for the C library too; numbers that C functions
    // write or read (inside libraries as well) keep the full stop. What the window shows follows
    // its own Italian forms and the title clock the system's, neither of which this touches.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("Gestione Ordini"));
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(GESTIONE_VERSION_MAJOR)
                                            .arg(GESTIONE_VERSION_MINOR)
                                            .arg(GESTIONE_VERSION_PATCH));
    installItalianTranslation(app);

    QtDialogs dialogs;
    SystemClock clock;
    DesktopFileOpener opener;
    // The program's folder as the system names it, whatever bytes its name holds.
    QString folder = folders::programFolder();
    if (folder.isEmpty())
        folder = QApplication::applicationDirPath();
    AppContext ctx(dialogs, clock, opener, folder);

    Gestione window(ctx);
    dialogs.setParent(&window);
    if (!window.Form_Load())
        return 1;
    window.show();
    return app.exec();
}
