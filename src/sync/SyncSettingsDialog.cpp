#include "SyncSettingsDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

SyncSettingsDialog::SyncSettingsDialog(const syncsettings::Settings& s,
                                       const QString& passwordPlace, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("ServerAgenziaDialog"));
    auto* form = new QFormLayout(this);
    auto field = [&](const char* name, const QString& label, const QString& value) {
        auto* e = new QLineEdit(value, this);
        e->setObjectName(QLatin1String(name));
        form->addRow(label, e);
        return e;
    };
    m_host = field("SyncServer", QStringLiteral("Server:"), s.server.host);
    m_port = field("SyncPorta", QStringLiteral("Porta:"), QString::number(s.server.port));
    m_database = field("SyncDatabase", QStringLiteral("Database:"), s.server.database);
    m_user = field("SyncUtente", QStringLiteral("Utente:"), s.server.user);
    m_password = field("SyncPassword", QStringLiteral("Password:"), s.server.password);
    m_password->setEchoMode(QLineEdit::Password);
    auto* place = new QLabel(passwordPlace, this);
    place->setObjectName(QStringLiteral("SyncDovePassword"));
    place->setWordWrap(true);
    form->addRow(QString(), place);
    m_sslMode = new QComboBox(this);
    m_sslMode->setObjectName(QStringLiteral("SyncSslMode"));
    m_sslMode->addItems(pg::sslModes());
    m_sslMode->setCurrentText(s.server.sslMode);
    form->addRow(QStringLiteral("Controllo della connessione:"), m_sslMode);
    m_ca = field("SyncCA", QStringLiteral("Certificato dell'autorità (vuoto: quelli del sistema):"),
                 s.server.caFile);
    m_minutes = new QSpinBox(this);
    m_minutes->setObjectName(QStringLiteral("SyncMinuti"));
    m_minutes->setRange(0, 1440);
    m_minutes->setValue(s.minutes);
    form->addRow(QStringLiteral("Minuti tra le sincronizzazioni (0: solo a mano):"), m_minutes);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("SyncPulsanti"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annulla"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

syncsettings::Settings SyncSettingsDialog::settings() const {
    syncsettings::Settings s;
    s.server.host = m_host->text();
    bool ok = false;
    s.server.port = m_port->text().trimmed().toInt(&ok);
    if (!ok)
        s.server.port = 0;
    s.server.database = m_database->text();
    s.server.user = m_user->text();
    s.server.password = m_password->text();
    s.server.sslMode = m_sslMode->currentText();
    s.server.caFile = m_ca->text().trimmed();
    s.minutes = m_minutes->value();
    return s;
}
