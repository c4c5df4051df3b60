#pragma once

#include "SmtpSender.h"

#include <functional>

class QWidget;

// The way a message leaves: the SMTP sender, replaced in tests.
using SendFunction = std::function<Result<mail::SendReceipt>(
    const mail::MailServer&, const mail::MailMessage&, const mail::SendControl&)>;

// Sends on a thread of its own behind a busy box ("InvioInCorso": the step reached and
// "Annulla"), modal over every window of the program, that stays until the sending ends: the
// server's reply to the end of the message, a failure, or "Annulla". The window keeps drawing
// itself meanwhile. `record`, when given, runs on the window's thread while the connection
// opens: the message waits for it, and goes only when it succeeded (the record of an attempt is
// on the disk before any of the message leaves). Returns the sender's outcome.
Result<mail::SendReceipt> sendWithProgress(QWidget* parent, const SendFunction& send,
                                           const mail::MailServer& server,
                                           const mail::MailMessage& message,
                                           const std::function<Status()>& record = {});
