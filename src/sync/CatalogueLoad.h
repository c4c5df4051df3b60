#pragma once

#include "data/Result.h"

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

Result<Counts> load(Database& file, pg::Connection& office);

} // namespace catalogueload
