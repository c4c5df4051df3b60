#pragma once

#include "mail/MailMessage.h"
#include "mail/MailServer.h"
#include "SendProgress.h"

#include <QObject>

#include <functional>

class OrderPanel;
class QAction;
class QDialog;
struct AppContext;

// "Invia ordine…": the order chosen in "Stampa Ordine" sent by e-mail to its principal, with a
// copy to the customer, its PDF and workbook attached. The sending runs off the window's thread
// behind a progress box with "Annulla"; only a message the server accepted is recorded as sent.
// Reached from the order menu and the panel's context menu (Ctrl+E).
class OrderMailCommands : public QObject {
    Q_OBJECT
public:
    OrderMailCommands(AppContext& ctx, OrderPanel* panel);

    QAction* InviaOrdine;       // "Invia ordine…"
    QAction* ImpostazioniInvio; // "Impostazioni invio…"

    void InviaOrdine_Click();
    void ImpostazioniInvio_Click();
    // Sends the order (year, number) with the dialog; true when the server accepted it.
    bool sendOrder(const QString& year, const QString& number);

    // Runs the message dialog and the settings: true when "Invia" was pressed. Tests put their own in its place.
    std::function<bool(QDialog&)> runDialog;
    // The way a message leaves: the SMTP sender, on a thread of its own.
    SendFunction send;
    // Authorities for the server's certificate in place of the system's store (tests only).
    QString caFile;

private:
    void update();

    AppContext& ctx;
    OrderPanel* m_panel;
};
