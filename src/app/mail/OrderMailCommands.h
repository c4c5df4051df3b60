#pragma once

#include "SendProgress.h"
#include "mail/MailMessage.h"
#include "mail/MailServer.h"
#include "mail/MailSettings.h"

#include <QObject>

#include <functional>

class OrderPanel;
class QAction;
class QDialog;
class QLabel;
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
    QAction* OrdiniDaInviare;   // "Ordini da inviare…"
    // The send state of the chosen order, on the top line of the list of its lines.
    QLabel* LStatoInvio;

    void InviaOrdine_Click();
    void ImpostazioniInvio_Click();
    // The orders of today not yet sent, sent one after another once the user agrees; the first
    // failure stops the round and names the order.
    void OrdiniDaInviare_Click();
    // Sends the order (year, number) with the dialog; true when the server accepted it.
    bool sendOrder(const QString& year, const QString& number);

    // Runs the message dialog and the settings: true when "Invia" was pressed. Tests put their own
    // in its place.
    std::function<bool(QDialog&)> runDialog;
    // The way a message leaves: the SMTP sender, on a thread of its own.
    SendFunction send;
    // Authorities for the server's certificate in place of the system's store (tests only).
    QString caFile;

private:
    void update();
    // The account's password into `server`, from where it is kept or asked when it cannot be
    // read; false when the asking was cancelled.
    bool withPassword(mail::MailServer& server, const QString& title);
    // Drafts, sends and records one order without its dialog.
    Status sendUnattended(const mail::settings::Settings& settings, const QString& year,
                          const QString& number);

    AppContext& ctx;
    OrderPanel* m_panel;
};
