#pragma once

#include "MailMessage.h"
#include "MailServer.h"
#include "MailSettings.h"
#include "SendProgress.h"
#include "SendRecord.h"
#include "ui/Dialogs.h"

#include <QObject>

#include <functional>

class OrderPanel;
class QAction;
class QDialog;
class QLabel;
struct AppContext;

// "Invia ordine…": the order chosen in "Stampa Ordine" sent by e-mail to its principal, with a
// copy to the customer, its PDF and workbook attached. The sending runs off the window's thread
// behind a busy box with "Annulla" that stays until the server's reply; the attempt is recorded
// before the message goes, then its outcome: sent only when the server accepted it, uncertain
// when the message may have reached the server and its reply never came (an uncertain order is
// never sent again on its own). Reached from the order menu and the panel's context menu
// (Ctrl+E).
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
    // Every order of a period not sent, newest first, to send one after another; the uncertain
    // ones apart, to mark as sent or send again.
    void OrdiniDaInviare_Click();
    // Sends the order (year, number) with the dialog; true when the server accepted it. An
    // uncertain order is sent again only once the user says so; `again` when they already did.
    bool sendOrder(const QString& year, const QString& number, bool again = false);
    // Once the file is opened: the sendings a program left in progress, because it ended during
    // them, are made uncertain and told.
    void settleInterrupted();

    // How a sending ended, and the box that tells it.
    struct Delivered {
        mail::sendrecord::Outcome outcome = mail::sendrecord::Outcome::NotSent;
        QString text;
        BoxIcon icon = BoxIcon::Critical;
    };
    // Drafts, sends and records one order without its dialog (the round of "Ordini da
    // inviare…").
    Delivered sendUnattended(const mail::settings::Settings& settings, const QString& year,
                             const QString& number);
    // The account's password into `server`, from where it is kept or asked when it cannot be
    // read; false when the asking was cancelled.
    bool withPassword(mail::MailServer& server, const QString& title);
    // The settings of the sending, told in a box when they are missing or unreadable.
    std::optional<mail::settings::Settings> settingsForSending(const QString& title);

    // Runs the message dialog, the settings and the list of orders to send: true when the
    // dialog was accepted. Tests put their own in its place.
    std::function<bool(QDialog&)> runDialog;
    // The way a message leaves: the SMTP sender, on a thread of its own.
    SendFunction send;
    // Authorities for the server's certificate in place of the settings' (tests only).
    QString caFile;

    AppContext& context() { return ctx; }

public Q_SLOTS:
    void update();

private:
    // Sends, records and tells the outcome of one message of an order.
    Delivered deliver(const mail::MailServer& server, mail::MailMessage message,
                      const QString& year, const QString& number);
    // The box that refuses a second sending while one runs; false when none runs.
    bool refuseWhileSending(const QString& title, const QString& year, const QString& number);

    AppContext& ctx;
    OrderPanel* m_panel;
    // The order being sent ("12/2026"), empty when none is.
    QString m_sending;
};
