#pragma once

#include "data/Result.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;

// A small layer over the PostgreSQL client library. Statement texts are fixed in the program;
// values travel apart from them, as bound parameters in text form.
namespace pg {

// Where the agency's server is and who the agent is on it.
struct Settings {
    QString host;
    int port = 5432;
    QString database;
    QString user;
    QString password;
    // "verify-full" unless the user chose otherwise: the server's certificate is checked against
    // the CA and its name against the host.
    QString sslMode = QStringLiteral("verify-full");
    // The CA's certificate file; empty for the system's own.
    QString caFile;
    int connectTimeoutSeconds = 10;
};

// Bound values, in order ($1, $2, ...). Numbers are written in the C form whatever the locale.
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

// The rows a query returned; freed with the object.
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
    struct Free {
        void operator()(PGresult* r) const;
    };
    std::unique_ptr<PGresult, Free> m_r;
};

class Connection {
public:
    static Result<std::unique_ptr<Connection>> open(const Settings& settings);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    Result<Rows> query(const char* sql, const Params& params = {});
    Status command(const char* sql, const Params& params = {});
    // COPY ... FROM STDIN with the rows given in the text format, a piece at a time.
    Status copyIn(const char* sql, const std::vector<QByteArray>& pieces);

    // A transaction that is rolled back unless committed.
    Status begin(const char* mode = "BEGIN");
    Status commit();
    void rollback();

    // The server's words on the last failure, for messages.
    QString lastMessage() const;
    PGconn* handle() const { return m_conn; }
    const Settings& settings() const { return m_settings; }
    // The SCRAM form of a password, computed here so that the password itself never reaches
    // the server.
    Result<QByteArray> encryptPassword(const QString& user, const QString& password);

private:
    Connection() = default;
    Error failure(const char* what) const;
    PGconn* m_conn = nullptr;
    Settings m_settings;
    bool m_inTransaction = false;
};

// One field of a line in the COPY text format (backslash, tab, newline and carriage return
// escaped, \N for none), followed by its separator; endCopyLine ends the line.
void appendCopyField(QByteArray& line, const std::optional<QString>& value);
void appendCopyField(QByteArray& line, const QByteArray& utf8);
void appendCopyNumber(QByteArray& line, const std::optional<double>& value);
void endCopyLine(QByteArray& line);

// Appends a value to a text array in PostgreSQL's literal form, begun as "{" and ended by the
// caller with "}".
void appendArrayItem(QByteArray& array, const QString& value);

} // namespace pg
