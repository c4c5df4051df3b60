#include "OrderMailCommands.h"

#include "DesktopMail.h"
#include "MailHeaders.h"
#include "MailSettings.h"
#include "MailSettingsDialog.h"
#include "OrderMail.h"
#include "PendingOrdersDialog.h"
#include "PrepareFiles.h"
#include "SendOrderDialog.h"
#include "SendProgress.h"
#include "SendRecord.h"
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

namespace {

// The order being sent, for the length of a sending.
class Sending {
public:
    Sending(QString& slot, const QString& year, const QString& number) : m_slot(slot) {
        m_slot = QStringLiteral("%1/%2").arg(number, year);
    }
    ~Sending() { m_slot.clear(); }
    Sending(const Sending&) = delete;
    Sending& operator=(const Sending&) = delete;

private:
    QString& m_slot;
};

QString uncertainAdvice(const QString& year, const QString& number) {
    return QStringLiteral("L'ordine %1/%2 risulta \"Invio incerto\" e non sarà inviato di nuovo "
                          "da solo: chiedere al mandante se l'ha ricevuto, poi scegliere \"Segna "
                          "come inviato\" o \"Invia di nuovo\" in \"Ordini da inviare…\".")
        .arg(number, year);
}

} // namespace

bool OrderMailCommands::refuseWhileSending(const QString& title, const QString& year,
                                           const QString& number) {
    if (m_sending.isEmpty())
        return false;
    const QString order = QStringLiteral("%1/%2").arg(number, year);
    ctx.dialogs.message(m_sending == order
                            ? QStringLiteral("L'ordine %1 è già in corso di invio: attendere la "
                                             "risposta del server di posta.")
                                  .arg(order)
                            : QStringLiteral("È in corso l'invio dell'ordine %1: attendere che "
                                             "finisca.")
                                  .arg(m_sending),
                        title, BoxIcon::Exclamation);
    return true;
}

std::optional<mail::settings::Settings>
OrderMailCommands::settingsForSending(const QString& title) {
    if (!ctx.connected()) {
        ctx.dialogs.message(QStringLiteral("Il database non è aperto."), title, BoxIcon::Critical);
        return std::nullopt;
    }
    auto settings = mail::settings::load(ctx.db());
    if (!settings) {
        ctx.dialogs.message(settings.error().text, title, BoxIcon::Critical);
        return std::nullopt;
    }
    if (settings->way == mail::settings::Way::Smtp &&
        (settings->server.host.isEmpty() || settings->senderAddress.isEmpty())) {
        ctx.dialogs.message(QStringLiteral("Prima di inviare un ordine indicare il server di "
                                           "posta e l'indirizzo del mittente in \"Impostazioni "
                                           "invio\"."),
                            title, BoxIcon::Exclamation);
        return std::nullopt;
    }
    if (!caFile.isEmpty())
        settings->server.caFile = caFile;
    return *settings;
}

OrderMailCommands::Delivered OrderMailCommands::deliver(const mail::MailServer& server,
                                                        mail::MailMessage message,
                                                        const QString& year,
                                                        const QString& number) {
    using mail::sendrecord::Outcome;
    message.messageId = QString::fromLatin1(mail::headers::newMessageId(message.from.address));
    mail::sendrecord::Sending attempt;
    attempt.year = year;
    attempt.number = number;
    attempt.when = ctx.clock.now();
    attempt.recipients = mail::recipientsOf(message);
    for (const mail::Attachment& a : message.attachments)
        attempt.files << a.path;
    attempt.messageId = message.messageId;
    qint64 id = 0;
    auto record = [&]() -> Status {
        auto begun = mail::sendrecord::begin(ctx.db(), attempt);
        if (!begun)
            return begun.error();
        id = *begun;
        return {};
    };
    auto sent = sendWithProgress(m_panel->window(), send, server, message, record);
    Delivered d;
    if (sent) {
        d.outcome = Outcome::Sent;
        d.icon = BoxIcon::Information;
        const Status done = mail::sendrecord::finish(ctx.db(), id, Outcome::Sent, ctx.clock.now(),
                                                     sent->serverReply);
        d.text = done ? QStringLiteral("Ordine %1/%2 inviato a %3.")
                            .arg(number, year, sent->recipients.join(QStringLiteral(", ")))
                      : QStringLiteral("L'ordine è stato inviato ma l'invio non è stato "
                                       "registrato: %1\nL'ordine risulta \"Invio incerto\": "
                                       "sceglierne \"Segna come inviato\" in \"Ordini da "
                                       "inviare…\".")
                            .arg(done.error().text);
        if (!done)
            d.icon = BoxIcon::Exclamation;
    } else if (sent.error().code == mail::kOutcomeUncertain) {
        d.outcome = Outcome::Uncertain;
        d.icon = BoxIcon::Exclamation;
        // A record that cannot be ended stays in progress, which reads as uncertain too.
        (void)mail::sendrecord::finish(ctx.db(), id, Outcome::Uncertain, ctx.clock.now(), {});
        d.text = sent.error().text + QLatin1Char('\n') + uncertainAdvice(year, number);
    } else {
        d.outcome = Outcome::NotSent;
        d.text = sent.error().text;
        if (id != 0) {
            const Status done = mail::sendrecord::finish(ctx.db(), id, Outcome::NotSent,
                                                         ctx.clock.now(), sent.error().text);
            if (!done)
                d.text += QStringLiteral("\nL'esito non è stato registrato (%1): l'ordine "
                                         "risulterà \"Invio incerto\".")
                              .arg(done.error().text);
        }
    }
    return d;
}

