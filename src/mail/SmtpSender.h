#pragma once

#include "MailMessage.h"
#include "MailServer.h"
#include "data/Result.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

namespace mail {

// What the server said once it took the message.
struct SendReceipt {
    // The identifier written in the message's header, with its angle brackets.
    QString messageId;
    // The server's last reply, the one to the end of the data ("250 OK ...").
    QString serverReply;
    // Every address the message went to (To and Cc).
    QStringList recipients;
};

// How a sending is followed and stopped from another thread.
struct SendControl {
    // Set by another thread to stop the sending; it stops within about a second.
    const std::atomic<bool>* cancel = nullptr;
    // Bytes of the message sent so far and in all; called on the sending thread.
    std::function<void(qint64 sent, qint64 total)> progress;
};

// Sends one message by SMTP and returns only when the server has accepted its data, or with an
// Italian message naming what failed. Nothing is sent when a field of the message is refused.
// Blocks: run it off the window's thread.
Result<SendReceipt> sendMail(const MailServer& server, const MailMessage& message,
                             const SendControl& control = {});

} // namespace mail
