#include "MailMessage.h"

#include "MailServer.h"

namespace mail {

QString mimeTypeFor(const QString& fileName) {
    const QString lower = fileName.toLower();
    if (lower.endsWith(QLatin1String(".pdf")))
        return QStringLiteral("application/pdf");
    if (lower.endsWith(QLatin1String(".xlsx")))
        return QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet");
    if (lower.endsWith(QLatin1String(".txt")))
        return QStringLiteral("text/plain");
    return QStringLiteral("application/octet-stream");
}

int defaultPort(Security security) {
    switch (security) {
    case Security::SslTls:
        return 465;
    case Security::StartTls:
        return 587;
    case Security::None:
        return 25;
    }
    return 587;
}

} // namespace mail
