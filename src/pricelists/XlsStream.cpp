#include "XlsStream.h"

#include "ImportMessages.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace pricelists::xlsstream {
namespace {

constexpr qsizetype kHead = 5;
constexpr qsizetype kPlace = 6;

QByteArray record(char tag, const QByteArray& payload) {
    QByteArray out;
    out.reserve(kHead + payload.size());
    out.append(tag);
    char length[4];
    qToLittleEndian<quint32>(quint32(payload.size()), length);
    out.append(length, 4);
    out.append(payload);
    return out;
}

QByteArray place(std::uint32_t row, std::uint16_t column) {
    char bytes[kPlace];
    qToLittleEndian<quint32>(row, bytes);
    qToLittleEndian<quint16>(column, bytes + 4);
    return QByteArray(bytes, kPlace);
}

} // namespace

QByteArray sheet(const QByteArray& name) {
    return record('S', name.left(kMaxName));
}

QByteArray number(std::uint32_t row, std::uint16_t column, double value) {
    quint64 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    char bytes[8];
    qToLittleEndian<quint64>(bits, bytes);
    return record('N', place(row, column) + QByteArray(bytes, 8));
}

QByteArray text(std::uint32_t row, std::uint16_t column, const char* utf8, std::size_t size) {
    std::size_t n = std::min<std::size_t>(size, std::size_t(kMaxRecord - kPlace));
    // Back to the start of a character when the cut falls inside one.
    if (n < size)
        while (n > 0 && (static_cast<unsigned char>(utf8[n]) & 0xC0) == 0x80)
            --n;
    return record('T', place(row, column) + QByteArray(utf8, qsizetype(n)));
}

QByteArray unreadable(std::uint32_t row, std::uint16_t column) {
    return record('U', place(row, column));
}

QByteArray progress(int percent) {
    return record('P', QByteArray(1, char(std::clamp(percent, 0, 100))));
}

QByteArray refusal(Refusal why, const QByteArray& detail) {
    return record('E', char(why) + detail.left(kMaxName));
}

QByteArray end() {
    return record('Z', {});
}

Decoder::Decoder(const QString& path, const ReadLimits& limits) : m_path(path), m_limits(limits) {}

Decoder::State Decoder::feed(const char* data, qsizetype size) {
    if (size <= 0)
        return m_state;
    // Nothing may follow the last record.
    if (m_state == State::Ended)
        return m_state = State::Bad;
    if (m_state != State::Going)
        return m_state;
    m_bytes += size;
    if (m_bytes > m_limits.maxXlsOutput)
        return m_state = State::TooBig;
    m_buffer.append(data, size);
    if (!m_marked) {
        const qsizetype n = std::min(m_buffer.size(), kMarkSize);
        if (std::memcmp(m_buffer.constData(), kMark, std::size_t(n)) != 0)
            return m_state = State::Bad;
        if (m_buffer.size() < kMarkSize)
            return m_state;
        m_marked = true;
        m_at = kMarkSize;
    }
    while (m_state == State::Going && m_buffer.size() - m_at >= kHead) {
        const char* head = m_buffer.constData() + m_at;
        const quint32 length = qFromLittleEndian<quint32>(head + 1);
        if (length > quint32(kMaxRecord))
            return m_state = State::Bad;
        if (m_buffer.size() - m_at - kHead < qsizetype(length))
            break;
        const char tag = head[0];
        m_at += kHead + qsizetype(length);
        if (!take(tag, head + kHead, qsizetype(length)))
            m_state = State::Bad;
    }
    if (m_state == State::Ended && m_at != m_buffer.size())
        m_state = State::Bad;
    // The bytes taken are let go once they are most of the buffer.
    if (m_at > 0 && m_at * 2 >= m_buffer.size()) {
        m_buffer.remove(0, m_at);
        m_at = 0;
    }
    return m_state;
}

