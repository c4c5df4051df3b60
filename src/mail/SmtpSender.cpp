#include "SmtpSender.h"

#include "MailHeaders.h"
#include "SmtpFailure.h"

#include <QFile>

#include <curl/curl.h>
#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

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

// Where the dialogue stands, kept by the library's callbacks on the sending thread: the trace
// of the commands and replies, the clock of each wait, and the message as it goes.
struct Watch {
    using Clock = std::chrono::steady_clock;
    CURL* easy = nullptr;
    const MailServer* server = nullptr;
    const SendControl* control = nullptr;
    SmtpTrace trace;
    // The connection's socket while it is open.
    curl_socket_t socket = CURL_SOCKET_BAD;
    Clock::time_point started = Clock::now();
    // The last command sent or reply received (the connection's start before either).
    Clock::time_point commandAt = started;
    bool awaitingReply = true;
    // The last sign that the message moves: a byte of it handed over, or fewer bytes left
    // waiting for the server's acknowledgement.
    Clock::time_point dataAt = started;
    int waiting = -1;
    // Since when every byte is with the server and only its reply is awaited.
    bool confirming = false;
    Clock::time_point confirmingSince = started;
    // The farewell's moment.
    Clock::time_point quitAt = started;

    void step(SendStep s) const {
        if (control->step)
            control->step(s);
    }
    static bool expired(Clock::time_point since, qint64 ms) {
        return Clock::now() - since > std::chrono::milliseconds(ms);
    }
    // Bytes handed to the connection that the server has not acknowledged yet; 0 when it
    // cannot be told, so that nothing is taken for undelivered without proof.
    int unacknowledged() const {
        int n = 0;
        if (socket == CURL_SOCKET_BAD || ::ioctl(socket, SIOCOUTQ, &n) != 0)
            return 0;
        return n;
    }
    // Ends the connection at once: a server that stopped reading, or one that is slow to
    // confirm, is not waited for again over the farewell.
    int abort() const {
        if (socket != CURL_SOCKET_BAD)
            ::shutdown(socket, SHUT_RDWR);
        return 1;
    }
    // A server that takes nothing more: bytes wait at its door, and none went in for `ms`.
    bool stuck(qint64 ms) const {
        return !trace.messageEnded || (waiting > 0 && expired(dataAt, ms));
    }
};

int onSocketOpened(void* user, curl_socket_t socket, curlsocktype) {
    static_cast<Watch*>(user)->socket = socket;
    return CURL_SOCKOPT_OK;
}

int onSocketClosed(void* user, curl_socket_t socket) {
    auto* watch = static_cast<Watch*>(user);
    if (watch->socket == socket)
        watch->socket = CURL_SOCKET_BAD;
    return ::close(socket);
}

// The dialogue with the server as the library reports it: which command was sent last, and
// the server's replies. Credentials are never kept: of a command only its verb is.
int onDebug(CURL*, curl_infotype type, char* data, size_t size, void* user) {
    auto* watch = static_cast<Watch*>(user);
    SmtpTrace* trace = &watch->trace;
    // What follows the farewell tells nothing of the message.
    if (trace->quitSent)
        return 0;
    const QByteArray text(data, static_cast<qsizetype>(size));
    if (type == CURLINFO_DATA_OUT) {
        watch->dataAt = Watch::Clock::now();
        watch->waiting = -1;
    } else if (type == CURLINFO_HEADER_OUT) {
        watch->commandAt = Watch::Clock::now();
        watch->awaitingReply = true;
        // The answer to a challenge of the server is a credential, part of the AUTH command.
        if (trace->authContinues)
            return 0;
        const QByteArray line = text.trimmed();
        const QByteArray verb = line.left(line.indexOf(' ')).toUpper();
        if (verb == "QUIT" || line.toUpper() == "QUIT") {
            trace->quitSent = true;
            watch->quitAt = Watch::Clock::now();
            return 0;
        }
        trace->lastCommand = verb.isEmpty() ? line.toUpper() : verb;
        if (trace->lastCommand == "RCPT") {
            const qsizetype open = line.indexOf('<');
            const qsizetype close = line.indexOf('>', open);
            trace->lastRecipient = QString::fromLatin1(line.mid(open + 1, close - open - 1));
        }
    } else if (type == CURLINFO_HEADER_IN) {
        watch->awaitingReply = false;
        watch->commandAt = Watch::Clock::now();
        const QList<QByteArray> lines = text.trimmed().split('\n');
        const QString reply = QString::fromUtf8(lines.last().trimmed());
        trace->lastReply = reply;
        trace->lastCode = reply.left(3).toInt();
        trace->authContinues = trace->lastCommand == "AUTH" && trace->lastCode == 334;
        if (trace->dataStarted && trace->dataReply.isEmpty())
            trace->dataReply = reply;
        else if (trace->lastCommand == "DATA" && trace->lastCode == 354)
            trace->dataStarted = true;
    } else if (type == CURLINFO_TEXT &&
               (text.startsWith("SSL certificate problem") || text.startsWith("SSL: "))) {
        trace->detail = QString::fromUtf8(text.trimmed());
    }
    return 0;
}

