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
    // The authorities that sign the server's certificate; empty for the system's store.
    QString caFile;
    // Bounds of each wait, so that a silent server never holds a sending for ever.
    int connectTimeoutMs = 15000;
    int responseTimeoutS = 60;
    int totalTimeoutS = 600;
};

// The usual port of a kind of protection.
int defaultPort(Security security);

} // namespace mail
