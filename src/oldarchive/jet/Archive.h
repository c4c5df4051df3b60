#pragma once

#include "base/Result.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTime>

#include <cstdint>
#include <functional>

// The old archive as the import sees it: tables, their columns with the types they declare,
// and rows of typed values. The Jet file is one source of them; tests give rows of their own.
namespace jet {

enum class Type {
    Text,
    Memo,
    Boolean,
    Byte,
    Integer,
    Long,
    Single,
    Double,
    Currency,
    Numeric,
    DateTime,
    Other
};

struct Column {
    QString name;
    Type type = Type::Other;
    // Characters of a text column; bytes of the others.
    int size = 0;
};

struct Value {
    enum class Kind { Null, Text, Integer, Real, DateTime, Boolean, Other };
    Kind kind = Kind::Null;
    QString text;
    std::int64_t integer = 0;
    double real = 0;
    QDate date;
    QTime time;
    bool boolean = false;

    bool isNull() const { return kind == Kind::Null; }
    static Value null() { return {}; }
    static Value ofText(const QString& t) {
        Value v;
        v.kind = Kind::Text;
        v.text = t;
        return v;
    }
    static Value ofInteger(std::int64_t i) {
        Value v;
        v.kind = Kind::Integer;
        v.integer = i;
        return v;
    }
    static Value ofReal(double d) {
        Value v;
        v.kind = Kind::Real;
        v.real = d;
        return v;
    }
    static Value ofDateTime(const QDate& d, const QTime& t = QTime(0, 0)) {
        Value v;
        v.kind = Kind::DateTime;
        v.date = d;
        v.time = t;
        return v;
    }
    static Value ofBoolean(bool b) {
        Value v;
        v.kind = Kind::Boolean;
        v.boolean = b;
        return v;
    }
    // A value of a kind the program has no use for (binary, OLE object), described.
    static Value other(const QString& what) {
        Value v;
        v.kind = Kind::Other;
        v.text = what;
        return v;
    }
};

using Row = QList<Value>;
// Takes one row; an error stops the reading.
using RowSink = std::function<Status(const Row&)>;

class Archive {
public:
    virtual ~Archive() = default;
    // The user tables, in the file's order.
    virtual QStringList tables() const = 0;
    // The columns of a table (its name compared without regard to case).
    virtual Result<QList<Column>> columns(const QString& table) = 0;
    // Every row of a table, in the file's order, each with one value per column.
    virtual Status rows(const QString& table, const RowSink& sink) = 0;
};

} // namespace jet