// Called about once a second whatever the library waits for, and at every piece of the
// message: the user's "Annulla" and the bounds of each wait, on the monotonic clock.
int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t ultotal, curl_off_t ulnow) {
    auto* w = static_cast<Watch*>(user);
    SmtpTrace& t = w->trace;
    if (w->control->progress)
        w->control->progress(ulnow, ultotal);
    const MailServer& s = *w->server;
    // Once the farewell is sent, the message's fate is known: its reply is not waited for long.
    if (t.quitSent)
        return Watch::expired(w->quitAt, 2000) ? w->abort() : 0;
    if (t.messageBegun && t.dataReply.isEmpty()) {
        const int waiting = w->unacknowledged();
        if (waiting != w->waiting) {
            w->waiting = waiting;
            w->dataAt = Watch::Clock::now();
        }
        if (t.messageEnded && waiting == 0 && !w->confirming) {
            w->confirming = true;
            w->confirmingSince = Watch::Clock::now();
            w->step(SendStep::Confirming);
        }
    }
    if (w->control->cancel && w->control->cancel->load()) {
        t.cancelled = true;
        // Stopped before the end of the message reached the server: certainly not taken.
        t.undelivered = !w->confirming && w->stuck(2000);
        return w->abort();
    }
    curl_off_t connectedUs = 0;
    curl_easy_getinfo(w->easy, CURLINFO_CONNECT_TIME_T, &connectedUs);
    if (connectedUs == 0 && t.lastCommand.isEmpty() && t.lastCode == 0) {
        if (Watch::expired(w->started, s.connectTimeoutMs))
            t.timedOut = SmtpTimeout::Connect;
    } else if (w->confirming) {
        if (t.dataReply.isEmpty() &&
            Watch::expired(w->confirmingSince, qint64(s.finalReplyTimeoutS) * 1000))
            t.timedOut = SmtpTimeout::FinalReply;
    } else if (t.messageBegun) {
        if (w->stuck(qint64(s.dataTimeoutS) * 1000) &&
            Watch::expired(w->dataAt, qint64(s.dataTimeoutS) * 1000)) {
            t.timedOut = SmtpTimeout::Data;
            t.undelivered = true;
        }
    } else if (w->awaitingReply &&
               Watch::expired(w->commandAt, qint64(s.responseTimeoutS) * 1000)) {
        t.timedOut = SmtpTimeout::Reply;
    }
    return t.timedOut == SmtpTimeout::None ? 0 : w->abort();
}

// One part of the message, read by the library as it sends: the first read of the first part
// waits for the caller's leave, and the end of the last that holds anything tells that the whole
// message went (the library reads no further once it has a part's every byte).
struct PartSource {
    Watch* watch = nullptr;
    QByteArray bytes;
    qsizetype pos = 0;
    bool first = false;
    bool last = false;
};

