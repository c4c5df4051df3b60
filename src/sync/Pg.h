#pragma once

#include "Interrupt.h"
#include "ServerFailure.h"
#include "base/Result.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;

// A small layer over the PostgreSQL client library. Statement texts are fixed in the program;
// values travel apart from them, as bound parameters in text form. Every wait for the server
// has a limit and ends at once when the connection's interrupt is raised.
namespace pg {

// Where the agency's server is and who the agent is on it.
struct Settings {
    QString host;
    int port = 5432;
    QString database;
    QString user;
    QString password;
    // "verify-full" unless the user chose otherwise: the server's certificate is checked against
    // the CA and its name against the host. "verify-ca" checks the certificate only.
    QString sslMode = QStringLiteral("verify-full");
    // The CA's certificate file; empty for the system's own.
    QString caFile;
    int connectTimeoutSeconds = 10;
    // The longest the server works on one statement, and waits for data another operation holds
    // locked, before it gives up; the program waits a few seconds more for its answer, then
    // leaves the connection.
    int statementTimeoutSeconds = 120;
    int lockTimeoutSeconds = 15;
};

// The modes of the encrypted connection the program knows; each checks the server's
// certificate.
QStringList sslModes();
// Empty when the mode is one of them, otherwise why not.
QString checkSslMode(const QString& mode);
// The file of the system's certificate authorities (the one named by SSL_CERT_FILE, else the
// system's usual bundle); empty when there is none.
QString systemCaBundle();

// Bound values, in order ($1, $2, ...). Numbers are written in the C form whatever the locale;
// texts lose any NUL character, which the server takes in no text.
class Params {
public:
    Params& add(const QString& text);
    Params& add(const char* utf8);
    Params& add(std::int64_t value);
    Params& add(int value) { return add(std::int64_t(value)); }
    Params& add(double value);
    Params& add(const std::optional<QString>& text);
    Params& addBytes(const QByteArray& utf8);
    Params& addNull();
    int count() const { return int(m_values.size()); }
    std::vector<const char*> pointers() const;

private:
    std::vector<std::optional<QByteArray>> m_values;
};

// What the rows of a query must look like before they are read: one letter a column (t text,
// i whole number, n number, b yes or no, x any value read as text), and for some queries
// exactly one row.
class Shape {
public:
    constexpr explicit Shape(const char* columns, bool oneRow = false)
        : m_columns(columns), m_oneRow(oneRow) {}
    static constexpr Shape one(const char* columns) { return Shape(columns, true); }
    // Whatever comes, read as text: for tools and tests that only show values.
    static constexpr Shape any() { return Shape(nullptr); }
    // Empty when the result fits, otherwise what differs.
    QString mismatch(const PGresult* r) const;

private:
    const char* m_columns;
    bool m_oneRow;
};

// The rows a query returned; freed with the object. A cell outside them reads as NULL.
class Rows {
public:
    Rows() = default;
    explicit Rows(PGresult* r);
    int count() const;
    int columns() const;
    bool isNull(int row, int column) const;
    QString text(int row, int column) const;
    std::optional<QString> textOrNull(int row, int column) const;
    QByteArray bytes(int row, int column) const;
    std::int64_t int64(int row, int column) const;
    std::optional<double> realOrNull(int row, int column) const;
    bool boolean(int row, int column) const;

private:
    bool inside(int row, int column) const;
    struct Free {
        void operator()(PGresult* r) const;
    };
    std::unique_ptr<PGresult, Free> m_r;
};

class Connection {
public:
    // The interrupt, when given, outlives the connection.
    static Result<std::unique_ptr<Connection>> open(const Settings& settings,
                                                    Interrupt* interrupt = nullptr);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Rows of a query whose answer must have the given shape.
    Result<Rows> query(const char* sql, const Shape& shape, const Params& params = {});
    // The same for an answer that may be large: the server's limit on the statement is lifted
    // while it comes, the program's watch on the flow of bytes stays.
    Result<Rows> queryLarge(const char* sql, const Shape& shape, const Params& params = {});
    // A statement whose rows, if any, are not read; without values, several at once.
    Status command(const char* sql, const Params& params = {});
    // COPY ... FROM STDIN with the rows given in the text format, a piece at a time.
    Status copyIn(const char* sql, const std::vector<QByteArray>& pieces);

    // A transaction that is rolled back unless committed. The end of a transaction is waited
    // for even when the interrupt is raised, for a few seconds.
    Status begin(const char* mode = "BEGIN");
    Status commit();
    void rollback();

    // The interrupt was raised: what follows should stop.
    bool interrupted() const;
    // A failure of this connection, in the program's words.
    Error failure(serverfailure::Kind kind, const QString& detail = {}) const;
    // The server's own words on the last statement it refused.
    QString lastDetail() const { return m_lastDetail; }
    const Settings& settings() const { return m_settings; }
    // The SCRAM form of a password, computed here so that the password itself never reaches
    // the server.
    Result<QByteArray> encryptPassword(const QString& user, const QString& password);

private:
    enum class Wait { Ready, TimedOut, Interrupted, Failed };
    enum class Stop { OnInterrupt, Never };
    // What became of a statement sent: its result (the first that failed, or the last), or why
    // there is none.
    struct Outcome {
        enum How { Done, TimedOut, Interrupted, Broken };
        PGresult* result = nullptr;
        How how = Done;
    };
    Connection() = default;
    serverfailure::Where where() const;
    Status connect();
    Error connectFailure(int furthest) const;
    Wait waitFor(short events, std::int64_t deadlineMs, Stop stop) const;
    // Sends what is queued and waits for the statement's results, at most waitMs without news
    // from the server.
    Outcome finish(Stop stop, std::int64_t waitMs);
    // Sends what the library holds, at most waitMs without room on the network; the connection
    // is left when it cannot.
    Outcome::How flushQueued(Stop stop, std::int64_t waitMs);
    std::int64_t answerMs() const;
    // The session's settings: the limits, and the forms of dates and numbers.
    QByteArray limits() const;
    QByteArray statementLimit() const;
    Error fromOutcome(const Outcome& o) const;
    void cancelRemote();
    void drop();
    PGconn* m_conn = nullptr;
    Interrupt* m_interrupt = nullptr;
    Settings m_settings;
    bool m_inTransaction = false;
    bool m_broken = false;
    mutable QString m_lastDetail;
};

// One field of a line in the COPY text format (backslash, tab, newline and carriage return
// escaped, \N for none), followed by its separator; endCopyLine ends the line. Texts go as the
// server takes them: bytes that are not UTF-8 as the replacement character, NUL left out.
void appendCopyField(QByteArray& line, const std::optional<QString>& value);
void appendCopyField(QByteArray& line, const QByteArray& utf8);
void appendCopyNumber(QByteArray& line, const std::optional<double>& value);
void endCopyLine(QByteArray& line);
// The same for a text read straight from the file's engine.
void appendCopyText(std::string& out, std::string_view utf8);

// Appends a value to a text array in PostgreSQL's literal form, begun as "{" and ended by the
// caller with "}".
void appendArrayItem(QByteArray& array, const QString& value);

} // namespace pg
