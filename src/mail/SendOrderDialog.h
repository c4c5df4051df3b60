#pragma once

#include "OrderMail.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// "Invia ordine": the message of one order before it leaves: To (the principal, chosen or
// typed), Cc (the customer, may be cleared), the subject, the body and the files attached.
class SendOrderDialog : public QDialog {
    Q_OBJECT
public:
    SendOrderDialog(const mail::ordermail::Draft& draft, QWidget* parent = nullptr);

    QComboBox* InvioA;
    QLineEdit* InvioCc;
    QLineEdit* InvioOggetto;
    QPlainTextEdit* InvioTesto;
    QLabel* InvioAllegati;
    QPushButton* InvioInvia;
    QPushButton* InvioAnnulla;

    // The draft's message with what the user set in the fields.
    mail::MailMessage message() const;

private:
    mail::ordermail::Draft m_draft;
};
