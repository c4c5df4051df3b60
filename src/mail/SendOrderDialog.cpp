#include "SendOrderDialog.h"

#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

SendOrderDialog::SendOrderDialog(const mail::ordermail::Draft& draft, QWidget* parent)
    : QDialog(parent), m_draft(draft) {
    setObjectName(QStringLiteral("InviaOrdineDialog"));
    setWindowTitle(QStringLiteral("Invia ordine %1/%2").arg(draft.facts.number, draft.facts.year));
    InvioA = new QComboBox(this);
    InvioA->setObjectName(QStringLiteral("InvioA"));
    InvioA->setEditable(true);
    InvioA->addItems(draft.principals);
    InvioA->setCurrentText(draft.message.to.isEmpty() ? QString()
                                                      : draft.message.to.first().address);
    InvioCc = new QLineEdit(this);
    InvioCc->setObjectName(QStringLiteral("InvioCc"));
    InvioCc->setText(draft.message.cc.isEmpty() ? QString() : draft.message.cc.first().address);
    InvioOggetto = new QLineEdit(draft.message.subject, this);
    InvioOggetto->setObjectName(QStringLiteral("InvioOggetto"));
    InvioTesto = new QPlainTextEdit(draft.message.body, this);
    InvioTesto->setObjectName(QStringLiteral("InvioTesto"));
    QStringList names;
    for (const mail::Attachment& a : draft.message.attachments)
        names << a.name;
    InvioAllegati = new QLabel(names.join(QStringLiteral(", ")), this);
    InvioAllegati->setObjectName(QStringLiteral("InvioAllegati"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("A:"), InvioA);
    form->addRow(QStringLiteral("Cc:"), InvioCc);
    form->addRow(QStringLiteral("Oggetto:"), InvioOggetto);
    form->addRow(QStringLiteral("Allegati:"), InvioAllegati);
    InvioInvia = new QPushButton(QStringLiteral("Invia"), this);
    InvioInvia->setObjectName(QStringLiteral("InvioInvia"));
    InvioInvia->setDefault(true);
    InvioAnnulla = new QPushButton(QStringLiteral("Annulla"), this);
    InvioAnnulla->setObjectName(QStringLiteral("InvioAnnulla"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(InvioInvia);
    buttons->addWidget(InvioAnnulla);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(InvioTesto);
    layout->addLayout(buttons);
    connect(InvioInvia, &QPushButton::clicked, this, &QDialog::accept);
    connect(InvioAnnulla, &QPushButton::clicked, this, &QDialog::reject);
    resize(560, 420);
}

mail::MailMessage SendOrderDialog::message() const {
    mail::MailMessage m = m_draft.message;
    const QString to = InvioA->currentText().trimmed();
    QString toName;
    for (const mail::Mailbox& b : m_draft.message.to)
        if (b.address == to)
            toName = b.name;
    m.to.clear();
    if (!to.isEmpty())
        m.to = {{toName, to}};
    const QString cc = InvioCc->text().trimmed();
    m.cc.clear();
    if (!cc.isEmpty())
        m.cc = {{m_draft.facts.customerName, cc}};
    m.subject = InvioOggetto->text();
    m.body = InvioTesto->toPlainText();
    return m;
}
