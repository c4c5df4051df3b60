#include "SmtpSender.h"

#include "CurlHandles.h"
#include "MailHeaders.h"
#include "SmtpAuthority.h"
#include "SmtpFailure.h"
#include "SmtpWatch.h"

#include <QFile>

#include <algorithm>
#include <mutex>
#include <vector>

namespace mail {
namespace {

using curl::Easy;
using curl::List;
using curl::Mime;
using namespace smtpwatch;

void initOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Adds a line to a list; false when memory ran out.
bool append(List& list, const QByteArray& line) {
    curl_slist* grown = curl_slist_append(list.get(), line.constData());
    if (!grown)
        return false;
    (void)list.release();
    list.reset(grown);
    return true;
}

// CR and lone LF become the CRLF the mail's lines end with.
QByteArray bodyBytes(const QString& body) {
    QString text = body;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    // An empty body is an empty line: the message's text always has a byte to read.
    return text.isEmpty() ? QByteArray("\r\n") : text.toUtf8();
}

Status checkServer(const MailServer& server) {
    if (server.host.isEmpty())
        return makeError(QStringLiteral("Manca il server di posta: indicarlo in \"Impostazioni "
                                        "invio\". Messaggio non inviato."));
    for (QChar c : server.host)
        if (c.unicode() <= 0x20 || c.unicode() == 0x7F || QStringLiteral("/@?#\\[]").contains(c))
            return makeError(
                QStringLiteral("Il nome del server di posta \"%1\" non è valido: messaggio "
                               "non inviato.")
                    .arg(server.host));
    if (server.port < 1 || server.port > 65535)
        return makeError(QStringLiteral("La porta %1 del server di posta non è valida: messaggio "
                                        "non inviato.")
                             .arg(server.port));
    if (Status s = headers::checkField(QStringLiteral("Utente"), server.user); !s)
        return s;
    if (Status s = headers::checkField(QStringLiteral("Password"), server.password); !s)
        return s;
    if (server.security == Security::None && !server.plainAccepted)
        return makeError(QStringLiteral(
            "Il server di posta è impostato senza connessione protetta e l'invio senza "
            "protezione non è stato accettato: messaggio non inviato."));
    return {};
}

} // namespace

Result<SendReceipt> sendMail(const MailServer& server, const MailMessage& message,
                             const SendControl& control) {
    if (Status s = checkServer(server); !s)
        return s.error();
    if (Status s = headers::checkMessage(message); !s)
        return s.error();
    if (!message.messageId.isEmpty()) {
        const QString& id = message.messageId;
        if (Status s = headers::checkField(QStringLiteral("Message-ID"), id); !s)
            return s.error();
        if (!id.startsWith(QLatin1Char('<')) || !id.endsWith(QLatin1Char('>')) ||
            !headers::isAddress(id.mid(1, id.size() - 2)))
            return makeError(QStringLiteral("L'identificativo del messaggio \"%1\" non è valido: "
                                            "messaggio non inviato.")
                                 .arg(id));
    }
    QByteArray authority;
    if (!server.caFile.isEmpty()) {
        auto pem = authority::pem(server.caFile);
        if (!pem)
            return pem.error();
        authority = std::move(*pem);
    }

    initOnce();
    const Error noMemory =
        makeError(QStringLiteral("Memoria insufficiente per preparare il messaggio: messaggio "
                                 "non inviato."));
    Easy easy(curl_easy_init());
    if (!easy)
        return noMemory;
    CURL* c = easy.get();

    Watch watch;
    watch.easy = c;
    watch.server = &server;
    watch.control = &control;
    watch.trace.mailFrom = message.from.address;

    // Every file is read before a byte goes out, so that a missing one stops nothing half-way.
    // The parts are read by the library from here as it sends them.
    std::vector<PartSource> parts(size_t(message.attachments.size()) + 1);
    parts.front().bytes = bodyBytes(message.body);
    for (qsizetype i = 0; i < message.attachments.size(); ++i) {
        const Attachment& a = message.attachments[i];
        QFile file(a.path);
        if (!file.open(QIODevice::ReadOnly))
            return makeError(QStringLiteral("Impossibile leggere l'allegato \"%1\" (%2): "
                                            "messaggio non inviato.")
                                 .arg(a.name, file.errorString()));
        parts[size_t(i) + 1].bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return makeError(QStringLiteral("Impossibile leggere l'allegato \"%1\" (%2): "
                                            "messaggio non inviato.")
                                 .arg(a.name, file.errorString()));
    }
    for (PartSource& p : parts)
        p.watch = &watch;
    // The body is never empty (bodyBytes), so that its first read always asks for the leave.
    parts.front().first = true;
    for (auto p = parts.rbegin(); p != parts.rend(); ++p)
        if (!p->bytes.isEmpty()) {
            p->last = true;
            break;
        }

    SendReceipt receipt;
    receipt.messageId = message.messageId.isEmpty()
                            ? QString::fromLatin1(headers::newMessageId(message.from.address))
                            : message.messageId;
    receipt.recipients = recipientsOf(message);

    List head;
    QByteArrayList to, cc;
    for (const Mailbox& b : message.to)
        to << headers::mailbox(b);
    for (const Mailbox& b : message.cc)
        cc << headers::mailbox(b);
    bool built = append(head, "Date: " + headers::date(message.date)) &&
                 append(head, "From: " + headers::mailbox(message.from)) &&
                 append(head, "To: " + to.join(", ")) &&
                 (cc.isEmpty() || append(head, "Cc: " + cc.join(", "))) &&
                 append(head, "Subject: " + headers::encodeText(message.subject)) &&
                 append(head, "Message-ID: " + receipt.messageId.toLatin1());

    List rcpt;
    for (const QString& address : receipt.recipients)
        built = built && append(rcpt, '<' + address.toLatin1() + '>');

    Mime mime(curl_mime_init(c));
    built = built && mime;
    for (size_t i = 0; built && i < parts.size(); ++i) {
        PartSource& source = parts[i];
        curl_mimepart* part = curl_mime_addpart(mime.get());
        built = part && curl_mime_data_cb(part, curl_off_t(source.bytes.size()), readPart, seekPart,
                                          nullptr, &source) == CURLE_OK;
        if (!built)
            break;
        if (i == 0) {
            built = curl_mime_type(part, "text/plain; charset=UTF-8") == CURLE_OK &&
                    curl_mime_encoder(part, "quoted-printable") == CURLE_OK;
            continue;
        }
        const Attachment& a = message.attachments[qsizetype(i) - 1];
        List partHead;
        const QString type = a.mimeType.isEmpty() ? mimeTypeFor(a.name) : a.mimeType;
        built = curl_mime_type(part, type.toLatin1().constData()) == CURLE_OK &&
                curl_mime_encoder(part, "base64") == CURLE_OK &&
                append(partHead, headers::contentDisposition(a.name)) &&
                curl_mime_headers(part, partHead.get(), 1) == CURLE_OK;
        if (built)
            (void)partHead.release();
    }
    if (!built)
        return noMemory;

    const bool implicitTls = server.security == Security::SslTls;
    QString host = server.host;
    if (host.contains(QLatin1Char(':')))
        host = QLatin1Char('[') + host + QLatin1Char(']');
    const QByteArray url =
        QStringLiteral("%1://%2:%3/")
            .arg(implicitTls ? QStringLiteral("smtps") : QStringLiteral("smtp"), host)
            .arg(server.port)
            .toUtf8();
    const QByteArray from = '<' + message.from.address.toLatin1() + '>';
    const QByteArray user = server.user.toUtf8();
    const QByteArray password = server.password.toUtf8();

    curl_easy_setopt(c, CURLOPT_URL, url.constData());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_USE_SSL,
                     server.security == Security::None ? long(CURLUSESSL_NONE)
                                                       : long(CURLUSESSL_ALL));
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_blob blob{authority.data(), size_t(authority.size()), CURL_BLOB_NOCOPY};
    if (!authority.isEmpty())
        curl_easy_setopt(c, CURLOPT_CAINFO_BLOB, &blob);
    if (!user.isEmpty()) {
        curl_easy_setopt(c, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(c, CURLOPT_PASSWORD, password.constData());
    }
    curl_easy_setopt(c, CURLOPT_MAIL_FROM, from.constData());
    curl_easy_setopt(c, CURLOPT_MAIL_RCPT, rcpt.get());
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, head.get());
    curl_easy_setopt(c, CURLOPT_MIMEPOST, mime.get());
    // The bounds of each wait are kept by onProgress; the library's own are only a last resort
    // behind them (its connection bound covers the whole dialogue up to the message).
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS,
                     long(server.connectTimeoutMs) + 8L * server.responseTimeoutS * 1000L);
    curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT,
                     long(std::max(server.responseTimeoutS, server.finalReplyTimeoutS)) + 30L);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &watch);
    curl_easy_setopt(c, CURLOPT_SOCKOPTFUNCTION, onSocketOpened);
    curl_easy_setopt(c, CURLOPT_SOCKOPTDATA, &watch);
    curl_easy_setopt(c, CURLOPT_CLOSESOCKETFUNCTION, onSocketClosed);
    curl_easy_setopt(c, CURLOPT_CLOSESOCKETDATA, &watch);
    curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, onDebug);
    curl_easy_setopt(c, CURLOPT_DEBUGDATA, &watch);
    curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);

    // The connection ends with the sending, its farewell watched like every other step (a kept
    // connection would say it later, unwatched, when the handle goes).
    curl_easy_setopt(c, CURLOPT_FORBID_REUSE, 1L);

    watch.step(SendStep::Connecting);
    const CURLcode rc = curl_easy_perform(c);
    // The handle goes here, while what its callbacks use is still there.
    easy.reset();
    if (rc == CURLE_OK && watch.trace.dataReply.startsWith(QLatin1String("250"))) {
        receipt.serverReply = watch.trace.dataReply;
        return receipt;
    }
    if (rc == CURLE_PEER_FAILED_VERIFICATION || rc == CURLE_SSL_ISSUER_ERROR)
        watch.trace.certificateIssuer = authority::issuerOf(server, url);
    return smtpFailure(rc, server, watch.trace);
}

} // namespace mail
