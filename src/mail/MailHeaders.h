#pragma once

#include "MailMessage.h"
#include "base/Result.h"

#include <QByteArray>
#include <QString>

// The header lines of a message, written so that no field can add a line of its own and every
// text outside ASCII arrives as it was typed.
namespace mail::headers {

// True when `address` has the form of a mail address (local part, "@", a domain with a dot).
bool isAddress(const QString& address);

// Refuses a field holding a line break or another control character, naming the field.
Status checkField(const QString& field, const QString& value);
// Checks every header field of the message and the form of its addresses.
Status checkMessage(const MailMessage& message);

// A text as it may stand in a header: unchanged in ASCII, else as encoded words (UTF-8, base64).
QByteArray encodeText(const QString& text);
// "name" <address>, the name quoted or encoded; the bare address without a name.
QByteArray mailbox(const Mailbox& box);
// The disposition of an attachment with its real name, in the form the name needs.
QByteArray contentDisposition(const QString& fileName);
// A new message identifier, unique, under the domain of the sender's address.
QByteArray newMessageId(const QString& fromAddress);
// The date header's value, in English whatever the process locale.
QByteArray date(const QDateTime& when);

} // namespace mail::headers
