#pragma once

#include <QDate>

#include <optional>
#include <string>
#include <string_view>

// The value of a cell: nothing, a number, a text, a date held as the spreadsheet's serial day
// number, or a formula with the number it gives (kept in the file, so that a reader that does not
// compute shows it). Texts are UTF-8, as the database gives them and the file format wants them.
namespace sheets {

struct Value {
    enum class Kind : unsigned char { Empty, Number, Text, Date, Formula };
    Kind kind = Kind::Empty;
    double number = 0;
    std::string text;

    static Value ofNumber(double v) { return Value{Kind::Number, v, {}}; }
    static Value ofText(std::string s) { return Value{Kind::Text, 0, std::move(s)}; }
    static Value ofText(std::string_view s) { return ofText(std::string(s)); }
    static Value ofText(const char* s) { return ofText(std::string(s)); }
    static Value ofText(const QString& s) { return ofText(s.toStdString()); }
    // A formula in the application's own (English) form, "=SUM(E14:E20)", and its result.
    static Value ofFormula(std::string formula, double result) {
        return Value{Kind::Formula, result, std::move(formula)};
    }
    // A date the spreadsheet cannot hold (before 1900) has no value.
    static std::optional<Value> ofDate(const QDate& d);

    bool empty() const { return kind == Kind::Empty; }
    bool operator==(const Value&) const = default;
};

// Day 1 is 1900-01-01 in the spreadsheet's count, which also counts a 29 February 1900 that
// never was; from 1900-03-01 on the serial is the days since 1899-12-30.
std::optional<double> serialOf(const QDate& d);
QDate dateOfSerial(double serial);

} // namespace sheets
