#include "Pg.h"

#include <libpq-fe.h>

#include <cstdlib>
#include <cstring>

namespace pg {
namespace {

// The server's numbers of the types the program reads.
enum TypeOid : Oid {
    kBool = 16,
    kName = 19,
    kInt8 = 20,
    kInt2 = 21,
    kInt4 = 23,
    kText = 25,
    kFloat4 = 700,
    kFloat8 = 701,
    kBpchar = 1042,
    kVarchar = 1043,
    kNumeric = 1700,
};

bool fits(char kind, Oid type) {
    const bool whole = type == kInt2 || type == kInt4 || type == kInt8;
    switch (kind) {
    case 't':
        return type == kText || type == kVarchar || type == kBpchar || type == kName;
    case 'i':
        return whole;
    case 'n':
        return whole || type == kFloat4 || type == kFloat8 || type == kNumeric;
    case 'b':
        return type == kBool;
    default:
        return true;
    }
}

const char* kindName(char kind) {
    switch (kind) {
    case 't':
        return "testo";
    case 'i':
        return "numero intero";
    case 'n':
        return "numero";
    case 'b':
        return "sì o no";
    default:
        return "qualsiasi";
    }
}

// The text in the COPY form: the four characters the format gives a meaning escaped, NUL left
// out, bytes that are not UTF-8 as the program reads them everywhere else (the replacement
// character).
template <typename Out> void escapeInto(Out& out, const char* p, std::size_t n) {
    if (!QByteArrayView(p, qsizetype(n)).isValidUtf8()) {
        const QByteArray clean = QString::fromUtf8(p, qsizetype(n)).toUtf8();
        escapeInto(out, clean.constData(), std::size_t(clean.size()));
        return;
    }
    for (std::size_t i = 0; i < n; ++i) {
        const char c = p[i];
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\0':
            break;
        default:
            out += c;
        }
    }
}

QByteArray withoutNul(QByteArray b) {
    if (b.contains('\0'))
        b.replace(QByteArrayView("\0", 1), QByteArrayView());
    return b;
}

} // namespace

Params& Params::add(const QString& text) {
    m_values.emplace_back(withoutNul(text.toUtf8()));
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

QString Shape::mismatch(const PGresult* r) const {
    if (!m_columns)
        return {};
    const int want = int(std::strlen(m_columns));
    const int got = PQnfields(r);
    if (got != want)
        return QStringLiteral("%1 colonne invece di %2").arg(got).arg(want);
    for (int c = 0; c < want; ++c)
        if (!fits(m_columns[c], PQftype(r, c)) || PQfformat(r, c) != 0)
            return QStringLiteral("la colonna %1 (\"%2\") non è di tipo %3")
                .arg(c + 1)
                .arg(QString::fromUtf8(PQfname(r, c)))
                .arg(QString::fromLatin1(kindName(m_columns[c])));
    if (m_oneRow && PQntuples(r) != 1)
        return QStringLiteral("%1 righe invece di una").arg(PQntuples(r));
    return {};
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
bool Rows::inside(int row, int column) const {
    return m_r && row >= 0 && column >= 0 && row < PQntuples(m_r.get()) &&
           column < PQnfields(m_r.get());
}
bool Rows::isNull(int row, int column) const {
    return !inside(row, column) || PQgetisnull(m_r.get(), row, column) != 0;
}
QString Rows::text(int row, int column) const {
    if (!inside(row, column))
        return {};
    return QString::fromUtf8(PQgetvalue(m_r.get(), row, column),
                             PQgetlength(m_r.get(), row, column));
}
std::optional<QString> Rows::textOrNull(int row, int column) const {
    if (isNull(row, column))
        return std::nullopt;
    return text(row, column);
}
QByteArray Rows::bytes(int row, int column) const {
    if (!inside(row, column))
        return {};
    return QByteArray(PQgetvalue(m_r.get(), row, column), PQgetlength(m_r.get(), row, column));
}
std::int64_t Rows::int64(int row, int column) const {
    if (!inside(row, column))
        return 0;
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
    return inside(row, column) && PQgetvalue(m_r.get(), row, column)[0] == 't';
}

void appendCopyField(QByteArray& line, const std::optional<QString>& value) {
    if (!value) {
        line += "\\N";
    } else {
        const QByteArray utf8 = value->toUtf8();
        escapeInto(line, utf8.constData(), std::size_t(utf8.size()));
    }
    line += '\t';
}

void appendCopyField(QByteArray& line, const QByteArray& utf8) {
    escapeInto(line, utf8.constData(), std::size_t(utf8.size()));
    line += '\t';
}

void appendCopyText(std::string& out, std::string_view utf8) {
    escapeInto(out, utf8.data(), utf8.size());
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
    for (const char ch : withoutNul(value.toUtf8())) {
        if (ch == '"' || ch == '\\')
            array += '\\';
        array += ch;
    }
    array += '"';
}

} // namespace pg
