#include "OrderMailCommands.h"

#include "MailSettingsDialog.h"
#include "PrepareFiles.h"
#include "SendOrderDialog.h"
#include "SendProgress.h"
#include "mail/DesktopMail.h"
#include "mail/MailSettings.h"
#include "mail/OrderMail.h"
#include "mail/SendRecord.h"
#include "orders/OrderFlow.h"
#include "orders/OrderPanel.h"
#include "sheets/OrderData.h"
#include "ui/AccountPassword.h"
#include "ui/AppContext.h"
#include "ui/widgets/Elements.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>

namespace {

const QString kTitle = QStringLiteral("Invia ordine");

} // namespace

OrderMailCommands::OrderMailCommands(AppContext& c, OrderPanel* panel)
    : QObject(panel), runDialog([](QDialog& d) { return d.exec() == QDialog::Accepted; }),
      send([](const mail::MailServer& s, const mail::MailMessage& m,
              const mail::SendControl& control) { return mail::sendMail(s, m, control); }),
      ctx(c), m_panel(panel) {
    InviaOrdine = new QAction(QStringLiteral("Invia ordine…"), this);
    InviaOrdine->setObjectName(QStringLiteral("InviaOrdine"));
    InviaOrdine->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    InviaOrdine->setShortcutContext(Qt::WindowShortcut);
    InviaOrdine->setEnabled(false);
    connect(InviaOrdine, &QAction::triggered, this, &OrderMailCommands::InviaOrdine_Click);
    panel->addAction(InviaOrdine);
    ImpostazioniInvio = new QAction(QStringLiteral("Impostazioni invio…"), this);
    ImpostazioniInvio->setObjectName(QStringLiteral("ImpostazioniInvio"));
    connect(ImpostazioniInvio, &QAction::triggered, this,
            &OrderMailCommands::ImpostazioniInvio_Click);
    OrdiniDaInviare = new QAction(QStringLiteral("Ordini da inviare…"), this);
    OrdiniDaInviare->setObjectName(QStringLiteral("OrdiniDaInviare"));
    connect(OrdiniDaInviare, &QAction::triggered, this, &OrderMailCommands::OrdiniDaInviare_Click);
    LStatoInvio =
        Elements(panel->Frame5).label("LStatoInvio", QString(), {3600, 200, 9360, 255}, {9, true});
    LStatoInvio->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    LStatoInvio->hide();
    connect(panel, &OrderPanel::stateShown, this, &OrderMailCommands::update);
}

void OrderMailCommands::update() {
    const orderflow::State s = m_panel->state();
    const bool chosen =
        s.panelShown && s.mode == orderflow::kStampaOrdine && s.shows == orderflow::Shows::Lines;
    InviaOrdine->setEnabled(chosen);
    LStatoInvio->hide();
    if (chosen && ctx.connected()) {
        auto state =
            mail::sendrecord::stateText(ctx.db(), m_panel->Text1->text(), m_panel->T7->text());
        if (state) {
            ctx.showStatus(*state);
            LStatoInvio->setText(*state);
            LStatoInvio->setToolTip(*state);
            LStatoInvio->show();
        }
    }
}

void OrderMailCommands::ImpostazioniInvio_Click() {
    if (!ctx.connected()) {
        ctx.dialogs.message(QStringLiteral("Il database non è aperto."),
                            QStringLiteral("Impostazioni invio"), BoxIcon::Critical);
        return;
    }
    MailSettingsDialog dialog(ctx.db(), ctx.dialogs, ctx.secrets, m_panel->window());
    dialog.send = send;
    dialog.caFile = caFile;
    runDialog(dialog);
}

bool OrderMailCommands::withPassword(mail::MailServer& server, const QString& title) {
    std::optional<QString> password =
        accountpassword::get(ctx, secrets::Account::Mail, server.user, server.host, title);
    if (!password)
        return false;
    server.password = *password;
    password->fill(QLatin1Char(' '));
    return true;
}

void OrderMailCommands::InviaOrdine_Click() {
    sendOrder(m_panel->Text1->text(), m_panel->T7->text());
}

