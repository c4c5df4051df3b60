#include "MdbReader.h"

#include "text/ScopedCLocale.h"

#include <mdbtools.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace jet {
namespace {

// Room for the longest memo text (65535 characters) in UTF-8.
constexpr size_t kBindSize = 200000;

Type typeOf(int mdbType) {
    switch (mdbType) {
    case MDB_TEXT:
        return Type::Text;
    case MDB_MEMO:
        return Type::Memo;
    case MDB_BOOL:
        return Type::Boolean;
    case MDB_BYTE:
        return Type::Byte;
    case MDB_INT:
        return Type::Integer;
    case MDB_LONGINT:
        return Type::Long;
    case MDB_FLOAT:
        return Type::Single;
    case MDB_DOUBLE:
        return Type::Double;
    case MDB_MONEY:
        return Type::Currency;
    case MDB_NUMERIC:
        return Type::Numeric;
    case MDB_DATETIME:
        return Type::DateTime;
    default:
        return Type::Other;
    }
}

// Whether the value of a column is read from the text libmdb makes of it (texts, and the
// types whose text is exact) rather than from its bytes.
bool readsText(int mdbType) {
    return mdbType == MDB_TEXT || mdbType == MDB_MEMO || mdbType == MDB_BOOL ||
           mdbType == MDB_NUMERIC || mdbType == MDB_REPID;
}

std::int64_t littleEndian(const unsigned char* p, int bytes) {
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    if (bytes < 8 && (v & (std::uint64_t(1) << (bytes * 8 - 1))))
        v |= ~std::uint64_t(0) << (bytes * 8);
    return std::int64_t(v);
}

// Jet keeps a moment as days since 30 December 1899, the time of day as the fraction; before
// that day the whole days count back while the fraction still counts forward.
Value dateTimeOf(double days) {
    if (!std::isfinite(days) || std::fabs(days) > 3.0e6)
        return Value::other(QStringLiteral("data non valida"));
    const double whole = std::trunc(days);
    qint64 ms = std::llround(std::fabs(days - whole) * 86400000.0);
    qint64 dayCount = qint64(whole);
    if (ms >= 86400000) {
        ms -= 86400000;
        dayCount += 1;
    }
    // Times are kept to the second; the rest is the fraction's rounding.
    const int secs = int((ms + 500) / 1000);
    return Value::ofDateTime(QDate(1899, 12, 30).addDays(dayCount),
                             QTime(0, 0).addSecs(qMin(secs, 86399)));
}

class MdbArchive : public Archive {
public:
    explicit MdbArchive(MdbHandle* mdb) : m_mdb(mdb) {
        for (unsigned i = 0; i < m_mdb->num_catalog; ++i) {
            auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(m_mdb->catalog, i));
            if (e->object_type == MDB_TABLE && mdb_is_user_table(e))
                m_tables << QString::fromUtf8(e->object_name);
        }
    }
    ~MdbArchive() override { mdb_close(m_mdb); }

    QStringList tables() const override { return m_tables; }

    Result<QList<Column>> columns(const QString& table) override {
        auto t = readTable(table);
        if (!t)
            return t.error();
        QList<Column> out;
        for (unsigned i = 0; i < (*t)->num_cols; ++i) {
            auto* c = static_cast<MdbColumn*>(g_ptr_array_index((*t)->columns, i));
            const Type type = typeOf(c->col_type);
            // Jet 4 keeps texts in two bytes a character.
            const bool wide = IS_JET4(m_mdb) && (type == Type::Text);
            out << Column{QString::fromUtf8(c->name), type, wide ? c->col_size / 2 : c->col_size};
        }
        mdb_free_tabledef(*t);
        return out;
    }

    Status rows(const QString& table, const RowSink& sink) override {
        // libmdb writes numbers with the C library: its text keeps the full stop.
        ScopedCLocale cLocale;
        auto t = readTable(table);
        if (!t)
            return t.error();
        MdbTableDef* def = *t;
        const unsigned n = def->num_cols;
        std::vector<std::vector<char>> bound(n);
        std::vector<MdbColumn*> cols(n);
        for (unsigned i = 0; i < n; ++i) {
            cols[i] = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, i));
            if (readsText(cols[i]->col_type)) {
                bound[i].assign(kBindSize, '\0');
                mdb_bind_column(def, int(i + 1), bound[i].data(), nullptr);
            }
        }
        mdb_rewind_table(def);
        Status status;
        unsigned read = 0;
        while (status && mdb_fetch_row(def)) {
            ++read;
            Row row;
            row.reserve(qsizetype(n));
            for (unsigned i = 0; i < n; ++i)
                row << valueOf(cols[i], bound[i]);
            status = sink(row);
        }
        // A page that could not be read ends the table early without a word from libmdb: the
        // count the table keeps tells.
        const unsigned expected = def->num_rows;
        mdb_free_tabledef(def);
        if (status && read != expected)
            return makeError(QStringLiteral("la tabella %1 è incompleta: lette %2 righe su %3 "
                                            "(file danneggiato o troncato)")
                                 .arg(table)
                                 .arg(read)
                                 .arg(expected));
        return status;
    }

