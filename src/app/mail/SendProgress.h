#pragma once

#include "mail/SmtpSender.h"

#include <functional>

class QWidget;

// The way a message leaves: the SMTP sender, replaced in tests.
using SendFunction = std::function<Result<mail::SendReceipt>(
    const mail::MailServer&, const mail::MailMessage&, const mail::SendControl&)>;

// Sends on a thread of its own while the window stays responsive behind a progress box whose
// "Annulla" stops the sending; returns the sender's outcome.
Result<mail::SendReceipt> sendWithProgress(QWidget* parent, const SendFunction& send,
                                           const mail::MailServer& server,
                                           const mail::MailMessage& message);
