#pragma once

#include "mail/MailSettingsDialog.h"
#include "mail/OrderMailCommands.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <optional>

// "Impostazioni invio…" through the window's command, as the agent fills it.
namespace mailsettingskit {

struct Shown {
    // The password field as the dialog opened, and the line under it.
    QString password;
    QString place;
};

// Opens the dialog; with a password, types it (and the server and user when given) and presses
// "Salva", else closes it. What it showed when it opened.
inline Shown open(OrderMailCommands* c, const std::optional<QString>& password = std::nullopt,
                  const QString& server = {}, const QString& user = {}) {
    Shown shown;
    c->runDialog = [&](QDialog& d) {
        auto& w = static_cast<MailSettingsDialog&>(d);
        shown = {w.ImpPassword->text(), w.ImpDovePassword->text()};
        if (!password)
            return false;
        if (!server.isEmpty())
            w.ImpServer->setText(server);
        if (!user.isEmpty())
            w.ImpUtente->setText(user);
        w.ImpPassword->setText(*password);
        QTest::mouseClick(w.ImpSalva, Qt::LeftButton);
        return d.result() == QDialog::Accepted;
    };
    c->ImpostazioniInvio->trigger();
    return shown;
}

} // namespace mailsettingskit
