#include "MailHeaders.h"

#include <QRegularExpression>
#include <QUuid>

namespace mail::headers {
namespace {

bool isAscii(const QString& text) {
    for (QChar c : text)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

// Encoded words of at most 75 characters, cut between characters, never inside one.
QByteArray encodedWords(const QString& text) {
    QByteArray out;
    QByteArray chunk;
    const QByteArray utf8 = text.toUtf8();
    // 45 bytes of UTF-8 make 60 of base64: with "=?UTF-8?B?" and "?=" a word stays under 75.
    constexpr int kMaxBytes = 45;
    int i = 0;
    while (i < utf8.size()) {
        int len = 1;
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        if (lead >= 0xF0)
            len = 4;
        else if (lead >= 0xE0)
            len = 3;
        else if (lead >= 0xC0)
            len = 2;
        if (chunk.size() + len > kMaxBytes) {
            out += (out.isEmpty() ? "" : " ") + QByteArray("=?UTF-8?B?") + chunk.toBase64() + "?=";
            chunk.clear();
        }
        chunk += utf8.mid(i, len);
        i += len;
    }
    if (!chunk.isEmpty() || out.isEmpty())
        out += (out.isEmpty() ? "" : " ") + QByteArray("=?UTF-8?B?") + chunk.toBase64() + "?=";
    return out;
}

} // namespace

bool isAddress(const QString& address) {
    static const QRegularExpression form(QStringLiteral(
        R"(^[A-Za-z0-9.!#$%&'*+/=?^_`{|}~-]+@[A-Za-z0-9](?:[A-Za-z0-9-]{0,61}[A-Za-z0-9])?)"
        R"((?:\.[A-Za-z0-9](?:[A-Za-z0-9-]{0,61}[A-Za-z0-9])?)+$)"));
    if (address.size() > 254)
        return false;
    const qsizetype at = address.indexOf(QLatin1Char('@'));
    if (at > 64)
        return false;
    const QString local = address.left(at);
    if (local.startsWith(QLatin1Char('.')) || local.endsWith(QLatin1Char('.')) ||
        local.contains(QLatin1String("..")))
        return false;
    return form.match(address).hasMatch();
}

Status checkField(const QString& field, const QString& value) {
    for (QChar c : value) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F || u == 0x2028 || u == 0x2029 || u == 0x85)
            return makeError(
                QStringLiteral("Il campo \"%1\" contiene un a capo o un carattere di controllo: "
                               "il messaggio non è stato inviato.")
                    .arg(field));
    }
    return {};
}

Status checkMessage(const MailMessage& message) {
    auto checkBox = [](const QString& field, const Mailbox& box) -> Status {
        if (Status s = checkField(field, box.name); !s)
            return s;
        if (Status s = checkField(field, box.address); !s)
            return s;
        if (!isAddress(box.address))
            return makeError(QStringLiteral("L'indirizzo \"%1\" nel campo \"%2\" non è un "
                                            "indirizzo e-mail valido: il messaggio non è stato "
                                            "inviato.")
                                 .arg(box.address, field));
        return {};
    };
    if (Status s = checkBox(QStringLiteral("Mittente"), message.from); !s)
        return s;
    if (message.to.isEmpty())
        return makeError(
            QStringLiteral("Manca il destinatario (A): il messaggio non è stato inviato."));
    for (const Mailbox& box : message.to)
        if (Status s = checkBox(QStringLiteral("A"), box); !s)
            return s;
    for (const Mailbox& box : message.cc)
        if (Status s = checkBox(QStringLiteral("Cc"), box); !s)
            return s;
    if (Status s = checkField(QStringLiteral("Oggetto"), message.subject); !s)
        return s;
    for (const Attachment& a : message.attachments) {
        if (Status s = checkField(QStringLiteral("Allegato"), a.name); !s)
            return s;
        if (Status s = checkField(QStringLiteral("Allegato"), a.mimeType); !s)
            return s;
        if (a.name.isEmpty() || a.name.contains(QLatin1Char('/')))
            return makeError(QStringLiteral("Il nome dell'allegato \"%1\" non è valido: il "
                                            "messaggio non è stato inviato.")
                                 .arg(a.name));
    }
    return {};
}

QByteArray encodeText(const QString& text) {
    if (isAscii(text))
        return text.toLatin1();
    return encodedWords(text);
}

QByteArray mailbox(const Mailbox& box) {
    const QByteArray address = box.address.toLatin1();
    if (box.name.isEmpty())
        return address;
    QByteArray name;
    if (isAscii(box.name)) {
        QByteArray quoted = box.name.toLatin1();
        quoted.replace('\\', "\\\\").replace('"', "\\\"");
        name = '"' + quoted + '"';
    } else {
        name = encodedWords(box.name);
    }
    return name + " <" + address + '>';
}

QByteArray contentDisposition(const QString& fileName) {
    if (isAscii(fileName)) {
        QByteArray quoted = fileName.toLatin1();
        quoted.replace('\\', "\\\\").replace('"', "\\\"");
        return "Content-Disposition: attachment; filename=\"" + quoted + '"';
    }
    // The name in UTF-8, percent-encoded (RFC 2231), and as encoded words for older readers.
    return "Content-Disposition: attachment; filename*=UTF-8''" +
           fileName.toUtf8().toPercentEncoding("!#$&+-.^_`|~") + "; filename=\"" +
           encodedWords(fileName) + '"';
}

QByteArray newMessageId(const QString& fromAddress) {
    QString domain = fromAddress.mid(fromAddress.lastIndexOf(QLatin1Char('@')) + 1);
    if (!isAddress(QStringLiteral("x@") + domain))
        domain = QStringLiteral("gestione-ordini.invalid");
    return '<' + QUuid::createUuid().toByteArray(QUuid::WithoutBraces) + '@' + domain.toLatin1() +
           '>';
}

QByteArray date(const QDateTime& when) {
    return when.toString(Qt::RFC2822Date).toLatin1();
}

} // namespace mail::headers
