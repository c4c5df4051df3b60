#include "Pg.h"

#include <libpq-fe.h>

#include <QFileInfo>
#include <QRegularExpression>

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

namespace pg {
namespace {

using serverfailure::Kind;

// The answer to a statement is awaited this much longer than the server's own limit; the end of
// a transaction, and the answer to a cancel, this long.
constexpr int kGraceSeconds = 5;
constexpr int kEndSeconds = 3;
// The server gives up a transaction left idle this long, its locks with it.
constexpr int kIdleSeconds = 60;

std::int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// How far a connection got: the network, the encryption, the server's own answer.
enum Phase { kNone = 0, kNetwork = 1, kEncryption = 2, kServer = 3 };

int phaseOf(ConnStatusType s) {
    switch (s) {
    case CONNECTION_BAD:
        return kNone;
    case CONNECTION_STARTED:
    case CONNECTION_NEEDED:
        return kNetwork;
    case CONNECTION_MADE:
    case CONNECTION_SSL_STARTUP:
    case CONNECTION_GSS_STARTUP:
        return kEncryption;
    default:
        return kServer;
    }
}

// The library's words on the last attempt, on one line, without its own lead ("connection to
// server at "…", port … failed:"), its hints and the server's further fields ("DETAIL:  …",
// "LOCATION:  …", in whatever language).
QString lastAttempt(const char* message) {
    static const QRegularExpression field(QStringLiteral("^\\S+:  (?![0-9A-Z]{5}: )"));
    const QStringList lines = QString::fromUtf8(message).split(QLatin1Char('\n'));
    QString last;
    for (const QString& l : lines)
        if (!l.trimmed().isEmpty() && !l.startsWith(QLatin1Char('\t')) &&
            !field.match(l).hasMatch())
            last = l.trimmed();
    static const QRegularExpression lead(QStringLiteral("^[^\"]*\"[^\"]*\"[^:]*:\\s*"));
    const QRegularExpressionMatch m = lead.match(last);
    if (m.hasMatch() && m.capturedLength() < last.size())
        last = last.mid(m.capturedLength());
    return last;
}

bool isFailure(const PGresult* r) {
    const ExecStatusType st = PQresultStatus(r);
    return st == PGRES_FATAL_ERROR || st == PGRES_BAD_RESPONSE || st == PGRES_NONFATAL_ERROR;
}

} // namespace

QStringList sslModes() {
    return {QStringLiteral("verify-full"), QStringLiteral("verify-ca")};
}

QString checkSslMode(const QString& mode) {
    if (sslModes().contains(mode))
        return {};
    return QStringLiteral("Il controllo della connessione \"%1\" non è previsto: usare "
                          "verify-full o verify-ca, che verificano il certificato del server.")
        .arg(mode);
}

QString systemCaBundle() {
    auto usable = [](const QString& path) {
        const QFileInfo f(path);
        return f.isFile() && f.isReadable();
    };
    const QString named = qEnvironmentVariable("SSL_CERT_FILE");
    if (!named.isEmpty())
        return usable(named) ? named : QString();
    // Debian and Ubuntu, Fedora and its kin, openSUSE, Alpine.
    for (const char* path :
         {"/etc/ssl/certs/ca-certificates.crt", "/etc/pki/tls/certs/ca-bundle.crt",
          "/etc/ssl/ca-bundle.pem", "/etc/ssl/cert.pem"})
        if (usable(QString::fromLatin1(path)))
            return QString::fromLatin1(path);
    return {};
}

Result<std::unique_ptr<Connection>> Connection::open(const Settings& s, Interrupt* interrupt) {
    std::unique_ptr<Connection> c(new Connection);
    c->m_settings = s;
    c->m_interrupt = interrupt;
    if (auto made = c->connect(); !made)
        return made.error();
    return c;
}

Connection::~Connection() {
    if (m_conn)
        PQfinish(m_conn);
}

serverfailure::Where Connection::where() const {
    return {m_settings.host, m_settings.port, m_settings.database, m_settings.user};
}

Error Connection::failure(Kind kind, const QString& detail) const {
    const int seconds = kind == serverfailure::TimeLimit ? m_settings.statementTimeoutSeconds : 0;
    return serverfailure::make(kind, where(), detail, seconds);
}

bool Connection::interrupted() const {
    return m_interrupt && m_interrupt->raised();
}

Status Connection::connect() {
    const Settings& s = m_settings;
    if (interrupted())
        return failure(serverfailure::Cancelled);
    const QByteArray ca = (s.caFile.isEmpty() ? systemCaBundle() : s.caFile).toUtf8();
    if (ca.isEmpty())
        return failure(serverfailure::NoSystemCertificates);
    const QByteArray host = s.host.toUtf8();
    const QByteArray port = QByteArray::number(s.port);
    const QByteArray db = s.database.toUtf8();
    const QByteArray user = s.user.toUtf8();
    const QByteArray password = s.password.toUtf8();
    // Every mode the program takes checks the certificate; any other stored value (an older
    // "require") is taken as the full check.
    const char* sslMode = s.sslMode == QLatin1String("verify-ca") ? "verify-ca" : "verify-full";
    const char* keys[] = {"host",
                          "port",
                          "dbname",
                          "user",
                          "password",
                          "sslmode",
                          "sslrootcert",
                          "application_name",
                          "keepalives_idle",
                          "keepalives_interval",
                          "keepalives_count",
                          "tcp_user_timeout",
                          "client_encoding",
                          nullptr};
    const char* values[] = {host.constData(),
                            port.constData(),
                            db.constData(),
                            user.constData(),
                            password.constData(),
                            sslMode,
                            ca.constData(),
                            "Gestione Ordini",
                            "10",
                            "5",
                            "3",
                            "30000",
                            "UTF8",
                            nullptr};
    m_conn = PQconnectStartParams(keys, values, 0);
    if (!m_conn)
        return failure(serverfailure::Memory);
    // The server's notices ("drop cascades to …") are no business of the user's.
    PQsetNoticeProcessor(
        m_conn, [](void*, const char*) {}, nullptr);
    // The server's code in its refusals, whatever the language of its messages.
    PQsetErrorVerbosity(m_conn, PQERRORS_VERBOSE);
    const std::int64_t deadline = nowMs() + std::int64_t(s.connectTimeoutSeconds) * 1000;
    int furthest = phaseOf(PQstatus(m_conn));
    PostgresPollingStatusType ps =
        PQstatus(m_conn) == CONNECTION_BAD ? PGRES_POLLING_FAILED : PGRES_POLLING_WRITING;
    while (ps != PGRES_POLLING_OK) {
        if (ps == PGRES_POLLING_FAILED)
            return connectFailure(furthest);
        const Wait w =
            waitFor(ps == PGRES_POLLING_READING ? POLLIN : POLLOUT, deadline, Stop::OnInterrupt);
        if (w == Wait::TimedOut) {
            drop();
            return serverfailure::make(serverfailure::TimeLimit, where(), {},
                                       s.connectTimeoutSeconds);
        }
        if (w == Wait::Interrupted) {
            drop();
            return failure(serverfailure::Cancelled);
        }
        ps = PQconnectPoll(m_conn);
        furthest = std::max(furthest, phaseOf(PQstatus(m_conn)));
    }
    PQsetErrorVerbosity(m_conn, PQERRORS_DEFAULT);
    // Statements are sent without waiting on the network: every wait is the program's own.
    if (PQsetnonblocking(m_conn, 1) != 0)
        return failure(serverfailure::Cut, lastAttempt(PQerrorMessage(m_conn)));
    // The limits of each statement and lock wait, a transaction left idle given up (its locks
    // with it); dates and numbers in one fixed form whatever the server's settings.
    return command(limits().constData());
}

Error Connection::connectFailure(int furthest) const {
    const char* message = PQerrorMessage(m_conn);
    const QString detail = lastAttempt(message);
    if (furthest >= kServer) {
        // "FATAL:  28P01: …", the severity perhaps in another language.
        static const QRegularExpression coded(QStringLiteral(":  ([0-9A-Z]{5}): (.*)$"));
        const QRegularExpressionMatch m = coded.match(detail);
        if (m.hasMatch())
            return failure(serverfailure::ofConnection(m.captured(1)), m.captured(2));
        if (PQconnectionNeedsPassword(m_conn))
            return failure(serverfailure::BadLogin, detail);
        return failure(serverfailure::ConnectRefused, detail);
    }
    if (furthest == kEncryption) {
        // The encryption's own reasons are in English whatever the language (the library that
        // checks the chain translates nothing); the check of the name quotes the host, the
        // reading of the authority's file its name. Anything else broke the connection.
        const bool certificate =
            detail.contains(QLatin1String("certificate"), Qt::CaseInsensitive) ||
            detail.contains(QLatin1Char('"') + m_settings.host + QLatin1Char('"')) ||
            (!m_settings.caFile.isEmpty() &&
             detail.contains(QLatin1Char('"') + m_settings.caFile + QLatin1Char('"')));
        return failure(certificate ? serverfailure::Certificate : serverfailure::Cut, detail);
    }
    // The network never answered: a name that is not found, or a server that is not there.
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int rc = ::getaddrinfo(m_settings.host.toUtf8().constData(), nullptr, &hints, &found);
    if (found)
        ::freeaddrinfo(found);
    if (rc != 0 && rc != EAI_SYSTEM && rc != EAI_MEMORY)
        return failure(serverfailure::NameUnknown, detail);
    return failure(serverfailure::Unreachable, detail);
}

Connection::Wait Connection::waitFor(short events, std::int64_t deadlineMs, Stop stop) const {
    const bool watch = stop == Stop::OnInterrupt && m_interrupt;
    for (;;) {
        if (watch && m_interrupt->raised())
            return Wait::Interrupted;
        const int sock = PQsocket(m_conn);
        if (sock < 0)
            return Wait::Failed;
        const std::int64_t left = deadlineMs - nowMs();
        if (left <= 0)
            return Wait::TimedOut;
        pollfd fds[2] = {{sock, events, 0}, {watch ? m_interrupt->fd() : -1, POLLIN, 0}};
        // A short sleep at most, so that an interrupt without a descriptor is seen too.
        const int n = ::poll(fds, 2, int(std::min<std::int64_t>(left, 200)));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return Wait::Failed;
        }
        if (n == 0)
            continue;
        if (watch && fds[1].revents)
            return Wait::Interrupted;
        if (fds[0].revents)
            return Wait::Ready;
    }
}

