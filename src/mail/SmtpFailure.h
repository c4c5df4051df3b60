#pragma once

#include "MailServer.h"
#include "base/Result.h"

#include <QByteArray>
#include <QString>

#include <curl/curl.h>

namespace mail {

// The steps of the dialogue with the server, by the command whose reply came last.
enum class SmtpStep { Greeting, Hello, StartTls, Auth, Mail, Rcpt, Data, End, Other };

// Which of the sender's own bounds ended the sending.
enum class SmtpTimeout { None, Connect, Reply, Data, FinalReply };

// What the dialogue with the server showed when it ended: the last command sent, the last
// recipient named, the server's replies, how far the message went and who stopped it.
struct SmtpTrace {
    QByteArray lastCommand;
    QString lastRecipient;
    QString lastReply;
    int lastCode = 0;
    // The sender of the envelope, as the message names it.
    QString mailFrom;
    // The server asked for the message's data (354).
    bool dataStarted = false;
    // Bytes of the message began to go, and every byte of it was handed over: from then on
    // the end of the message may be with the server.
    bool messageBegun = false;
    bool messageEnded = false;
    // The server's reply to the end of the data.
    QString dataReply;
    // The farewell was sent: what follows tells nothing of the message.
    bool quitSent = false;
    // The last reply asked for the next line of an authentication: that line is a credential.
    bool authContinues = false;
    // The user stopped the sending; one of the sender's bounds did; the record of the attempt
    // could not be written, so that the message was held back.
    bool cancelled = false;
    SmtpTimeout timedOut = SmtpTimeout::None;
    // When the sending was stopped, the end of the message had not reached the server: what
    // it had was left unended, which no server takes for a message.
    bool undelivered = false;
    bool heldBack = false;
    // The library's own words on a failure of the connection's protection.
    QString detail;
    // The authority that issued the server's certificate, when it was refused.
    QString certificateIssuer;

    SmtpStep step() const;
};

// The Italian message of a failed sending, naming what failed; its code is
// kOutcomeUncertain when the server may have taken the message.
Error smtpFailure(CURLcode rc, const MailServer& server, const SmtpTrace& trace);

} // namespace mail
