#pragma once

#include "Result.h"

#include <QString>

class Database;

namespace numbering {

// The next order number of a year: the highest stored number of the year, read as a whole
// number, plus one; 1 for a year without orders. A stored number that is not a whole number
// from 1 to 32767 makes the numbering impossible: the error names it.
Result<int> nextOrderNumber(Database& db, const QString& year);

} // namespace numbering