void Connection::cancelRemote() {
    PGcancel* c = PQgetCancel(m_conn);
    if (!c)
        return;
    // The library's cancel waits on the network without a limit of its own: it runs apart, and
    // is waited for only through the answer to the statement it stops.
    std::thread([c] {
        char error[256];
        (void)PQcancel(c, error, int(sizeof error));
        PQfreeCancel(c);
    }).detach();
}

void Connection::drop() {
    if (m_conn && !m_broken) {
        const int sock = PQsocket(m_conn);
        if (sock >= 0)
            ::shutdown(sock, SHUT_RDWR);
    }
    m_broken = true;
    m_inTransaction = false;
}

QByteArray Connection::limits() const {
    return QStringLiteral("SET statement_timeout = '%1s'; SET lock_timeout = '%2s';"
                          " SET idle_in_transaction_session_timeout = '%3s';"
                          " SET datestyle = 'ISO, YMD'; SET extra_float_digits = 3;")
        .arg(std::max(1, m_settings.statementTimeoutSeconds))
        .arg(std::max(1, m_settings.lockTimeoutSeconds))
        .arg(std::max(kIdleSeconds, m_settings.statementTimeoutSeconds))
        .toLatin1();
}

std::int64_t Connection::answerMs() const {
    const int limit = std::max(1, m_settings.statementTimeoutSeconds);
    return std::int64_t(limit + std::min(kGraceSeconds, limit)) * 1000;
}

