#pragma once

#include "base/Result.h"

#include <QDate>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>
#include <string_view>

// Numbers and dates as the program writes and reads them, whatever the machine's locale:
// decimal comma, full stop between groups of three integer digits, dates as dd/mm/yyyy.
namespace itext {

// The largest number of significant digits a number text may carry: more could not be stored
// and read back unchanged.
inline constexpr int kMaxDigits = 15;

// Reads "12", "12,5", ",5", "-3", "1.500", "1.500,00". A full stop that does not separate groups
// of three digits ("1.5"), a second comma, a lone sign or any other character: no number.
std::optional<double> parseNumber(QStringView text);

// The number as a list shows it: up to 15 significant digits, no grouping, decimal comma
// ("12,5", "1500", "-0,75").
QString formatNumber(double value);
// Two decimals, no grouping ("12,50", "1500,00").
QString formatFixed2(double value);
// `decimals` decimals, grouped by thousands or not, rounded as formatGrouped2 rounds.
QString formatFixed(double value, int decimals, bool grouped);
// Two decimals with grouping ("1.500,00", "0,50", "-3,00"); a third decimal of 5 rounds away
// from zero.
QString formatGrouped2(double value);

// A stored number (as the engine gives it in text, "12.5" or "1500"); none for other text.
std::optional<double> storedNumber(std::string_view stored);
// A stored number in the list form; other text as it is.
QString storedNumberText(std::string_view stored);

std::optional<QDate> parseDate(QStringView text);
QString formatDate(const QDate& date);
// The store keeps dates as yyyy-mm-dd.
QString isoDate(const QDate& date);
std::optional<QDate> parseIsoDate(std::string_view iso);
// A stored date in the dd/mm/yyyy form; a stored text that is no date comes back unchanged.
QString storedDateText(std::string_view stored);

// Conversions of a field's text for a column, with the message that names the field.
// An empty text is no value (NULL).
Result<std::optional<double>> numberField(const QString& field, const QString& text);
Result<std::optional<QString>> dateField(const QString& field, const QString& text);
// A whole number from 1 to 32767 (the order number).
Result<int> orderNumberField(const QString& field, const QString& text);
// A text quoted in a message: whole when short, else its beginning and "…", so that a box
// never grows past the screen with what was pasted into a field.
QString shortened(const QString& text, int max = 60);
// The text with its first letter capital, for a cause that begins a sentence of a box.
QString capitalised(QString text);

// A row key held as text in a hidden label.
std::optional<std::int64_t> parseId(QStringView text);

} // namespace itext
