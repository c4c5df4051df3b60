#pragma once

#include "Clock.h"
#include "Dialogs.h"
#include "FileOpener.h"
#include "data/Database.h"
#include "secrets/Vault.h"

#include <QString>

#include <functional>
#include <memory>

#include "sheets/SpreadsheetSession.h"

// What the window and its panels receive from outside: the shared database connection, the
// boxes, the clock, the way to open a file, the application directory, and where the accounts'
// passwords are kept (the desktop's keyring, given by the program).
struct AppContext {
    AppContext(Dialogs& d, Clock& c, FileOpener& o, QString dir)
        : dialogs(d), clock(c), opener(o), appDir(std::move(dir)) {}

    Dialogs& dialogs;
    Clock& clock;
    FileOpener& opener;
    QString appDir;
    // Opened at start-up, closed on exit.
    std::unique_ptr<Database> connection;
    // The passwords of the mail account and of the agency's server.
    secrets::Vault secrets;
    // A passing line in the window's status bar (where a file was written); none without a
    // window.
    std::function<void(const QString&)> status;
    void showStatus(const QString& text) {
        if (status)
            status(text);
    }
    // The spreadsheet session of the program run: made on the first sheet, kept to the end.
    std::shared_ptr<sheets::SpreadsheetSession> spreadsheet;

    Database& db() { return *connection; }
    // The spreadsheet session, made on the first sheet.
    sheets::SpreadsheetSession& session() {
        if (!spreadsheet)
            spreadsheet = std::make_shared<sheets::SpreadsheetSession>();
        return *spreadsheet;
    }
    bool connected() const { return connection && connection->isOpen(); }
};
