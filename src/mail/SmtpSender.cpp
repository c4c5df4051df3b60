#include "SmtpSender.h"

#include "MailHeaders.h"
#include "SmtpFailure.h"

#include <QFile>
#include <QSet>

#include <curl/curl.h>

#include <memory>
#include <mutex>

namespace mail {
namespace {

struct EasyFree {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct MimeFree {
    void operator()(curl_mime* m) const { curl_mime_free(m); }
};
struct ListFree {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
using Easy = std::unique_ptr<CURL, EasyFree>;
using Mime = std::unique_ptr<curl_mime, MimeFree>;
using List = std::unique_ptr<curl_slist, ListFree>;

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

// The dialogue with the server as the library reports it: which command was sent last, and
// the server's replies. Credentials are never kept: of a command only its verb is.
int onDebug(CURL*, curl_infotype type, char* data, size_t size, void* user) {
    auto* trace = static_cast<SmtpTrace*>(user);
    // What follows the farewell tells nothing of the message.
    if (trace->quitSent)
        return 0;
    const QByteArray text(data, static_cast<qsizetype>(size));
    if (type == CURLINFO_HEADER_OUT) {
        const QByteArray line = text.trimmed();
        const QByteArray verb = line.left(line.indexOf(' ')).toUpper();
        if (verb == "QUIT" || line.toUpper() == "QUIT") {
            trace->quitSent = true;
            return 0;
        }
        trace->lastCommand = verb.isEmpty() ? line.toUpper() : verb;
        if (trace->lastCommand == "RCPT") {
            const qsizetype open = line.indexOf('<');
            const qsizetype close = line.indexOf('>', open);
            trace->lastRecipient = QString::fromLatin1(line.mid(open + 1, close - open - 1));
        }
    } else if (type == CURLINFO_HEADER_IN) {
        const QList<QByteArray> lines = text.trimmed().split('\n');
        const QString reply = QString::fromUtf8(lines.last().trimmed());
        trace->lastReply = reply;
        trace->lastCode = reply.left(3).toInt();
        if (trace->dataStarted && trace->dataReply.isEmpty())
            trace->dataReply = reply;
        else if (trace->lastCommand == "DATA" && trace->lastCode == 354)
            trace->dataStarted = true;
    }
    return 0;
}

struct Progress {
    const SendControl* control;
};

int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t ultotal, curl_off_t ulnow) {
    const auto* p = static_cast<Progress*>(user);
    if (p->control->progress)
        p->control->progress(ulnow, ultotal);
    return p->control->cancel && p->control->cancel->load() ? 1 : 0;
}

// CR and lone LF become the CRLF the mail's lines end with.
QByteArray bodyBytes(const QString& body) {
    QString text = body;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return text.toUtf8();
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

    // Every file is read before a byte goes out, so that a missing one stops nothing half-way.
    QList<QByteArray> contents;
    for (const Attachment& a : message.attachments) {
        QFile file(a.path);
        if (!file.open(QIODevice::ReadOnly))
            return makeError(QStringLiteral("Impossibile leggere l'allegato \"%1\" (%2): "
                                            "messaggio non inviato.")
                                 .arg(a.name, file.errorString()));
        contents << file.readAll();
        if (file.error() != QFileDevice::NoError)
            return makeError(QStringLiteral("Impossibile leggere l'allegato \"%1\" (%2): "
                                            "messaggio non inviato.")
                                 .arg(a.name, file.errorString()));
    }

    initOnce();
    const Error noMemory =
        makeError(QStringLiteral("Memoria insufficiente per preparare il messaggio: messaggio "
                                 "non inviato."));
    Easy easy(curl_easy_init());
    if (!easy)
        return noMemory;
    CURL* c = easy.get();

    SendReceipt receipt;
    receipt.messageId = QString::fromLatin1(headers::newMessageId(message.from.address));

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
    QSet<QString> seen;
    for (const QList<Mailbox>* list : {&message.to, &message.cc})
        for (const Mailbox& b : *list) {
            if (seen.contains(b.address.toLower()))
                continue;
            seen.insert(b.address.toLower());
            receipt.recipients << b.address;
            built = built && append(rcpt, '<' + b.address.toLatin1() + '>');
        }

    Mime mime(curl_mime_init(c));
    built = built && mime;
    if (built) {
        curl_mimepart* text = curl_mime_addpart(mime.get());
        const QByteArray body = bodyBytes(message.body);
        built = text && curl_mime_data(text, body.constData(), size_t(body.size())) == CURLE_OK &&
                curl_mime_type(text, "text/plain; charset=UTF-8") == CURLE_OK &&
                curl_mime_encoder(text, "quoted-printable") == CURLE_OK;
        for (qsizetype i = 0; built && i < message.attachments.size(); ++i) {
            const Attachment& a = message.attachments[i];
            curl_mimepart* part = curl_mime_addpart(mime.get());
            List partHead;
            const QString type = a.mimeType.isEmpty() ? mimeTypeFor(a.name) : a.mimeType;
            built = part &&
                    curl_mime_data(part, contents[i].constData(), size_t(contents[i].size())) ==
                        CURLE_OK &&
                    curl_mime_type(part, type.toLatin1().constData()) == CURLE_OK &&
                    curl_mime_encoder(part, "base64") == CURLE_OK &&
                    append(partHead, headers::contentDisposition(a.name)) &&
                    curl_mime_headers(part, partHead.get(), 1) == CURLE_OK;
            if (built)
                (void)partHead.release();
        }
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
    const QByteArray caFile = server.caFile.toLocal8Bit();

    SmtpTrace trace;
    Progress progress{&control};
    curl_easy_setopt(c, CURLOPT_URL, url.constData());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_USE_SSL,
                     server.security == Security::None ? long(CURLUSESSL_NONE)
                                                       : long(CURLUSESSL_ALL));
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!caFile.isEmpty())
        curl_easy_setopt(c, CURLOPT_CAINFO, caFile.constData());
    if (!user.isEmpty()) {
        curl_easy_setopt(c, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(c, CURLOPT_PASSWORD, password.constData());
    }
    curl_easy_setopt(c, CURLOPT_MAIL_FROM, from.constData());
    curl_easy_setopt(c, CURLOPT_MAIL_RCPT, rcpt.get());
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, head.get());
    curl_easy_setopt(c, CURLOPT_MIMEPOST, mime.get());
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, long(server.connectTimeoutMs));
    curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, long(server.responseTimeoutS));
    curl_easy_setopt(c, CURLOPT_TIMEOUT, long(server.totalTimeoutS));
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &progress);
    curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, onDebug);
    curl_easy_setopt(c, CURLOPT_DEBUGDATA, &trace);
    curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);

    const CURLcode rc = curl_easy_perform(c);
    if (rc != CURLE_OK || !trace.dataReply.startsWith(QLatin1String("250")))
        return smtpFailure(rc, server, trace);
    receipt.serverReply = trace.dataReply;
    return receipt;
}

} // namespace mail