bool Decoder::take(char tag, const char* p, qsizetype n) {
    switch (tag) {
    case 'S': {
        if (n > kMaxName || int(m_book.sheets.size()) >= kMaxSheets)
            return false;
        Sheet sheet;
        sheet.name = QString::fromUtf8(p, n);
        m_book.sheets.push_back(std::move(sheet));
        m_lastPlace = -1;
        return true;
    }
    case 'N':
    case 'T':
    case 'U':
        return cell(tag, p, n);
    case 'P':
        if (n != 1 || static_cast<unsigned char>(p[0]) > 100)
            return false;
        m_percent = static_cast<unsigned char>(p[0]);
        return true;
    case 'E':
        if (!refused(p, n))
            return false;
        m_state = State::Ended;
        return true;
    case 'Z':
        if (n != 0)
            return false;
        m_state = State::Ended;
        return true;
    default:
        return false;
    }
}

bool Decoder::cell(char tag, const char* p, qsizetype n) {
    if (m_book.sheets.empty() || n < kPlace)
        return false;
    const quint32 row = qFromLittleEndian<quint32>(p);
    const quint16 column = qFromLittleEndian<quint16>(p + 4);
    if (row >= quint32(m_limits.maxRows) || column >= quint32(m_limits.maxColumns))
        return false;
    // Each place once, in order: the cells of a sheet are bounded by its rows and columns.
    const std::int64_t at = std::int64_t(row) * m_limits.maxColumns + column;
    if (at <= m_lastPlace)
        return false;
    m_lastPlace = at;
    Cell c;
    if (tag == 'N') {
        if (n != kPlace + 8)
            return false;
        const quint64 bits = qFromLittleEndian<quint64>(p + kPlace);
        std::memcpy(&c.number, &bits, sizeof bits);
        if (!std::isfinite(c.number))
            return false;
        c.kind = Cell::Kind::Number;
    } else if (tag == 'T') {
        if (n == kPlace)
            return false;
        c.kind = Cell::Kind::Text;
        c.text = QString::fromUtf8(p + kPlace, n - kPlace);
    } else {
        if (n != kPlace)
            return false;
        c.kind = Cell::Kind::Unreadable;
    }
    std::vector<Row>& rows = m_book.sheets.back().rows;
    if (rows.size() <= row)
        rows.resize(std::size_t(row) + 1);
    Row& r = rows[row];
    if (r.size() <= column)
        r.resize(std::size_t(column) + 1);
    r[column] = std::move(c);
    return true;
}

bool Decoder::refused(const char* p, qsizetype n) {
    if (n < 1 || n > 1 + kMaxName)
        return false;
    const QString detail = QString::fromUtf8(p + 1, n - 1);
    switch (Refusal(p[0])) {
    case Refusal::NotOpened: {
        bool number = false;
        const int code = detail.toInt(&number);
        if (!number || detail.size() > 6)
            return false;
        m_refusal =
            makeError(msg::damaged(m_path, QStringLiteral("codice %1 della libreria").arg(code)));
        return true;
    }
    case Refusal::NotCounted:
        if (!detail.isEmpty())
            return false;
        m_refusal = makeError(msg::damaged(m_path, QStringLiteral("i fogli non si contano")));
        return true;
    case Refusal::SheetUnread:
        m_refusal = makeError(
            msg::damaged(m_path, QStringLiteral("il foglio %1 non si legge").arg(detail)));
        return true;
    case Refusal::TooManyRows:
        m_refusal = makeError(msg::tooManyRows(detail, m_limits.maxRows));
        return true;
    }
    return false;
}

Result<Workbook> Decoder::finish() {
    switch (m_state) {
    case State::Ended:
        if (m_refusal)
            return *m_refusal;
        return std::move(m_book);
    case State::TooBig:
        return makeError(msg::tooBig(m_path, m_limits.maxXlsOutput / (1024 * 1024)));
    case State::Bad:
        return makeError(msg::damaged(m_path, msg::xlsGarbled()));
    case State::Going:
        break;
    }
    return makeError(msg::damaged(m_path, msg::xlsStopped()));
}

} // namespace pricelists::xlsstream
