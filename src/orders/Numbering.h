#pragma once

#include "base/Result.h"

#include <QString>

class Database;

namespace numbering {

// The highest number of the year ?1, read from the end of the index ORDINE_NUMERO (ANNO, integer
// value of NR): one seek, however many lines the file holds.
inline constexpr const char* kHighestNumber =
    "SELECT CAST(NR AS INTEGER) FROM ORDINE WHERE ANNO = ?1 "
    "ORDER BY CAST(NR AS INTEGER) DESC LIMIT 1;";
// Numbers of the year ?1 that the numbering cannot read, through their own partial index
// ORDINE_NR_ILLEGGIBILI, which is normally empty.
const char* unreadableNumberQuery();

// The next order number of a year: the highest stored number of the year, read as a whole
// number, plus one; 1 for a year without orders. A stored number that is not a whole number
// from 1 to 32767 makes the numbering impossible: the error names it.
Result<int> nextOrderNumber(Database& db, const QString& year);

// Adds the year to ANNO, in a transaction of its own, when the table does not hold it yet.
Status ensureYear(Database& db, int year);

} // namespace numbering
