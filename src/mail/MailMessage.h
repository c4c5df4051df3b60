#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace mail {

// A name and an address: "Rossi Spa" <ordini@rossi.it>. The name may be empty.
struct Mailbox {
    QString name;
    QString address;
};

// A file sent with the message, under the name the recipient sees ("Ordine 2026-12.pdf").
struct Attachment {
    QString path;
    QString name;
    QString mimeType;
};

// One message: sender, recipients, subject, a plain text body and the attached files.
struct MailMessage {
    Mailbox from;
    QList<Mailbox> to;
    QList<Mailbox> cc;
    QString subject;
    QString body;
    QList<Attachment> attachments;
    // The message's date header.
    QDateTime date;
    // The identifier of its header, with its angle brackets; a new one is made when empty.
    QString messageId;
};

// The addresses the message goes to (To, then Cc), each once.
QStringList recipientsOf(const MailMessage& message);

// The content type of an attachment, from its name's extension.
QString mimeTypeFor(const QString& fileName);

} // namespace mail
