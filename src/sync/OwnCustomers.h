#pragma once

#include "Pg.h"
#include "base/Result.h"

#include <cstdint>

class Database;

namespace agencysync {
struct Report;
}

// The agent's own customers as its other machines wrote them: one login, several files (a
// laptop and a desktop), each taking what the others sent.
namespace customersync {

// Column of the pull's rows of customers telling the agent's own from the office's.
inline constexpr int kOwnColumn = 6;

// Whether the pull reads every customer of the agent on the server, not only those changed
// since its last view: a file whose pulls did not take the agent's own customers yet takes them
// all once.
bool ownFromStart(Database& db);

// Inside the pull's transaction of the file: the rows of the agent's own customers among those
// the pull read (their last column true). The ones this file sent itself are skipped, one changed
// here and not yet sent stays as it is (its push settles it), the others become the agent's
// customers here, already on the server. One deleted elsewhere is deleted here unless orders here
// use its code: then it goes back up.
Status applyOwn(Database& db, const pg::Rows& customers, agencysync::Report& report);

// Customers of the agent waiting to go up: changed, new and deleted ones, and codes to withdraw.
// Before the first sync, every customer of the file.
Result<std::int64_t> pendingCustomers(Database& db);

} // namespace customersync
