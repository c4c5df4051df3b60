#pragma once

#include "MailServer.h"
#include "base/Result.h"

#include <QByteArray>
#include <QString>

// The authority of a mail server with one of its own: its certificate as the library takes it,
// and, when a server's certificate is refused, who issued it.
namespace mail::authority {

// The certificate file of the settings as the library takes it: PEM, a DER file turned into
// PEM; an Italian message when it cannot be read or holds no certificate.
Result<QByteArray> pem(const QString& path);

// The authority that issued the server's certificate, asked by a second connection that does
// not check it and sends nothing (no login, no message); empty when it cannot be known.
QString issuerOf(const MailServer& server, const QByteArray& url);

} // namespace mail::authority
