#pragma once

#include "base/Result.h"

#include <QString>

class Database;

namespace pg {
class Connection;
}

// The office's catalogue on the server, loaded from a file of the program: its articles, and its
// principals and price lists when the file has them. One transaction: the server holds the
// whole new catalogue or the old one. Only rows that really changed are written, so that the
// agents' next sync takes just those; rows the file no longer has are marked gone.
namespace catalogueload {

struct Counts {
    int articles = 0;
    int principals = 0;
    int prices = 0;
};

// A principal's address without one in the file (none, or empty) leaves the server's.
Result<Counts> load(Database& file, pg::Connection& office);

// Sets the address for orders of a principal of the office's catalogue; it reaches every agent
// at its next sync. The address is taken as given: its form is the caller's to check.
Status setOrderAddress(pg::Connection& office, const QString& principal, const QString& email);

} // namespace catalogueload
