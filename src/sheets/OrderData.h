#pragma once

#include "CellValue.h"
#include "base/Result.h"

#include <QString>

#include <array>
#include <optional>
#include <vector>

class Database;

// What the order sheet shows of one stored order, read from the database.
namespace sheets::order {

// The nine values of an order line, columns A to I of the sheet: CODICE, ARTICOLO, FORMATO,
// PESO, QVENDITA, QOMAGGIO, PREZZO, SCONTO, NOTE.
using Line = std::array<Value, 9>;
// The sheet's row (from 0) of the first line, row 14, and the columns of the values the
// totals count.
inline constexpr int kFirstLineRow = 13;
inline constexpr int kPeso = 3, kVendita = 4, kOmaggio = 5, kPrezzo = 6;

struct OrderData {
    // The joined lines of A2, A4 and A6; none when the row they come from is missing.
    std::optional<std::string> agent;
    std::optional<std::string> customer;
    std::optional<std::string> destination;
    // G10, H10 and I10.
    Value number;
    Value orderDate;
    Value deliveryDate;
    // In the order of their description.
    std::vector<Line> lines;
};

// The order (year, number) of the customer with that code. A missing row leaves its part empty;
// only a database error fails.
Result<OrderData> readOrder(Database& db, const QString& year, const QString& number,
                            const QString& customerCode);

} // namespace sheets::order