size_t readPart(char* buffer, size_t size, size_t items, void* user) {
    auto* p = static_cast<PartSource*>(user);
    Watch& w = *p->watch;
    if (p->first && !w.trace.messageBegun) {
        if (w.control->beforeMessage && !w.control->beforeMessage()) {
            w.trace.heldBack = true;
            return CURL_READFUNC_ABORT;
        }
        w.trace.messageBegun = true;
        w.dataAt = Watch::Clock::now();
        w.step(SendStep::Message);
    }
    const qsizetype n = std::min(qsizetype(size * items), p->bytes.size() - p->pos);
    std::memcpy(buffer, p->bytes.constData() + p->pos, size_t(n));
    p->pos += n;
    if (n > 0)
        w.dataAt = Watch::Clock::now();
    if (p->last && p->pos == p->bytes.size())
        w.trace.messageEnded = true;
    return size_t(n);
}

int seekPart(void* user, curl_off_t offset, int origin) {
    auto* p = static_cast<PartSource*>(user);
    if (origin != SEEK_SET || offset < 0 || offset > p->bytes.size())
        return CURL_SEEKFUNC_CANTSEEK;
    p->pos = qsizetype(offset);
    return CURL_SEEKFUNC_OK;
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

// The authority of the settings as the library takes it: PEM, a DER file turned into PEM.
Result<QByteArray> authorityPem(const QString& path) {
    QFile file(path);
    const auto unreadable = [&](const QString& why) {
        return makeError(QStringLiteral("Il certificato dell'autorità \"%1\" indicato in "
                                        "\"Impostazioni invio\" non si può leggere (%2): "
                                        "messaggio non inviato.")
                             .arg(path, why));
    };
    // A certificate is a few kilobytes; a bundle of authorities well under a megabyte.
    if (!file.open(QIODevice::ReadOnly))
        return unreadable(file.errorString());
    const QByteArray bytes = file.read(4 << 20);
    if (file.error() != QFileDevice::NoError)
        return unreadable(file.errorString());
    if (bytes.contains("-----BEGIN CERTIFICATE-----"))
        return bytes;
    // DER: one ASN.1 sequence.
    if (bytes.size() > 64 && quint8(bytes[0]) == 0x30) {
        QByteArray pem = "-----BEGIN CERTIFICATE-----\n";
        const QByteArray b64 = bytes.toBase64();
        for (qsizetype i = 0; i < b64.size(); i += 64)
            pem += b64.mid(i, 64) + '\n';
        return pem + "-----END CERTIFICATE-----\n";
    }
    return makeError(QStringLiteral("Il file \"%1\" indicato in \"Impostazioni invio\" come "
                                    "certificato dell'autorità non contiene un certificato: "
                                    "messaggio non inviato.")
                         .arg(path));
}

// The authority that issued the server's certificate, asked by a second connection that does
// not check it and sends nothing (no login, no message): the name shown to the user when the
// certificate was refused. Empty when it cannot be known.
QString issuerOf(const MailServer& server, const QByteArray& url) {
    Easy easy(curl_easy_init());
    if (!easy)
        return {};
    CURL* c = easy.get();
    curl_easy_setopt(c, CURLOPT_URL, url.constData());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(c, CURLOPT_CERTINFO, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECT_ONLY, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, long(std::min(server.connectTimeoutMs, 15000)));
    curl_easy_setopt(c, CURLOPT_TIMEOUT, 20L);
    if (curl_easy_perform(c) != CURLE_OK)
        return {};
    curl_certinfo* info = nullptr;
    if (curl_easy_getinfo(c, CURLINFO_CERTINFO, &info) != CURLE_OK || !info ||
        info->num_of_certs < 1)
        return {};
    for (curl_slist* item = info->certinfo[0]; item; item = item->next) {
        const QString field = QString::fromUtf8(item->data);
        if (!field.startsWith(QLatin1String("Issuer:")))
            continue;
        const QString issuer = field.mid(7).trimmed();
        // The common name when there is one ("CN = Autorità dell'ufficio"), else the whole.
        for (const QString& part : issuer.split(QLatin1Char(','))) {
            const QString p = part.trimmed();
            if (p.startsWith(QLatin1String("CN")) && p.contains(QLatin1Char('=')))
                return p.mid(p.indexOf(QLatin1Char('=')) + 1).trimmed();
        }
        return issuer;
    }
    return {};
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
        auto pem = authorityPem(server.caFile);
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
        watch.trace.certificateIssuer = issuerOf(server, url);
    return smtpFailure(rc, server, watch.trace);
}

} // namespace mail
