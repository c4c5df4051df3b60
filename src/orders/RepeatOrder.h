#pragma once

#include "base/Result.h"
#include "data/Refusal.h"

#include <QDate>
#include <QString>

class Database;

// "Ripeti ordine": a new order made of every line of an earlier one. No widgets here.
namespace repeatorder {

struct Repeated {
    QString year;
    QString number;
    int lines = 0;
};

// Copies every line of the order `number` of `year` into a new order of the year of `today`,
// under that year's next number (the numbering of new orders), dated `today`, with no delivery
// date, for the customer and destination of the order's last line; article, quantities,
// price, discount and notes as they are. One transaction: all the lines or none. The original
// does not change. Refused when the order has no lines.
Result<Refusal> repeat(Database& db, const QString& year, const QString& number, const QDate& today,
                       Repeated* made);

} // namespace repeatorder