Connection::Outcome::How Connection::flushQueued(Stop stop, std::int64_t waitMs) {
    std::int64_t deadline = nowMs() + waitMs;
    for (;;) {
        const int f = PQflush(m_conn);
        if (f == 0)
            return Outcome::Done;
        if (f < 0) {
            drop();
            return Outcome::Broken;
        }
        const Wait w = waitFor(POLLOUT | POLLIN, deadline, stop);
        if (w == Wait::Ready) {
            if (!PQconsumeInput(m_conn)) {
                drop();
                return Outcome::Broken;
            }
            deadline = nowMs() + waitMs;
            continue;
        }
        // Not all of it reached the server: nothing to cancel, the connection is left.
        drop();
        return w == Wait::TimedOut      ? Outcome::TimedOut
               : w == Wait::Interrupted ? Outcome::Interrupted
                                        : Outcome::Broken;
    }
}

Connection::Outcome Connection::finish(Stop stop, std::int64_t waitMs) {
    const bool ending = stop == Stop::Never;
    Outcome out;
    auto give = [&](Outcome::How how) {
        PQclear(out.result);
        out.result = nullptr;
        out.how = how;
        return out;
    };
    // A statement the server may still be working on: it is asked to stop, and its answer
    // waited for a few seconds; without one, the connection is left (the server then rolls
    // back what it had begun).
    auto abandon = [&](Outcome::How how) {
        cancelRemote();
        const std::int64_t until = nowMs() + kEndSeconds * 1000;
        for (;;) {
            while (PQisBusy(m_conn)) {
                if (waitFor(POLLIN, until, Stop::Never) != Wait::Ready || !PQconsumeInput(m_conn)) {
                    drop();
                    return give(how);
                }
            }
            PGresult* r = PQgetResult(m_conn);
            if (!r)
                break;
            const ExecStatusType st = PQresultStatus(r);
            PQclear(r);
            if (st == PGRES_COPY_IN || st == PGRES_COPY_OUT || st == PGRES_COPY_BOTH) {
                drop();
                break;
            }
        }
        return give(how);
    };
    if (const Outcome::How sent = flushQueued(stop, waitMs); sent != Outcome::Done)
        return give(sent);
    std::int64_t deadline = nowMs() + waitMs;
    for (;;) {
        while (PQisBusy(m_conn)) {
            const Wait w = waitFor(POLLIN, deadline, stop);
            if (w == Wait::Ready) {
                if (!PQconsumeInput(m_conn))
                    return give(Outcome::Broken);
                // Rows that keep coming are news: a large answer on a slow network may take
                // long, a silent one not.
                deadline = nowMs() + waitMs;
                continue;
            }
            if (w == Wait::Failed)
                return give(Outcome::Broken);
            if (ending) {
                drop();
                return give(Outcome::TimedOut);
            }
            return abandon(w == Wait::TimedOut ? Outcome::TimedOut : Outcome::Interrupted);
        }
        PGresult* r = PQgetResult(m_conn);
        if (!r)
            break;
        const ExecStatusType st = PQresultStatus(r);
        if (st == PGRES_COPY_IN || st == PGRES_COPY_OUT || st == PGRES_COPY_BOTH) {
            PQclear(out.result);
            out.result = r;
            return out;
        }
        // The first failure is the one that tells; later results are dropped.
        if (out.result && isFailure(out.result)) {
            PQclear(r);
        } else {
            PQclear(out.result);
            out.result = r;
        }
    }
    return out;
}

