#pragma once

#include "base/Result.h"

class Database;

// The minutes without use after which the program hides its data and asks the personal password
// again. Kept in the file itself (table BLOCCO_INATTIVITA, one row when the lock is on), so that
// it travels with the file and only its owner changes it; it works only while the file has a
// personal password.
namespace idlelock {

inline constexpr int kMaxMinutes = 240;

// The minutes set, 0 when the lock is off.
Result<int> minutes(Database& db);
// Sets the minutes (1 to kMaxMinutes) or turns the lock off (0).
Status setMinutes(Database& db, int minutes);

} // namespace idlelock
