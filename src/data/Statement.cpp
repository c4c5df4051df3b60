#include "Statement.h"

#include "Database.h"

#include <sqlite3.h>

Statement::Statement(Statement&& other) noexcept
    : m_db(other.m_db), m_stmt(other.m_stmt), m_footprint(std::move(other.m_footprint)),
      m_status(std::move(other.m_status)) {
    other.m_stmt = nullptr;
}

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        if (m_stmt)
            sqlite3_finalize(m_stmt);
        m_db = other.m_db;
        m_stmt = other.m_stmt;
        m_footprint = std::move(other.m_footprint);
        m_status = std::move(other.m_status);
        other.m_stmt = nullptr;
    }
    return *this;
}

Statement::~Statement() {
    if (m_stmt)
        sqlite3_finalize(m_stmt);
}

void Statement::noteBindError(int rc) {
    if (rc != SQLITE_OK && m_status.ok())
        m_status = m_db->engineError(rc);
}

Statement& Statement::bind(int index, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    noteBindError(
        sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT));
    return *this;
}

Statement& Statement::bind(int index, std::string_view utf8) {
    noteBindError(
        sqlite3_bind_text(m_stmt, index, utf8.data(), int(utf8.size()), SQLITE_TRANSIENT));
    return *this;
}

Statement& Statement::bind(int index, std::int64_t value) {
    noteBindError(sqlite3_bind_int64(m_stmt, index, value));
    return *this;
}

Statement& Statement::bind(int index, double value) {
    noteBindError(sqlite3_bind_double(m_stmt, index, value));
    return *this;
}

Statement& Statement::bindNull(int index) {
    noteBindError(sqlite3_bind_null(m_stmt, index));
    return *this;
}

Statement& Statement::bind(int index, const std::optional<double>& value) {
    return value ? bind(index, *value) : bindNull(index);
}

Statement& Statement::bind(int index, const std::optional<QString>& value) {
    return value ? bind(index, *value) : bindNull(index);
}

Statement& Statement::bindTextOrNull(int index, const QString& text) {
    return text.isEmpty() ? bindNull(index) : bind(index, text);
}

bool Statement::next() {
    if (!m_stmt || !m_status.ok())
        return false;
    if (!m_footprint.writes.empty())
        m_db->watch().running(m_footprint);
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        m_status = m_db->engineError(rc);
    return false;
}

Result<QString> Statement::firstText() {
    QString v;
    if (next())
        v = text(0);
    if (!m_status)
        return m_status.error();
    return v;
}

Status Statement::run() {
    while (next()) {
    }
    return m_status;
}

void Statement::reset() {
    if (m_stmt) {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    m_status = Status();
}

int Statement::columnCount() const {
    return sqlite3_column_count(m_stmt);
}

bool Statement::isNull(int column) const {
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

int Statement::type(int column) const {
    return sqlite3_column_type(m_stmt, column);
}

QString Statement::text(int column) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    if (!p)
        return QString();
    return QString::fromUtf8(p, sqlite3_column_bytes(m_stmt, column));
}

std::string_view Statement::utf8(int column) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    if (!p)
        return {};
    return std::string_view(p, size_t(sqlite3_column_bytes(m_stmt, column)));
}

std::optional<std::string_view> Statement::utf8OrNull(int column) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    if (p)
        return std::string_view(p, size_t(sqlite3_column_bytes(m_stmt, column)));
    // Empty text has a pointer of its own; without one the value is NULL (or the engine ran
    // out of memory converting it, which the statement's next step reports).
    if (sqlite3_column_type(m_stmt, column) == SQLITE_NULL)
        return std::nullopt;
    return std::string_view();
}

std::int64_t Statement::int64(int column) const {
    return sqlite3_column_int64(m_stmt, column);
}

double Statement::real(int column) const {
    return sqlite3_column_double(m_stmt, column);
}

QString Statement::columnName(int column) const {
    return QString::fromUtf8(sqlite3_column_name(m_stmt, column));
}

QByteArray Statement::declaredType(int column) const {
    return QByteArray(sqlite3_column_decltype(m_stmt, column));
}

QString Statement::tableName(int column) const {
    return QString::fromUtf8(sqlite3_column_table_name(m_stmt, column));
}

Snapshot Statement::snapshot() const {
    if (!m_stmt || !m_db)
        return Snapshot();
    std::string query;
    if (char* text = sqlite3_expanded_sql(m_stmt)) {
        query = text;
        sqlite3_free(text);
    } else {
        // Without the text its answer cannot be told from another's.
        return Snapshot();
    }
    return m_db->watch().snapshot(m_footprint, std::move(query));
}
