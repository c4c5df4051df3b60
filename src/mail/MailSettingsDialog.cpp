#include "MailSettingsDialog.h"

#include "text/ItalianText.h"
#include "ui/Dialogs.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

const QString kTitle = QStringLiteral("Impostazioni invio");

} // namespace

MailSettingsDialog::MailSettingsDialog(Database& db, Dialogs& dialogs, secrets::Vault& vault,
                                       QWidget* parent)
    : QDialog(parent), send([](const mail::MailServer& s, const mail::MailMessage& m,
                               const mail::SendControl& c) { return mail::sendMail(s, m, c); }),
      m_db(db), m_dialogs(dialogs), m_vault(vault) {
    setObjectName(QStringLiteral("ImpostazioniInvioDialog"));
    setWindowTitle(kTitle);
    auto load = mail::settings::load(db);
    if (load)
        m_loaded = *load;
    const mail::settings::Settings& s = m_loaded;
    auto edit = [this](const char* name, const QString& text) {
        auto* e = new QLineEdit(text, this);
        e->setObjectName(QLatin1String(name));
        return e;
    };
    ImpServer = edit("ImpServer", s.server.host);
    ImpPorta = new QSpinBox(this);
    ImpPorta->setObjectName(QStringLiteral("ImpPorta"));
    ImpPorta->setRange(1, 65535);
    ImpPorta->setValue(s.server.port);
    ImpSicurezza = new QComboBox(this);
    ImpSicurezza->setObjectName(QStringLiteral("ImpSicurezza"));
    ImpSicurezza->addItems({QStringLiteral("SSL/TLS (porta 465)"),
                            QStringLiteral("STARTTLS (porta 587)"),
                            QStringLiteral("Nessuna protezione")});
    ImpSicurezza->setCurrentIndex(int(s.server.security));
    connect(ImpSicurezza, &QComboBox::activated, this,
            [this](int i) { ImpPorta->setValue(mail::defaultPort(mail::Security(i))); });
    ImpUtente = edit("ImpUtente", s.server.user);
    const secrets::Found kept = vault.find(db, secrets::Account::Mail, true);
    m_password = kept.password.value_or(QString());
    ImpPassword = edit("ImpPassword", m_password);
    ImpPassword->setEchoMode(QLineEdit::Password);
    ImpDovePassword = new QLabel(secrets::Vault::placeText(secrets::Account::Mail, kept), this);
    ImpDovePassword->setObjectName(QStringLiteral("ImpDovePassword"));
    ImpDovePassword->setWordWrap(true);
    ImpCertificato = edit("ImpCertificato", s.server.caFile);
    ImpCertificato->setPlaceholderText(QStringLiteral("quelli del computer"));
    ImpScegliCertificato = new QPushButton(QStringLiteral("Certificato dell'autorità (CA)…"), this);
    ImpScegliCertificato->setObjectName(QStringLiteral("ImpScegliCertificato"));
    ImpScegliCertificato->setAutoDefault(false);
    ImpScegliCertificato->setToolTip(
        QStringLiteral("Solo per un server con un'autorità propria (il server dell'ufficio): il "
                       "file del certificato dell'autorità, .crt o .pem, usato per questo server "
                       "soltanto."));
    connect(ImpScegliCertificato, &QPushButton::clicked, this,
            &MailSettingsDialog::ScegliCertificato_Click);
    ImpNomeMittente = edit("ImpNomeMittente", s.senderName);
    ImpMittente = edit("ImpMittente", s.senderAddress);
    ImpModo = new QComboBox(this);
    ImpModo->setObjectName(QStringLiteral("ImpModo"));
    ImpModo->addItems({QStringLiteral("Invio diretto dal programma"),
                       QStringLiteral("Programma di posta del computer")});
    ImpModo->setCurrentIndex(s.way == mail::settings::Way::Desktop ? 1 : 0);
    ImpOggetto = edit("ImpOggetto", s.subjectTemplate);
    ImpTesto = new QPlainTextEdit(s.bodyTemplate, this);
    ImpTesto->setObjectName(QStringLiteral("ImpTesto"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Server:"), ImpServer);
    form->addRow(QStringLiteral("Porta:"), ImpPorta);
    form->addRow(QStringLiteral("Protezione:"), ImpSicurezza);
    form->addRow(QStringLiteral("Utente:"), ImpUtente);
    form->addRow(QStringLiteral("Password:"), ImpPassword);
    form->addRow(QString(), ImpDovePassword);
    form->addRow(ImpScegliCertificato, ImpCertificato);
    form->addRow(QStringLiteral("Nome del mittente:"), ImpNomeMittente);
    form->addRow(QStringLiteral("E-mail del mittente:"), ImpMittente);
    form->addRow(QStringLiteral("Invio:"), ImpModo);
    form->addRow(QStringLiteral("Oggetto:"), ImpOggetto);
    ImpProva = new QPushButton(QStringLiteral("Prova"), this);
    ImpProva->setObjectName(QStringLiteral("ImpProva"));
    ImpSalva = new QPushButton(QStringLiteral("Salva"), this);
    ImpSalva->setObjectName(QStringLiteral("ImpSalva"));
    ImpSalva->setDefault(true);
    ImpAnnulla = new QPushButton(QStringLiteral("Annulla"), this);
    ImpAnnulla->setObjectName(QStringLiteral("ImpAnnulla"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ImpProva);
    buttons->addStretch();
    buttons->addWidget(ImpSalva);
    buttons->addWidget(ImpAnnulla);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(ImpTesto);
    layout->addLayout(buttons);
    connect(ImpProva, &QPushButton::clicked, this, &MailSettingsDialog::Prova_Click);
    connect(ImpSalva, &QPushButton::clicked, this, &MailSettingsDialog::Salva_Click);
    connect(ImpAnnulla, &QPushButton::clicked, this, &QDialog::reject);
    if (!load)
        m_dialogs.message(load.error().text, kTitle, BoxIcon::Critical);
}

mail::settings::Settings MailSettingsDialog::shown() const {
    mail::settings::Settings s = m_loaded;
    s.server.host = ImpServer->text().trimmed();
    s.server.port = ImpPorta->value();
    s.server.security = mail::Security(ImpSicurezza->currentIndex());
    s.server.user = ImpUtente->text();
    s.server.password = ImpPassword->text();
    s.server.caFile = ImpCertificato->text().trimmed();
    s.server.plainAccepted =
        s.server.security == mail::Security::None && m_loaded.server.plainAccepted;
    s.senderName = ImpNomeMittente->text().trimmed();
    s.senderAddress = ImpMittente->text().trimmed();
    s.way = ImpModo->currentIndex() == 1 ? mail::settings::Way::Desktop : mail::settings::Way::Smtp;
    s.subjectTemplate = ImpOggetto->text();
    s.bodyTemplate = ImpTesto->toPlainText();
    return s;
}

bool MailSettingsDialog::plainAccepted() {
    if (mail::Security(ImpSicurezza->currentIndex()) != mail::Security::None ||
        m_loaded.server.plainAccepted)
        return true;
    if (!m_dialogs.questionDefaultNo(
            QStringLiteral("Senza protezione il nome utente, la password e gli ordini viaggiano "
                           "in chiaro e possono essere letti da altri sulla rete.\nUsare "
                           "comunque il server senza protezione?"),
            kTitle, BoxIcon::Exclamation))
        return false;
    m_loaded.server.plainAccepted = true;
    return true;
}

void MailSettingsDialog::ScegliCertificato_Click() {
    const QString shown = ImpCertificato->text().trimmed();
    const auto chosen = m_dialogs.chooseFile(
        QStringLiteral("Certificato dell'autorità (CA)"),
        shown.isEmpty() ? QDir::homePath() : QFileInfo(shown).absolutePath(),
        QStringLiteral("Certificati (*.crt *.pem *.cer *.der);;Tutti i file (*)"));
    if (chosen)
        ImpCertificato->setText(*chosen);
}

void MailSettingsDialog::Salva_Click() {
    if (!plainAccepted())
        return;
    const mail::settings::Settings s = shown();
    const Status saved = mail::settings::save(m_db, s);
    if (!saved) {
        m_dialogs.message(saved.error().text, kTitle, BoxIcon::Critical);
        return;
    }
    if (s.server.password != m_password) {
        auto kept = m_vault.keep(m_db, secrets::Account::Mail, s.server.password);
        if (!kept) {
            m_dialogs.message(QStringLiteral("Le impostazioni sono salvate, ma la password non è "
                                             "stata conservata.\n\n%1.")
                                  .arg(itext::capitalised(kept.error().text)),
                              kTitle, BoxIcon::Critical);
            return;
        }
        m_password = s.server.password;
    }
    accept();
}

void MailSettingsDialog::Prova_Click() {
    if (!plainAccepted())
        return;
    mail::settings::Settings s = shown();
    if (Status checked = mail::settings::check(s); !checked) {
        m_dialogs.message(checked.error().text, kTitle, BoxIcon::Critical);
        return;
    }
    if (s.senderAddress.isEmpty()) {
        m_dialogs.message(QStringLiteral("Indicare l'e-mail del mittente: la prova è inviata a "
                                         "quell'indirizzo."),
                          kTitle, BoxIcon::Exclamation);
        return;
    }
    if (!caFile.isEmpty())
        s.server.caFile = caFile;
    mail::MailMessage m;
    m.from = {s.senderName, s.senderAddress};
    m.to = {m.from};
    m.subject = QStringLiteral("Prova di invio - Gestione Ordini");
    m.body = QStringLiteral("Questo messaggio di prova conferma che gli ordini possono essere "
                            "inviati con queste impostazioni.");
    m.date = QDateTime::currentDateTime();
    auto sent = sendWithProgress(this, send, s.server, m);
    if (!sent) {
        m_dialogs.message(sent.error().text, kTitle, BoxIcon::Critical);
        return;
    }
    m_dialogs.message(QStringLiteral("Messaggio di prova inviato a %1.").arg(s.senderAddress),
                      kTitle, BoxIcon::Information);
}