Error Connection::fromOutcome(const Outcome& o) const {
    switch (o.how) {
    case Outcome::TimedOut:
        return failure(serverfailure::TimeLimit);
    case Outcome::Interrupted:
        return failure(serverfailure::Cancelled);
    case Outcome::Broken:
        return failure(serverfailure::Cut, lastAttempt(PQerrorMessage(m_conn)));
    case Outcome::Done:
        break;
    }
    if (!o.result)
        return failure(serverfailure::Cut, lastAttempt(PQerrorMessage(m_conn)));
    const char* state = PQresultErrorField(o.result, PG_DIAG_SQLSTATE);
    const char* primary = PQresultErrorField(o.result, PG_DIAG_MESSAGE_PRIMARY);
    const QString detail =
        primary ? QString::fromUtf8(primary) : lastAttempt(PQresultErrorMessage(o.result));
    m_lastDetail = detail;
    if (m_broken || PQstatus(m_conn) != CONNECTION_OK)
        return failure(serverfailure::Cut, detail);
    Kind kind = serverfailure::ofStatement(state);
    // The server's answer to the cancel this program asked for.
    if (kind == serverfailure::TimeLimit && interrupted())
        kind = serverfailure::Cancelled;
    return failure(kind, detail);
}

Result<Rows> Connection::query(const char* sql, const Shape& shape, const Params& params) {
    if (m_broken || PQstatus(m_conn) != CONNECTION_OK)
        return failure(serverfailure::Cut);
    if (interrupted())
        return failure(serverfailure::Cancelled);
    const auto p = params.pointers();
    if (!PQsendQueryParams(m_conn, sql, params.count(), nullptr, p.data(), nullptr, nullptr, 0))
        return failure(serverfailure::Cut, lastAttempt(PQerrorMessage(m_conn)));
    Outcome o = finish(Stop::OnInterrupt, answerMs());
    const ExecStatusType st = o.result ? PQresultStatus(o.result) : PGRES_FATAL_ERROR;
    if (o.how != Outcome::Done || (st != PGRES_TUPLES_OK && st != PGRES_COMMAND_OK)) {
        Error e = o.how == Outcome::Done && st == PGRES_COPY_IN
                      ? failure(serverfailure::Shape, QStringLiteral("una copia di righe"))
                      : fromOutcome(o);
        PQclear(o.result);
        return e;
    }
    if (const QString wrong = shape.mismatch(o.result); !wrong.isEmpty()) {
        PQclear(o.result);
        return failure(serverfailure::Shape, wrong);
    }
    return Rows(o.result);
}