bool OrderMailCommands::sendOrder(const QString& year, const QString& number) {
    if (!ctx.connected()) {
        ctx.dialogs.message(QStringLiteral("Il database non è aperto."), kTitle, BoxIcon::Critical);
        return false;
    }
    auto settings = mail::settings::load(ctx.db());
    if (!settings) {
        ctx.dialogs.message(settings.error().text, kTitle, BoxIcon::Critical);
        return false;
    }
    const bool desktop = settings->way == mail::settings::Way::Desktop;
    if (!desktop && (settings->server.host.isEmpty() || settings->senderAddress.isEmpty())) {
        ctx.dialogs.message(QStringLiteral("Prima di inviare un ordine indicare il server di "
                                           "posta e l'indirizzo del mittente in \"Impostazioni "
                                           "invio\"."),
                            kTitle, BoxIcon::Exclamation);
        return false;
    }
    if (!caFile.isEmpty())
        settings->server.caFile = caFile;
    if (!desktop && !withPassword(settings->server, kTitle))
        return false;
    // The database is read here, on its connection's thread; the files are written off it.
    sheets::order::OrderData data;
    auto draft =
        mail::ordermail::draftText(ctx.db(), *settings, year, number, ctx.clock.now(), data);
    Status prepared = draft ? attachFilesOffThread(*draft, data) : Status(draft.error());
    if (!prepared) {
        ctx.dialogs.message(prepared.error().text, kTitle, BoxIcon::Critical);
        return false;
    }
    SendOrderDialog dialog(*draft, m_panel->window());
    if (!runDialog(dialog))
        return false;
    const mail::MailMessage message = dialog.message();
    if (desktop) {
        // The agent sends it from the mail program: nothing here knows whether it left.
        auto opened = mail::desktop::compose(message);
        if (!opened)
            ctx.dialogs.message(opened.error().text, kTitle, BoxIcon::Critical);
        else
            ctx.dialogs.message(QStringLiteral("Il messaggio dell'ordine %1/%2 è aperto in %3: "
                                               "inviarlo da lì.")
                                    .arg(number, year, *opened),
                                kTitle, BoxIcon::Information);
        return false;
    }
    auto sent = sendWithProgress(m_panel->window(), send, settings->server, message);
    if (!sent) {
        ctx.dialogs.message(sent.error().text, kTitle, BoxIcon::Critical);
        return false;
    }
    QStringList files;
    for (const mail::Attachment& a : message.attachments)
        files << a.path;
    auto print = mail::sendrecord::fingerprint(ctx.db(), year, number);
    Status recorded = print ? mail::sendrecord::record(
                                  ctx.db(), {year, number, ctx.clock.now(), sent->recipients, files,
                                             sent->serverReply, sent->messageId, *print})
                            : Status(print.error());
    if (!recorded) {
        ctx.dialogs.message(QStringLiteral("L'ordine è stato inviato ma l'invio non è stato "
                                           "registrato: %1")
                                .arg(recorded.error().text),
                            kTitle, BoxIcon::Exclamation);
        return true;
    }
    ctx.dialogs.message(QStringLiteral("Ordine %1/%2 inviato a %3.")
                            .arg(number, year, sent->recipients.join(QStringLiteral(", "))),
                        kTitle, BoxIcon::Information);
    update();
    return true;
}

Status OrderMailCommands::sendUnattended(const mail::settings::Settings& settings,
                                         const QString& year, const QString& number) {
    mail::MailServer server = settings.server;
    if (!caFile.isEmpty())
        server.caFile = caFile;
    sheets::order::OrderData data;
    auto draft =
        mail::ordermail::draftText(ctx.db(), settings, year, number, ctx.clock.now(), data);
    if (!draft)
        return draft.error();
    if (Status s = attachFilesOffThread(*draft, data); !s)
        return s;
    auto sent = sendWithProgress(m_panel->window(), send, server, draft->message);
    if (!sent)
        return sent.error();
    QStringList files;
    for (const mail::Attachment& a : draft->message.attachments)
        files << a.path;
    auto print = mail::sendrecord::fingerprint(ctx.db(), year, number);
    if (!print)
        return print.error();
    return mail::sendrecord::record(ctx.db(), {year, number, ctx.clock.now(), sent->recipients,
                                               files, sent->serverReply, sent->messageId, *print});
}

void OrderMailCommands::OrdiniDaInviare_Click() {
    const QString title = QStringLiteral("Ordini da inviare");
    if (!ctx.connected()) {
        ctx.dialogs.message(QStringLiteral("Il database non è aperto."), title, BoxIcon::Critical);
        return;
    }
    auto settings = mail::settings::load(ctx.db());
    if (!settings) {
        ctx.dialogs.message(settings.error().text, title, BoxIcon::Critical);
        return;
    }
    if (settings->way == mail::settings::Way::Desktop) {
        ctx.dialogs.message(QStringLiteral("Con il programma di posta del computer gli ordini si "
                                           "inviano uno alla volta, con \"Invia ordine…\"."),
                            title, BoxIcon::Information);
        return;
    }
    if (settings->server.host.isEmpty() || settings->senderAddress.isEmpty()) {
        ctx.dialogs.message(QStringLiteral("Prima di inviare un ordine indicare il server di "
                                           "posta e l'indirizzo del mittente in \"Impostazioni "
                                           "invio\"."),
                            title, BoxIcon::Exclamation);
        return;
    }
    const QDate today = ctx.clock.today();
    const QString year = QString::number(today.year());
    const QString day = today.toString(QStringLiteral("dd/MM/yyyy"));
    auto numbers = mail::sendrecord::unsent(ctx.db(), year, today);
    if (!numbers) {
        ctx.dialogs.message(numbers.error().text, title, BoxIcon::Critical);
        return;
    }
    if (numbers->isEmpty()) {
        ctx.dialogs.message(
            QStringLiteral("Tutti gli ordini del %1 sono già stati inviati.").arg(day), title,
            BoxIcon::Information);
        return;
    }
    if (!ctx.dialogs.question(QStringLiteral("Ordini del %1 non ancora inviati: %2.\nInviarli "
                                             "ora, uno dopo l'altro?")
                                  .arg(day, numbers->join(QStringLiteral(", "))),
                              title))
        return;
    if (!withPassword(settings->server, title))
        return;
    QStringList done;
    for (const QString& number : *numbers) {
        if (Status s = sendUnattended(*settings, year, number); !s) {
            ctx.dialogs.message(QStringLiteral("L'ordine %1/%2 non è stato inviato: %3%4")
                                    .arg(number, year, s.error().text,
                                         done.isEmpty()
                                             ? QString()
                                             : QStringLiteral("\nInviati prima: %1.")
                                                   .arg(done.join(QStringLiteral(", ")))),
                                title, BoxIcon::Critical);
            update();
            return;
        }
        done << number;
    }
    ctx.dialogs.message(
        QStringLiteral("Ordini del %1 inviati: %2.").arg(day, done.join(QStringLiteral(", "))),
        title, BoxIcon::Information);
    update();
}
