#include "SmtpWatch.h"

#include <QList>
#include <QString>

#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace mail::smtpwatch {

int Watch::unacknowledged() const {
    int n = 0;
    if (socket == CURL_SOCKET_BAD || ::ioctl(socket, SIOCOUTQ, &n) != 0)
        return 0;
    return n;
}

int Watch::abort() const {
    if (socket != CURL_SOCKET_BAD)
        ::shutdown(socket, SHUT_RDWR);
    return 1;
}

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

} // namespace mail::smtpwatch