Result<Rows> Connection::queryLarge(const char* sql, const Shape& shape, const Params& params) {
    if (Status s = command("SET statement_timeout = 0"); !s)
        return s.error();
    auto rows = query(sql, shape, params);
    if (!rows)
        return rows;
    if (Status s = command(statementLimit().constData()); !s)
        return s.error();
    return rows;
}

QByteArray Connection::statementLimit() const {
    return "SET statement_timeout = '" +
           QByteArray::number(std::max(1, m_settings.statementTimeoutSeconds)) + "s'";
}

Status Connection::command(const char* sql, const Params& params) {
    if (params.count() > 0) {
        auto r = query(sql, Shape::any(), params);
        if (!r)
            return r.error();
        return {};
    }
    if (m_broken || PQstatus(m_conn) != CONNECTION_OK)
        return failure(serverfailure::Cut);
    if (interrupted())
        return failure(serverfailure::Cancelled);
    // Several statements at once, without values.
    if (!PQsendQuery(m_conn, sql))
        return failure(serverfailure::Cut, lastAttempt(PQerrorMessage(m_conn)));
    Outcome o = finish(Stop::OnInterrupt, answerMs());
    const ExecStatusType st = o.result ? PQresultStatus(o.result) : PGRES_COMMAND_OK;
    if (o.how != Outcome::Done ||
        (st != PGRES_TUPLES_OK && st != PGRES_COMMAND_OK && st != PGRES_EMPTY_QUERY)) {
        Error e = fromOutcome(o);
        PQclear(o.result);
        return e;
    }
    PQclear(o.result);
    return {};
}

