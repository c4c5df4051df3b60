#pragma once

#include "base/Result.h"

#include <QString>

// The failures of the agency's server in the program's own Italian words, one text for each
// common cause; the server's or the client library's own text, when there is one, follows after
// "Dettaglio:". Every window that talks to the server shows these.
namespace serverfailure {

// What went wrong; an Error made here carries it as its code.
enum Kind : int {
    Refused = 1, // the server refused the statement, for a reason of its own
    NoRights,    // the login may not do that
    DataRefused, // the server refuses the data of one row
    NameUnknown, // the server's name is not found
    Unreachable, // nothing answers at that address and port
    Stopping,    // the server is shutting down or starting
    Certificate, // the encrypted connection failed: the certificate is not recognised
    NoSystemCertificates,
    NoDatabase,     // no database of that name on the server
    BadLogin,       // wrong user or password
    NotAllowed,     // the server does not let that user in from here
    ConnectRefused, // the server refused the connection for another reason
    TimeLimit,      // no answer in time
    Busy,           // data locked by another operation, or too many connections
    Cut,            // the connection broke
    Uncertain,      // the connection broke while the server recorded the changes
    Cancelled,      // stopped at the user's request
    Shape,          // the answer has columns the program does not know
    NewerSchema,    // the server was brought to a version newer than this program's
    NoSchema,       // the database has none of the program's tables
    Memory,
};

// Where the failure happened: the server's address and the login.
struct Where {
    QString host;
    int port = 0;
    QString database;
    QString user;
};

// The failure's message; `detail` is the server's or the library's text (any line breaks and
// tabs become spaces), `seconds` the time limit that ran out.
Error make(Kind kind, const Where& where, const QString& detail = {}, int seconds = 0);

// The kind of a failed statement, from the server's five-character code.
Kind ofStatement(const char* sqlstate);
// The kind of a connection the server itself refused, from its code; ConnectRefused when none
// of the common causes.
Kind ofConnection(const QString& sqlstate);

// A text of ours followed by the server's own after "Dettaglio:" (none when it is empty).
QString withDetail(const QString& text, const QString& detail);

inline bool is(const Error& e, Kind kind) {
    return e.code == kind;
}

} // namespace serverfailure
