#pragma once

#include "ChangeWatch.h"
#include "base/Result.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

class Database;

// A prepared statement, finalised when it goes out of scope. Values reach the engine only
// through bind(); no statement text is ever built from what the user typed.
class Statement {
public:
    Statement() = default;
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement();

    bool valid() const { return m_stmt != nullptr; }

    // Parameters are numbered from 1, as in the engine.
    Statement& bind(int index, const QString& text);
    Statement& bind(int index, std::string_view utf8);
    Statement& bind(int index, const char* utf8) { return bind(index, std::string_view(utf8)); }
    Statement& bind(int index, std::int64_t value);
    Statement& bind(int index, int value) { return bind(index, std::int64_t(value)); }
    Statement& bind(int index, double value);
    Statement& bindNull(int index);
    Statement& bind(int index, const std::optional<double>& value);
    Statement& bind(int index, const std::optional<QString>& value);
    // Empty text is stored as NULL.
    Statement& bindTextOrNull(int index, const QString& text);

    // Steps once: true with a row, false at the end. An engine error ends the statement;
    // status() then tells what happened.
    bool next();
    // Runs a statement that returns no rows to its end.
    Status run();
    // Steps once: the first column of the first row as text, empty when there is no row.
    Result<QString> firstText();
    Status status() const { return m_status; }
    void reset();

    int columnCount() const;
    bool isNull(int column) const;
    QString text(int column) const;
    std::string_view utf8(int column) const;
    // The value as text, or none when it is NULL: one read of the engine's text, for loops
    // over many cells.
    std::optional<std::string_view> utf8OrNull(int column) const;
    std::int64_t int64(int column) const;
    double real(int column) const;
    QString columnName(int column) const;
    // The engine's storage class of the value: 1 integer, 2 real, 3 text, 4 blob, 5 null.
    int type(int column) const;
    static constexpr int kInteger = 1, kReal = 2, kText = 3, kBlob = 4, kNull = 5;
    // The type the table declares for the column ("DATE", "TEXT"...), empty for an expression.
    QByteArray declaredType(int column) const;
    // The table the column is read from, empty for an expression.
    QString tableName(int column) const;

    sqlite3_stmt* handle() const { return m_stmt; }

    // What the rows read now would be read from: the text with the values bound, and the state
    // of the tables the statement reads. Taken before the first step, it tells later whether
    // the same statement would give the same rows.
    Snapshot snapshot() const;

private:
    friend class Database;
    Statement(Database* db, sqlite3_stmt* stmt, Footprint footprint)
        : m_db(db), m_stmt(stmt), m_footprint(std::move(footprint)) {}
    void noteBindError(int rc);

    Database* m_db = nullptr;
    sqlite3_stmt* m_stmt = nullptr;
    Footprint m_footprint;
    Status m_status;
};
