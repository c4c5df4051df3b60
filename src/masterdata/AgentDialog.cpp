#include "AgentDialog.h"

#include "AgentStore.h"
#include "InputRules.h"
#include "MasterDataMessages.h"
#include "mail/MailSettings.h"
#include "ui/AppContext.h"
#include "ui/Tell.h"
#include "ui/Titles.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLineEdit* field(QWidget* parent, const char* name, int maxLength) {
    auto* f = new QLineEdit(parent);
    f->setObjectName(QLatin1String(name));
    if (maxLength > 0)
        f->setMaxLength(maxLength);
    return f;
}

} // namespace

AgentDialog::AgentDialog(AppContext& c, QWidget* parent) : QDialog(parent), ctx(c) {
    setObjectName(QStringLiteral("DatiAgente"));
    setWindowTitle(QStringLiteral("Dati dell'agente"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    TestoAgente = new QLabel(
        QStringLiteral("Il nome e l'indirizzo dell'agente compaiono in testa a ogni foglio "
                       "d'ordine.\nIl nome è obbligatorio.\n\n%1")
            .arg(whereToChange()),
        this);
    TestoAgente->setObjectName(QStringLiteral("TestoAgente"));
    TestoAgente->setWordWrap(true);
    layout->addWidget(TestoAgente);

    // The same rules as the fields of the agent panel.
    NomeAgente = field(this, "NomeAgente", 0);
    ViaAgente = field(this, "ViaAgente", 0);
    CapAgente = field(this, "CapAgente", 5);
    CittaAgente = field(this, "CittaAgente", 0);
    PrAgente = field(this, "PrAgente", 2);
    EmailAgente = field(this, "EmailAgente", 254);
    inputrules::upperCase(NomeAgente);
    inputrules::upperCase(ViaAgente);
    inputrules::numericKeys(CapAgente);
    inputrules::upperCase(CittaAgente);
    inputrules::upperCase(PrAgente);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Nome dell'agente"), NomeAgente);
    form->addRow(QStringLiteral("Indirizzo"), ViaAgente);
    form->addRow(QStringLiteral("CAP"), CapAgente);
    form->addRow(QStringLiteral("Città"), CittaAgente);
    form->addRow(QStringLiteral("Provincia"), PrAgente);
    form->addRow(QStringLiteral("E-mail"), EmailAgente);
    layout->addLayout(form);

    auto* buttons = new QDialogButtonBox(this);
    SalvaAgente = buttons->addButton(QStringLiteral("Salva"), QDialogButtonBox::AcceptRole);
    SalvaAgente->setObjectName(QStringLiteral("SalvaAgente"));
    SalvaAgente->setDefault(true);
    AnnullaAgente = buttons->addButton(QStringLiteral("Più tardi"), QDialogButtonBox::RejectRole);
    AnnullaAgente->setObjectName(QStringLiteral("AnnullaAgente"));
    // Salva closes the dialog only once the details are stored.
    connect(SalvaAgente, &QPushButton::clicked, this, &AgentDialog::save);
    connect(AnnullaAgente, &QPushButton::clicked, this, &QDialog::reject);
    layout->addWidget(buttons);
    setMinimumWidth(fontMetrics().averageCharWidth() * 60);
}

QString AgentDialog::whereToChange() {
    return QStringLiteral("Si possono cambiare in seguito: il nome dal menu \"Aiuto\", \"Nome "
                          "dell'agente…\", l'indirizzo anche dal menu \"Utente\"; entrambi "
                          "con il Codice di Controllo %1.")
        .arg(agent::kAccessCode);
}

bool AgentDialog::load() {
    auto row = agent::load(ctx.db());
    if (!row) {
        tell::error(ctx.dialogs, row.error(), titles::t18());
        return false;
    }
    if (!*row)
        return false;
    const agent::Stored& r = **row;
    m_id = r.id;
    // The supplied name is no name: the user types their own.
    NomeAgente->setText(r.agent.name == suppliedName() ? QString() : r.agent.name);
    ViaAgente->setText(r.agent.street);
    CapAgente->setText(r.agent.postCode);
    CittaAgente->setText(r.agent.town);
    PrAgente->setText(r.agent.province);
    auto email = mail::settings::agentAddress(ctx.db());
    if (!email) {
        tell::error(ctx.dialogs, email.error(), titles::t18());
        return false;
    }
    EmailAgente->setText(*email);
    return true;
}

void AgentDialog::save() {
    const QString name = NomeAgente->text().trimmed();
    if (name.isEmpty()) {
        ctx.dialogs.message(QStringLiteral("Il nome dell'agente deve essere compilato: compare "
                                           "in testa a ogni foglio d'ordine."),
                            windowTitle(), BoxIcon::Information);
        NomeAgente->setFocus();
        return;
    }
    const QString email = EmailAgente->text().trimmed();
    if (Status s = mail::settings::checkAgentAddress(email); !s) {
        ctx.dialogs.message(s.error().text, windowTitle(), BoxIcon::Information);
        EmailAgente->setFocus();
        return;
    }
    const agent::Agent a{name, ViaAgente->text().trimmed(), CapAgente->text().trimmed(),
                         CittaAgente->text().trimmed(), PrAgente->text().trimmed()};
    Database& db = ctx.db();
    if (!tell::mayGoOn(
            ctx.dialogs,
            agent::save(db, m_id, a, [&] { return mail::settings::storeAgentAddress(db, email); }),
            titles::t18()))
        return;
    accept();
}

void AgentDialog::askOnStart(AppContext& ctx, QWidget* parent) {
    if (!ctx.connected())
        return;
    auto row = agent::load(ctx.db());
    if (!row || !*row || (**row).agent.name != suppliedName())
        return;
    AgentDialog dialog(ctx, parent);
    if (dialog.load())
        dialog.exec();
}

bool AgentDialog::changeBehindCode(AppContext& ctx, QWidget* parent) {
    const std::optional<QString> typed =
        ctx.dialogs.input(mdmsg::accessCodePrompt(), titles::t13());
    if (!typed || typed->trimmed().isEmpty())
        return false;
    if (!agent::isAccessCode(*typed)) {
        ctx.dialogs.message(mdmsg::wrongAccessCode(), mdmsg::wrongAccessCodeTitle(),
                            BoxIcon::Exclamation);
        return false;
    }
    AgentDialog dialog(ctx, parent);
    if (!dialog.load()) {
        tell::refusal(ctx.dialogs,
                      QStringLiteral("Nell'archivio non ci sono i dati dell'agente da "
                                     "aggiornare.\nIl file del database deve contenere la riga "
                                     "dell'utente."),
                      titles::t18());
        return false;
    }
    return dialog.exec() == QDialog::Accepted;
}
