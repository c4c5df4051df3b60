#include "CellValue.h"

#include <cmath>

namespace sheets {
namespace {

const qint64 kEpoch = QDate(1899, 12, 30).toJulianDay();
const qint64 kMarch1900 = QDate(1900, 3, 1).toJulianDay();

} // namespace

std::optional<double> serialOf(const QDate& d) {
    if (!d.isValid() || d.year() < 1900 || d.year() > 9999)
        return std::nullopt;
    const qint64 jd = d.toJulianDay();
    // Before March 1900 the count is one less: it has the phantom 29 February.
    return double(jd >= kMarch1900 ? jd - kEpoch : jd - kEpoch - 1);
}

QDate dateOfSerial(double serial) {
    const auto days = qint64(std::floor(serial));
    return QDate::fromJulianDay(days >= 61 ? kEpoch + days : kEpoch + days + 1);
}

std::optional<Value> Value::ofDate(const QDate& d) {
    auto s = serialOf(d);
    if (!s)
        return std::nullopt;
    return Value{Kind::Date, *s, {}};
}

} // namespace sheets
