#include "Display.h"
#include "Gestione.h"
#include "ui/AppContext.h"
#include "ui/QtDialogs.h"

#include "DataLocation.h"
#include "Translation.h"
#include "files/FolderNames.h"
#include "masterdata/AgentDialog.h"
#include "secrets/SystemKeyring.h"

#include <QApplication>
#include <QIcon>

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
    // The desktop entry the window belongs to, for its icon and name in the desktop's lists.
    QGuiApplication::setDesktopFileName(QStringLiteral("it.gestioneordini.GestioneOrdini"));
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("it.gestioneordini.GestioneOrdini")));
    installItalianTranslation(app);

    QtDialogs dialogs;
    SystemClock clock;
    DesktopFileOpener opener;
    // The program's folder as the system names it, whatever bytes its name holds.
    QString folder = folders::programFolder();
    if (folder.isEmpty())
        folder = QApplication::applicationDirPath();
    // The file beside the program, else the user's own, copied from the supplied one the first
    // time. Its folder is the application folder from here on: exports are saved there too.
    const auto location =
        DataLocation::find(folder, DataLocation::userFolder(), DataLocation::suppliedFile(folder));
    if (!location) {
        dialogs.message(location.error().text + QStringLiteral(".\n\nIl programma verrà chiuso."),
                        QStringLiteral("Gestione Ordini"), BoxIcon::Critical);
        return 1;
    }
    AppContext ctx(dialogs, clock, opener, location->folder);
    // The accounts' passwords go to the desktop's keyring.
    secrets::SystemKeyring keyring;
    ctx.secrets.useKeyring(keyring);

    Gestione window(ctx);
    dialogs.setParent(&window);
    if (!window.Form_Load())
        return 1;
    window.showAsLeft();
    if (location->created)
        dialogs.message(DataLocation::createdMessage(*location), QStringLiteral("Gestione Ordini"),
                        BoxIcon::Information);
    // The sheets are headed by the agent's own name, not the supplied one.
    AgentDialog::askOnStart(ctx, &window);
    return app.exec();
}
