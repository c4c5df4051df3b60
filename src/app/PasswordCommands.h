#pragma once

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

private:
    // Asks the new password twice; nothing when it is cancelled, refused or mistyped (then a
    // box has said why).
    std::optional<QString> askNew(const QString& notDone);
    // Puts the database under `key`, telling `done` or what went wrong.
    void changeTo(FileKey key, const QString& done);

    AppContext& ctx;
    std::function<void()> m_refresh;
};

// Asks the personal password of the open file before a change to its protection: true when the
// right one was given; a wrong one is told ("Nulla è stato cambiato").
bool currentPasswordGiven(AppContext& ctx, const QString& title);
