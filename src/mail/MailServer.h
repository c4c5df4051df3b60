#pragma once

#include <QString>

namespace mail {

// How the connection to the server is protected: TLS from the first byte (port 465), TLS
// asked for after the greeting and required (port 587), or none at all, which the user must
// have accepted explicitly.
enum class Security { SslTls, StartTls, None };

// The outgoing mail server and the account on it.
struct MailServer {
    QString host;
    int port = 587;
    Security security = Security::StartTls;
    QString user;
    QString password;
    // True only after the user accepted, in a warning, to send without protection.
    bool plainAccepted = false;
    // The authority that signs the server's certificate (a PEM or DER file), trusted for this
    // server only; empty for the system's store alone.
    QString caFile;
    // Bounds of each wait, so that a silent server never holds a sending for ever while a slow
    // one is given the time the mail standard gives it (RFC 5321, 4.5.3.2). Each counts on a
    // clock that changes of the date and time do not move.
    // The connection itself, and the protection of port 465.
    int connectTimeoutMs = 30000;
    // Each reply of the dialogue before the message: the greeting, EHLO, AUTH, MAIL, RCPT, DATA.
    int responseTimeoutS = 300;
    // The message: the server takes no byte of it for this long.
    int dataTimeoutS = 180;
    // The reply to the end of the message, where the server checks and stores it: 10 minutes,
    // so that a slow server is not taken for a failed one and sent the order again.
    int finalReplyTimeoutS = 600;
};

// The usual port of a kind of protection.
int defaultPort(Security security);

} // namespace mail
