#pragma once

#include "backup/CopyKeys.h"
#include "ui/AppContext.h"

#include <functional>

// "Password personale…" of the Archivio menu, behind the access code: sets, changes or removes
// the personal password of the database. The file is written anew under the new key, checked
// and put in place (see rekey); the window gives what refreshes its panels afterwards.
class PasswordCommands {
public:
    PasswordCommands(AppContext& ctx, std::function<void()> refreshPanels)
        : ctx(ctx), m_refresh(std::move(refreshPanels)) {}

    void PasswordPersonale_Click();
    // At start-up, on a file with a personal password: the copies a change cut short left under
    // the built-in key are put under the file's password.
    void finishCopies();

private:
    // Asks the new password twice; nothing when it is cancelled, refused or mistyped (then a
    // box has said why).
    std::optional<QString> askNew(const QString& notDone);
    // Puts the database under `key`, and with a personal password the program's copies of it,
    // telling `done` and what became of the copies, or what went wrong.
    void changeTo(FileKey key, const QString& done);
    // What became of the copies, for the box that ends a change; with `elsewhere`, what the
    // program could not reach.
    QString copiesText(const copykeys::Outcome& outcome, const FileKey& old, bool elsewhere) const;

    AppContext& ctx;
    std::function<void()> m_refresh;
};

// Asks the personal password of the open file before a change to its protection: true when the
// right one was given; a wrong one is told ("Nulla è stato cambiato").
bool currentPasswordGiven(AppContext& ctx, const QString& title);
