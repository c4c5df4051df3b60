#include "Frames.h"

#include <cstring>

namespace jet::frames {
namespace {

void putU32(QByteArray& out, quint32 v) {
    for (int i = 0; i < 4; ++i)
        out.append(char((v >> (8 * i)) & 0xFF));
}

void putU64(QByteArray& out, quint64 v) {
    for (int i = 0; i < 8; ++i)
        out.append(char((v >> (8 * i)) & 0xFF));
}

void putBytes(QByteArray& out, const QByteArray& bytes) {
    putU32(out, quint32(bytes.size()));
    out.append(bytes);
}

// Reads what a payload holds, refusing to read past its end.
class Cursor {
public:
    explicit Cursor(const QByteArray& b) : m_b(b) {}
    bool failed() const { return m_failed; }
    bool atEnd() const { return m_at == m_b.size(); }

    quint64 unsignedOf(int bytes) {
        if (m_failed || m_b.size() - m_at < bytes) {
            m_failed = true;
            return 0;
        }
        quint64 v = 0;
        for (int i = bytes - 1; i >= 0; --i)
            v = (v << 8) | quint8(m_b.at(m_at + i));
        m_at += bytes;
        return v;
    }
    QByteArray bytes() {
        const quint64 n = unsignedOf(4);
        if (m_failed || quint64(m_b.size() - m_at) < n) {
            m_failed = true;
            return {};
        }
        const QByteArray out = m_b.mid(m_at, qsizetype(n));
        m_at += qsizetype(n);
        return out;
    }
    // Text the reader wrote from a string: anything else is refused.
    QString text() {
        const QByteArray b = bytes();
        const QString s = QString::fromUtf8(b);
        if (s.toUtf8() != b)
            m_failed = true;
        return s;
    }

private:
    const QByteArray& m_b;
    qsizetype m_at = 0;
    bool m_failed = false;
};

} // namespace

QByteArray frame(Tag tag, const QByteArray& payload) {
    QByteArray out;
    out.reserve(payload.size() + 5);
    out.append(char(tag));
    putU32(out, quint32(payload.size()));
    out.append(payload);
    return out;
}

QByteArray ofText(const QString& text) {
    QByteArray out;
    putBytes(out, text.toUtf8());
    return out;
}

QByteArray ofColumn(const Column& c) {
    QByteArray out;
    putBytes(out, c.name.toUtf8());
    out.append(char(c.type));
    putU32(out, quint32(c.size));
    return out;
}

QByteArray ofRow(const Row& row) {
    QByteArray out;
    putU32(out, quint32(row.size()));
    for (const Value& v : row) {
        out.append(char(v.kind));
        switch (v.kind) {
        case Value::Kind::Null:
            break;
        case Value::Kind::Text:
        case Value::Kind::Other:
            putBytes(out, v.text.toUtf8());
            break;
        case Value::Kind::Integer:
            putU64(out, quint64(v.integer));
            break;
        case Value::Kind::Real: {
            quint64 bits;
            std::memcpy(&bits, &v.real, 8);
            putU64(out, bits);
            break;
        }
        case Value::Kind::DateTime:
            putU64(out, quint64(v.date.toJulianDay()));
            putU32(out, quint32(v.time.msecsSinceStartOfDay()));
            break;
        case Value::Kind::Boolean:
            out.append(char(v.boolean ? 1 : 0));
            break;
        }
    }
    return out;
}

std::optional<QString> textOf(const QByteArray& payload) {
    Cursor c(payload);
    const QString s = c.text();
    if (c.failed() || !c.atEnd())
        return std::nullopt;
    return s;
}

std::optional<Column> columnOf(const QByteArray& payload) {
    Cursor c(payload);
    Column col;
    col.name = c.text();
    const quint64 type = c.unsignedOf(1);
    const quint64 size = c.unsignedOf(4);
    if (c.failed() || !c.atEnd() || type > quint64(Type::Other) || size > 0xFFFF)
        return std::nullopt;
    col.type = Type(type);
    col.size = int(size);
    return col;
}

std::optional<Row> rowOf(const QByteArray& payload) {
    Cursor c(payload);
    const quint64 count = c.unsignedOf(4);
    // A Jet table has at most 255 columns.
    if (c.failed() || count > 255)
        return std::nullopt;
    Row row;
    row.reserve(qsizetype(count));
    for (quint64 i = 0; i < count && !c.failed(); ++i) {
        const quint64 kind = c.unsignedOf(1);
        switch (Value::Kind(kind)) {
        case Value::Kind::Null:
            row << Value::null();
            break;
        case Value::Kind::Text:
            row << Value::ofText(c.text());
            break;
        case Value::Kind::Other:
            row << Value::other(c.text());
            break;
        case Value::Kind::Integer:
            row << Value::ofInteger(std::int64_t(c.unsignedOf(8)));
            break;
        case Value::Kind::Real: {
            const quint64 bits = c.unsignedOf(8);
            double d;
            std::memcpy(&d, &bits, 8);
            row << Value::ofReal(d);
            break;
        }
        case Value::Kind::DateTime: {
            const QDate date = QDate::fromJulianDay(qint64(c.unsignedOf(8)));
            const quint64 ms = c.unsignedOf(4);
            if (!date.isValid() || ms >= 86400000)
                return std::nullopt;
            row << Value::ofDateTime(date, QTime::fromMSecsSinceStartOfDay(int(ms)));
            break;
        }
        case Value::Kind::Boolean: {
            const quint64 b = c.unsignedOf(1);
            if (b > 1)
                return std::nullopt;
            row << Value::ofBoolean(b == 1);
            break;
        }
        default:
            return std::nullopt;
        }
    }
    if (c.failed() || !c.atEnd())
        return std::nullopt;
    return row;
}

Reader::Next Reader::next(Frame& out) {
    const qsizetype left = m_buffer.size() - m_at;
    if (left < 5)
        return Next::NeedMore;
    const char tag = m_buffer.at(m_at);
    quint32 size = 0;
    for (int i = 3; i >= 0; --i)
        size = (size << 8) | quint8(m_buffer.at(m_at + 1 + i));
    switch (Tag(tag)) {
    case Tag::Table:
    case Tag::Column:
    case Tag::Row:
    case Tag::Failure:
    case Tag::End:
        break;
    default:
        return Next::Bad;
    }
    if (qsizetype(size) > kMaxPayload)
        return Next::Bad;
    if (left - 5 < qsizetype(size))
        return Next::NeedMore;
    out.tag = Tag(tag);
    out.payload = m_buffer.mid(m_at + 5, qsizetype(size));
    m_at += 5 + qsizetype(size);
    // What was read is let go of now and then, not at every frame.
    if (m_at > (1 << 20)) {
        m_buffer.remove(0, m_at);
        m_at = 0;
    }
    return Next::Frame;
}

} // namespace jet::frames
