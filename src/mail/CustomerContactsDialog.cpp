#include "CustomerContactsDialog.h"

#include "ui/Dialogs.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kTitle = QStringLiteral("Scheda cliente");

} // namespace

CustomerContactsDialog::CustomerContactsDialog(Database& db, Dialogs& dialogs, const QString& code,
                                               const QString& name, QWidget* parent)
    : QDialog(parent), m_db(db), m_dialogs(dialogs) {
    setObjectName(QStringLiteral("SchedaClienteDialog"));
    setWindowTitle(QStringLiteral("%1 - %2 %3").arg(kTitle, code, name));
    m_loaded.code = code;
    auto edit = [this](const char* objectName, int maxLength) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QLatin1String(objectName));
        e->setMaxLength(maxLength);
        connect(e, &QLineEdit::textChanged, this, &CustomerContactsDialog::checkFields);
        return e;
    };
    SchedaEmail = edit("SchedaEmail", 254);
    SchedaPec = edit("SchedaPec", 254);
    SchedaTelefono = edit("SchedaTelefono", 20);
    SchedaVia = edit("SchedaVia", 120);
    SchedaCap = edit("SchedaCap", 5);
    SchedaPartitaIva = edit("SchedaPartitaIva", 11);
    SchedaCodiceFiscale = edit("SchedaCodiceFiscale", 16);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("E-mail:"), SchedaEmail);
    form->addRow(QStringLiteral("PEC:"), SchedaPec);
    form->addRow(QStringLiteral("Telefono:"), SchedaTelefono);
    form->addRow(QStringLiteral("Via:"), SchedaVia);
    form->addRow(QStringLiteral("CAP:"), SchedaCap);
    form->addRow(QStringLiteral("Partita IVA:"), SchedaPartitaIva);
    form->addRow(QStringLiteral("Codice fiscale:"), SchedaCodiceFiscale);
    SchedaErrore = new QLabel(this);
    SchedaErrore->setObjectName(QStringLiteral("SchedaErrore"));
    SchedaErrore->setWordWrap(true);
    SchedaErrore->setStyleSheet(QStringLiteral("color: #b00000;"));
    SchedaSalva = new QPushButton(QStringLiteral("Salva"), this);
    SchedaSalva->setObjectName(QStringLiteral("SchedaSalva"));
    SchedaSalva->setDefault(true);
    SchedaAnnulla = new QPushButton(QStringLiteral("Annulla"), this);
    SchedaAnnulla->setObjectName(QStringLiteral("SchedaAnnulla"));
    connect(SchedaSalva, &QPushButton::clicked, this, &CustomerContactsDialog::Salva_Click);
    connect(SchedaAnnulla, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(SchedaSalva);
    buttons->addWidget(SchedaAnnulla);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(SchedaErrore);
    layout->addLayout(buttons);
    setMinimumWidth(fontMetrics().averageCharWidth() * 60);
}

bool CustomerContactsDialog::load() {
    auto card = mail::contacts::load(m_db, m_loaded.code);
    if (!card) {
        m_dialogs.message(card.error().text, kTitle, BoxIcon::Critical);
        return false;
    }
    m_loaded = *card;
    SchedaEmail->setText(card->email);
    SchedaPec->setText(card->pec);
    SchedaTelefono->setText(card->phone);
    SchedaVia->setText(card->street);
    SchedaCap->setText(card->postalCode);
    SchedaPartitaIva->setText(card->vatNumber);
    SchedaCodiceFiscale->setText(card->taxCode);
    checkFields();
    return true;
}

mail::contacts::Card CustomerContactsDialog::shown() const {
    mail::contacts::Card c;
    c.code = m_loaded.code;
    c.email = SchedaEmail->text().trimmed();
    c.pec = SchedaPec->text().trimmed();
    c.phone = SchedaTelefono->text().trimmed();
    c.street = SchedaVia->text().trimmed();
    c.postalCode = SchedaCap->text().trimmed();
    c.vatNumber = SchedaPartitaIva->text().trimmed();
    c.taxCode = SchedaCodiceFiscale->text().trimmed().toUpper();
    return c;
}

void CustomerContactsDialog::checkFields() {
    const Status s = mail::contacts::check(shown());
    SchedaErrore->setText(s ? QString() : s.error().text);
    SchedaSalva->setEnabled(bool(s));
}

void CustomerContactsDialog::Salva_Click() {
    if (Status s = mail::contacts::saveOver(m_db, m_loaded, shown()); !s) {
        m_dialogs.message(s.error().text, kTitle, BoxIcon::Exclamation);
        return;
    }
    accept();
}
