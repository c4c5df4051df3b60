#include "Pg.h"

#include <libpq-fe.h>

#include <cstdlib>

namespace pg {

Params& Params::add(const QString& text) {
    m_values.emplace_back(text.toUtf8());
    return *this;
}
Params& Params::add(const char* utf8) {
    m_values.emplace_back(QByteArray(utf8));
    return *this;
}
Params& Params::add(std::int64_t value) {
    m_values.emplace_back(QByteArray::number(qlonglong(value)));
    return *this;
}
Params& Params::add(double value) {
    m_values.emplace_back(QByteArray::number(value, 'g', 17));
    return *this;
}
Params& Params::add(const std::optional<QString>& text) {
    if (text)
        return add(*text);
    return addNull();
}
Params& Params::addBytes(const QByteArray& utf8) {
    m_values.emplace_back(utf8);
    return *this;
}
Params& Params::addNull() {
    m_values.emplace_back(std::nullopt);
    return *this;
}
std::vector<const char*> Params::pointers() const {
    std::vector<const char*> p;
    p.reserve(m_values.size());
    for (const auto& v : m_values)
        p.push_back(v ? v->constData() : nullptr);
    return p;
}

void Rows::Free::operator()(PGresult* r) const {
    PQclear(r);
}
Rows::Rows(PGresult* r) : m_r(r) {}
int Rows::count() const {
    return m_r ? PQntuples(m_r.get()) : 0;
}
int Rows::columns() const {
    return m_r ? PQnfields(m_r.get()) : 0;
}
bool Rows::isNull(int row, int column) const {
    return PQgetisnull(m_r.get(), row, column) != 0;
}
QString Rows::text(int row, int column) const {
    return QString::fromUtf8(PQgetvalue(m_r.get(), row, column),
                             PQgetlength(m_r.get(), row, column));
}
std::optional<QString> Rows::textOrNull(int row, int column) const {
    if (isNull(row, column))
        return std::nullopt;
    return text(row, column);
}
QByteArray Rows::bytes(int row, int column) const {
    return QByteArray(PQgetvalue(m_r.get(), row, column), PQgetlength(m_r.get(), row, column));
}
std::int64_t Rows::int64(int row, int column) const {
    return std::strtoll(PQgetvalue(m_r.get(), row, column), nullptr, 10);
}
std::optional<double> Rows::realOrNull(int row, int column) const {
    if (isNull(row, column))
        return std::nullopt;
    // The server writes numbers in the C form; QByteArray reads them so whatever the locale.
    bool ok = false;
    const double v = bytes(row, column).toDouble(&ok);
    return ok ? std::optional<double>(v) : std::nullopt;
}
bool Rows::boolean(int row, int column) const {
    return PQgetvalue(m_r.get(), row, column)[0] == 't';
}

Result<std::unique_ptr<Connection>> Connection::open(const Settings& s) {
    const QByteArray host = s.host.toUtf8();
    const QByteArray port = QByteArray::number(s.port);
    const QByteArray db = s.database.toUtf8();
    const QByteArray user = s.user.toUtf8();
    const QByteArray password = s.password.toUtf8();
    const QByteArray sslMode = s.sslMode.toUtf8();
    // With no file named, the system's CAs: libpq's word for them is "system".
    const QByteArray ca = s.caFile.isEmpty() ? QByteArrayLiteral("system") : s.caFile.toUtf8();
    const QByteArray timeout = QByteArray::number(s.connectTimeoutSeconds);
    const char* keys[] = {"host",
                          "port",
                          "dbname",
                          "user",
                          "password",
                          "sslmode",
                          "sslrootcert",
                          "connect_timeout",
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
                            sslMode.constData(),
                            ca.constData(),
                            timeout.constData(),
                            "Gestione Ordini",
                            "10",
                            "5",
                            "3",
                            "30000",
                            "UTF8",
                            nullptr};
    std::unique_ptr<Connection> c(new Connection);
    c->m_settings = s;
    c->m_conn = PQconnectdbParams(keys, values, 0);
    if (!c->m_conn)
        return makeError(QStringLiteral("Memoria insufficiente per collegarsi al server."));
    if (PQstatus(c->m_conn) != CONNECTION_OK)
        return makeError(QStringLiteral("Il server %1 (porta %2, database %3) non accetta il "
                                        "collegamento: %4")
                             .arg(s.host)
                             .arg(s.port)
                             .arg(s.database, c->lastMessage()));
    // Dates and numbers come back in one fixed form whatever the server's settings.
    if (Status st = c->command("SET datestyle = 'ISO, YMD'; SET extra_float_digits = 3;"); !st)
        return st.error();
    return c;
}

Connection::~Connection() {
    if (m_conn)
        PQfinish(m_conn);
}

QString Connection::lastMessage() const {
    QString m = QString::fromUtf8(PQerrorMessage(m_conn)).trimmed();
    return m.isEmpty() ? QStringLiteral("nessuna risposta") : m;
}

Error Connection::failure(const char* what) const {
    if (PQstatus(m_conn) != CONNECTION_OK)
        return makeError(QStringLiteral("Il collegamento con il server si è interrotto (%1): %2")
                             .arg(QString::fromUtf8(what), lastMessage()));
    return makeError(QStringLiteral("Il server ha rifiutato l'operazione (%1): %2")
                         .arg(QString::fromUtf8(what), lastMessage()));
}

Result<Rows> Connection::query(const char* sql, const Params& params) {
    const auto p = params.pointers();
    PGresult* r = PQexecParams(m_conn, sql, params.count(), nullptr, p.data(), nullptr, nullptr, 0);
    const ExecStatusType st = r ? PQresultStatus(r) : PGRES_FATAL_ERROR;
    if (st != PGRES_TUPLES_OK && st != PGRES_COMMAND_OK) {
        Error e = failure("richiesta");
        const char* state = r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
        // The class of the server's code: 42 refused rights, 08 the connection, 40 a deadlock
        // or serialization failure, 57 the server going down.
        e.code = state ? int(std::strtol(state, nullptr, 36)) : -1;
        PQclear(r);
        return e;
    }
    return Rows(r);
}

Status Connection::command(const char* sql, const Params& params) {
    if (params.count() == 0) {
        // Several statements at once, without values.
        PGresult* r = PQexec(m_conn, sql);
        const ExecStatusType st = r ? PQresultStatus(r) : PGRES_FATAL_ERROR;
        PQclear(r);
        if (st != PGRES_COMMAND_OK && st != PGRES_TUPLES_OK)
            return failure("comando");
        return {};
    }
    auto r = query(sql, params);
    if (!r)
        return r.error();
    return {};
}

Status Connection::copyIn(const char* sql, const std::vector<QByteArray>& pieces) {
    PGresult* r = PQexec(m_conn, sql);
    const ExecStatusType st = r ? PQresultStatus(r) : PGRES_FATAL_ERROR;
    PQclear(r);
    if (st != PGRES_COPY_IN)
        return failure("invio delle righe");
    bool sent = true;
    for (const QByteArray& piece : pieces) {
        if (PQputCopyData(m_conn, piece.constData(), int(piece.size())) != 1) {
            sent = false;
            break;
        }
    }
    if (PQputCopyEnd(m_conn, sent ? nullptr : "invio interrotto") != 1)
        sent = false;
    bool ok = sent;
    while (PGresult* end = PQgetResult(m_conn)) {
        if (PQresultStatus(end) != PGRES_COMMAND_OK)
            ok = false;
        PQclear(end);
    }
    if (!ok)
        return failure("invio delle righe");
    return {};
}

Status Connection::begin(const char* mode) {
    if (Status s = command(mode); !s)
        return s;
    m_inTransaction = true;
    return {};
}

Status Connection::commit() {
    m_inTransaction = false;
    PGresult* r = PQexec(m_conn, "COMMIT");
    const bool ok = r && PQresultStatus(r) == PGRES_COMMAND_OK;
    // A COMMIT of a failed transaction answers ROLLBACK without an error.
    const bool committed = ok && QByteArray(PQcmdStatus(r)) == "COMMIT";
    PQclear(r);
    if (!ok)
        return failure("conferma");
    if (!committed)
        return makeError(QStringLiteral("Il server ha annullato la transazione."));
    return {};
}

void Connection::rollback() {
    if (!m_inTransaction)
        return;
    m_inTransaction = false;
    PQclear(PQexec(m_conn, "ROLLBACK"));
}

Result<QByteArray> Connection::encryptPassword(const QString& user, const QString& password) {
    char* e = PQencryptPasswordConn(m_conn, password.toUtf8().constData(),
                                    user.toUtf8().constData(), "scram-sha-256");
    if (!e)
        return failure("cifratura della password");
    QByteArray out(e);
    PQfreemem(e);
    return out;
}

namespace {
void appendEscaped(QByteArray& line, const QByteArray& utf8) {
    for (char c : utf8) {
        switch (c) {
        case '\\':
            line += "\\\\";
            break;
        case '\t':
            line += "\\t";
            break;
        case '\n':
            line += "\\n";
            break;
        case '\r':
            line += "\\r";
            break;
        default:
            line += c;
        }
    }
}
} // namespace

void appendCopyField(QByteArray& line, const std::optional<QString>& value) {
    if (!value)
        line += "\\N";
    else
        appendEscaped(line, value->toUtf8());
    line += '\t';
}

void appendCopyField(QByteArray& line, const QByteArray& utf8) {
    appendEscaped(line, utf8);
    line += '\t';
}

void appendCopyNumber(QByteArray& line, const std::optional<double>& value) {
    if (!value)
        line += "\\N";
    else
        line += QByteArray::number(*value, 'g', 17);
    line += '\t';
}

void endCopyLine(QByteArray& line) {
    if (line.endsWith('\t'))
        line[line.size() - 1] = '\n';
    else
        line += '\n';
}

// A value of a text array in PostgreSQL's literal form.
void appendArrayItem(QByteArray& array, const QString& value) {
    array += array.size() > 1 ? ",\"" : "\"";
    for (const char ch : value.toUtf8()) {
        if (ch == '"' || ch == '\\')
            array += '\\';
        array += ch;
    }
    array += '"';
}

} // namespace pg