private:
    Result<MdbTableDef*> readTable(const QString& table) {
        for (unsigned i = 0; i < m_mdb->num_catalog; ++i) {
            auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(m_mdb->catalog, i));
            if (e->object_type != MDB_TABLE ||
                QString::fromUtf8(e->object_name).compare(table, Qt::CaseInsensitive) != 0)
                continue;
            MdbTableDef* def = mdb_read_table(e);
            if (!def)
                return makeError(
                    QStringLiteral("la tabella %1 non si può leggere (file danneggiato)")
                        .arg(table));
            if (!mdb_read_columns(def)) {
                mdb_free_tabledef(def);
                return makeError(
                    QStringLiteral("le colonne della tabella %1 non si possono leggere (file "
                                   "danneggiato)")
                        .arg(table));
            }
            return def;
        }
        return makeError(QStringLiteral("il file non contiene la tabella %1").arg(table));
    }

    Value valueOf(const MdbColumn* c, const std::vector<char>& text) const {
        if (c->col_type == MDB_BOOL)
            return Value::ofBoolean(std::strcmp(text.data(), "0") != 0);
        if (c->cur_value_len == 0)
            return Value::null();
        if (readsText(c->col_type)) {
            const QString s = QString::fromUtf8(text.data());
            if (c->col_type == MDB_NUMERIC) {
                bool ok = false;
                const double d = s.toDouble(&ok);
                return ok ? Value::ofReal(d) : Value::other(QStringLiteral("numero non valido"));
            }
            return Value::ofText(s);
        }
        const int start = c->cur_value_start;
        const int need = c->col_type == MDB_BYTE                                    ? 1
                         : c->col_type == MDB_INT                                   ? 2
                         : (c->col_type == MDB_LONGINT || c->col_type == MDB_FLOAT) ? 4
                                                                                    : 8;
        if (start < 0 || start + need > int(sizeof(m_mdb->pg_buf)))
            return Value::other(QStringLiteral("valore illeggibile"));
        const unsigned char* p = m_mdb->pg_buf + start;
        switch (c->col_type) {
        case MDB_BYTE:
            return Value::ofInteger(p[0]);
        case MDB_INT:
            return Value::ofInteger(littleEndian(p, 2));
        case MDB_LONGINT:
            return Value::ofInteger(littleEndian(p, 4));
        case MDB_MONEY:
            // Ten-thousandths, exactly.
            return Value::ofReal(double(littleEndian(p, 8)) / 10000.0);
        case MDB_FLOAT: {
            float f;
            std::memcpy(&f, p, 4);
            return Value::ofReal(double(f));
        }
        case MDB_DOUBLE: {
            double d;
            std::memcpy(&d, p, 8);
            return Value::ofReal(d);
        }
        case MDB_DATETIME: {
            double d;
            std::memcpy(&d, p, 8);
            return dateTimeOf(d);
        }
        default:
            return Value::other(QStringLiteral("dato binario"));
        }
    }

    MdbHandle* m_mdb;
    QStringList m_tables;
};

} // namespace

Result<std::unique_ptr<Archive>> openMdb(const QByteArray& nativePath) {
    MdbHandle* mdb = mdb_open(nativePath.constData(), MDB_NOFLAGS);
    if (!mdb)
        return makeError(QStringLiteral("il file non si può aprire come archivio Access"));
    mdb_set_bind_size(mdb, kBindSize);
    mdb_set_boolean_fmt_numbers(mdb);
    // Every Jet file lists its own system tables: a catalogue without them was not read whole.
    if (!mdb_read_catalog(mdb, MDB_ANY) || !mdb_get_catalogentry_by_name(mdb, "MSysObjects")) {
        mdb_close(mdb);
        return makeError(QStringLiteral("l'elenco delle tabelle del file non si può leggere "
                                        "(file danneggiato)"));
    }
    return std::unique_ptr<Archive>(new MdbArchive(mdb));
}

} // namespace jet
