#pragma once

#include "MailMessage.h"
#include "MailServer.h"
#include "base/Result.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

namespace mail {

// The code of the Error of a sending whose outcome nobody can know: the end of the message went
// (or may have gone) to the server and its reply never came. The server may have taken the
// message; it must not be taken for a failure and sent again on its own.
inline constexpr int kOutcomeUncertain = -39;

// What the server said once it took the message.
struct SendReceipt {
    // The identifier written in the message's header, with its angle brackets.
    QString messageId;
    // The server's last reply, the one to the end of the data ("250 OK ...").
    QString serverReply;
    // Every address the message went to (To and Cc).
    QStringList recipients;
};

// Where a sending is: connecting and talking to the server, sending the message, waiting for
// the server to confirm it.
enum class SendStep { Connecting, Message, Confirming };

// How a sending is followed and stopped from another thread.
struct SendControl {
    // Set by another thread to stop the sending; it stops within about a second.
    const std::atomic<bool>* cancel = nullptr;
    // Bytes of the message sent so far and in all (0 when not known); called on the sending
    // thread.
    std::function<void(qint64 sent, qint64 total)> progress;
    // Each step as it is reached; called on the sending thread.
    std::function<void(SendStep)> step;
    // Called on the sending thread once the server waits for the message, before a byte of it
    // goes: false stops the sending there, with nothing sent. It may wait.
    std::function<bool()> beforeMessage;
};

// Sends one message by SMTP and returns only when the server has accepted its data, or with an
// Italian message naming what failed; kOutcomeUncertain when the end of the message may have
// reached the server and its reply did not come. Nothing is sent when a field of the message
// is refused. Blocks: run it off the window's thread.
Result<SendReceipt> sendMail(const MailServer& server, const MailMessage& message,
                             const SendControl& control = {});

} // namespace mail