bool OrderMailCommands::sendOrder(const QString& year, const QString& number, bool again) {
    using mail::sendrecord::Outcome;
    if (refuseWhileSending(kTitle, year, number))
        return false;
    auto settings = settingsForSending(kTitle);
    if (!settings)
        return false;
    if (!again) {
        auto last = mail::sendrecord::latest(ctx.db(), year, number);
        if (!last) {
            ctx.dialogs.message(last.error().text, kTitle, BoxIcon::Critical);
            return false;
        }
        if (last->has_value() &&
            ((*last)->outcome == Outcome::Uncertain || (*last)->outcome == Outcome::InProgress)) {
            const QDateTime when = (*last)->when.toLocalTime();
            if (!ctx.dialogs.questionDefaultNo(
                    QStringLiteral("L'invio dell'ordine %1/%2 del %3 alle %4 ha esito incerto: "
                                   "il server potrebbe averlo ricevuto.\nInviarlo di nuovo? Se "
                                   "il mandante l'ha già ricevuto, lo riceverà due volte.")
                        .arg(number, year, when.toString(QStringLiteral("dd/MM/yyyy")),
                             when.toString(QStringLiteral("HH:mm"))),
                    kTitle, BoxIcon::Exclamation))
                return false;
        }
    }
    const bool desktop = settings->way == mail::settings::Way::Desktop;
    if (!desktop && !withPassword(settings->server, kTitle))
        return false;
    const Sending busy(m_sending, year, number);
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
    const Delivered d = deliver(settings->server, message, year, number);
    ctx.dialogs.message(d.text, kTitle, d.icon);
    update();
    return d.outcome == Outcome::Sent;
}

OrderMailCommands::Delivered
OrderMailCommands::sendUnattended(const mail::settings::Settings& settings, const QString& year,
                                  const QString& number) {
    if (!m_sending.isEmpty())
        return {mail::sendrecord::Outcome::NotSent,
                QStringLiteral("è in corso l'invio dell'ordine %1.").arg(m_sending),
                BoxIcon::Exclamation};
    const Sending busy(m_sending, year, number);
    sheets::order::OrderData data;
    auto draft =
        mail::ordermail::draftText(ctx.db(), settings, year, number, ctx.clock.now(), data);
    Status prepared = draft ? attachFilesOffThread(*draft, data) : Status(draft.error());
    if (!prepared)
        return {mail::sendrecord::Outcome::NotSent, prepared.error().text, BoxIcon::Critical};
    return deliver(settings.server, draft->message, year, number);
}

void OrderMailCommands::OrdiniDaInviare_Click() {
    const QString title = QStringLiteral("Ordini da inviare");
    if (refuseWhileSending(title, QString(), QString()))
        return;
    auto settings = settingsForSending(title);
    if (!settings)
        return;
    if (settings->way == mail::settings::Way::Desktop) {
        ctx.dialogs.message(QStringLiteral("Con il programma di posta del computer gli ordini si "
                                           "inviano uno alla volta, con \"Invia ordine…\"."),
                            title, BoxIcon::Information);
        return;
    }
    PendingOrdersDialog dialog(*this, *settings, m_panel->window());
    runDialog(dialog);
    update();
}

void OrderMailCommands::settleInterrupted() {
    if (!ctx.connected())
        return;
    auto left = mail::sendrecord::settleInterrupted(ctx.db());
    if (!left || left->isEmpty())
        return;
    QStringList lines;
    for (const mail::sendrecord::Sending& s : *left) {
        const QDateTime when = s.when.toLocalTime();
        lines << QStringLiteral("L'invio dell'ordine %1/%2 del %3 alle %4 a %5 si è interrotto "
                                "con la chiusura del programma: esito incerto: il server "
                                "potrebbe averlo ricevuto.")
                     .arg(s.number, s.year, when.toString(QStringLiteral("dd/MM/yyyy")),
                          when.toString(QStringLiteral("HH:mm")),
                          s.recipients.join(QStringLiteral(", ")));
    }
    lines << (left->size() == 1
                  ? uncertainAdvice(left->first().year, left->first().number)
                  : QStringLiteral("Questi ordini risultano \"Invio incerto\" e non saranno "
                                   "inviati di nuovo da soli: chiedere al mandante se li ha "
                                   "ricevuti, poi scegliere \"Segna come inviato\" o \"Invia di "
                                   "nuovo\" in \"Ordini da inviare…\"."));
    ctx.dialogs.message(lines.join(QLatin1Char('\n')), kTitle, BoxIcon::Exclamation);
}
