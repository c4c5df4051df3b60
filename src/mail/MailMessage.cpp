#include "MailMessage.h"

#include "MailServer.h"

#include <QSet>

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

QStringList recipientsOf(const MailMessage& message) {
    QStringList out;
    QSet<QString> seen;
    for (const QList<Mailbox>* list : {&message.to, &message.cc})
        for (const Mailbox& b : *list)
            if (!seen.contains(b.address.toLower())) {
                seen.insert(b.address.toLower());
                out << b.address;
            }
    return out;
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