Status Connection::copyIn(const char* sql, const std::vector<QByteArray>& pieces) {
    // The rows may take long to travel on a slow network: the server's limit on the statement
    // is lifted for the copy, and the program's own watch on the flow of bytes stays.
    if (Status s = command("SET statement_timeout = 0"); !s)
        return s;
    if (!PQsendQuery(m_conn, sql))
        return failure(serverfailure::Cut, lastAttempt(PQerrorMessage(m_conn)));
    Outcome o = finish(Stop::OnInterrupt, answerMs());
    if (o.how != Outcome::Done || !o.result || PQresultStatus(o.result) != PGRES_COPY_IN) {
        Error e = fromOutcome(o);
        PQclear(o.result);
        return e;
    }
    PQclear(o.result);
    // Hands a piece to the library, sending what it holds when it has no room.
    auto put = [&](auto&& send) -> Status {
        for (;;) {
            const int r = send();
            if (r == 1)
                return {};
            if (r < 0) {
                const QString why = lastAttempt(PQerrorMessage(m_conn));
                drop();
                return failure(serverfailure::Cut, why);
            }
            if (const Outcome::How sent = flushQueued(Stop::OnInterrupt, answerMs());
                sent != Outcome::Done)
                return fromOutcome(Outcome{nullptr, sent});
        }
    };
    for (const QByteArray& piece : pieces)
        if (Status s =
                put([&] { return PQputCopyData(m_conn, piece.constData(), int(piece.size())); });
            !s)
            return s;
    if (Status s = put([&] { return PQputCopyEnd(m_conn, nullptr); }); !s)
        return s;
    o = finish(Stop::OnInterrupt, answerMs());
    if (o.how != Outcome::Done || !o.result || PQresultStatus(o.result) != PGRES_COMMAND_OK) {
        Error e = fromOutcome(o);
        PQclear(o.result);
        return e;
    }
    PQclear(o.result);
    return command(statementLimit().constData());
}

Status Connection::begin(const char* mode) {
    if (Status s = command(mode); !s)
        return s;
    m_inTransaction = true;
    return {};
}

Status Connection::commit() {
    m_inTransaction = false;
    if (m_broken || PQstatus(m_conn) != CONNECTION_OK)
        return failure(serverfailure::Cut);
    // The end of the transaction is waited for even when the agent asked to stop: its outcome
    // is known then.
    if (!PQsendQuery(m_conn, "COMMIT"))
        return failure(serverfailure::Cut, lastAttempt(PQerrorMessage(m_conn)));
    Outcome o = finish(Stop::Never, answerMs());
    if (o.how != Outcome::Done || !o.result) {
        PQclear(o.result);
        return failure(serverfailure::Uncertain);
    }
    const bool ok = PQresultStatus(o.result) == PGRES_COMMAND_OK;
    // A COMMIT of a failed transaction answers ROLLBACK without an error.
    const bool committed = ok && QByteArray(PQcmdStatus(o.result)) == "COMMIT";
    Error e = ok ? Error{} : fromOutcome(o);
    PQclear(o.result);
    if (!ok)
        return e;
    if (!committed)
        return failure(serverfailure::Refused, QStringLiteral("transazione annullata"));
    return {};
}

void Connection::rollback() {
    if (!m_inTransaction)
        return;
    m_inTransaction = false;
    if (m_broken || PQstatus(m_conn) != CONNECTION_OK)
        return;
    if (!PQsendQuery(m_conn, "ROLLBACK")) {
        drop();
        return;
    }
    Outcome o = finish(Stop::Never, kEndSeconds * 1000);
    PQclear(o.result);
}

Result<QByteArray> Connection::encryptPassword(const QString& user, const QString& password) {
    char* e = PQencryptPasswordConn(m_conn, password.toUtf8().constData(),
                                    user.toUtf8().constData(), "scram-sha-256");
    if (!e)
        return failure(serverfailure::Refused, lastAttempt(PQerrorMessage(m_conn)));
    QByteArray out(e);
    PQfreemem(e);
    return out;
}

} // namespace pg
