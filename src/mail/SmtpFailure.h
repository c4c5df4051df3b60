#pragma once

#include "MailServer.h"
#include "data/Result.h"

#include <QByteArray>
#include <QString>

#include <curl/curl.h>

namespace mail {

// What the dialogue with the server showed when it ended: the last command sent, the last
// recipient named, the server's replies.
struct SmtpTrace {
    QByteArray lastCommand;
    QString lastRecipient;
    QString lastReply;
    int lastCode = 0;
    // The server asked for the message's data (354).
    bool dataStarted = false;
    // The server's reply to the end of the data.
    QString dataReply;
    // The farewell was sent: what follows tells nothing of the message.
    bool quitSent = false;
};

// The Italian message of a failed sending, naming what failed.
Error smtpFailure(CURLcode rc, const MailServer& server, const SmtpTrace& trace);

} // namespace mail
