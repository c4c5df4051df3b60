#pragma once

#include "base/Result.h"

#include <QString>

#include <cstdint>
#include <vector>

class Database;

namespace pg {
class Connection;
}

// The office's side of the customers on the agency's server: its own customers, loaded from a
// file of the program, and the agents' requests to change them, which the office accepts or
// refuses. An accepted request changes the office's customer, and so reaches every agent at the
// next sync.
namespace customerrequests {

struct LoadCounts {
    int added = 0;
    int updated = 0;
};

// Each customer of the file with a code becomes, or updates, the office's customer of that
// code; all of them in one transaction.
Result<LoadCounts> loadOffice(Database& file, pg::Connection& office);

// An open request, with the customer as the office holds it now, in words for the office.
struct Open {
    std::int64_t id = 0;
    QString text;
};
Result<std::vector<Open>> listOpen(pg::Connection& office);

// Decides a request. Only an open request of an office customer that still exists is accepted.
Status accept(pg::Connection& office, std::int64_t id);
Status refuse(pg::Connection& office, std::int64_t id);

} // namespace customerrequests
