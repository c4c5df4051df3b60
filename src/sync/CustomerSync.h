#pragma once

#include "Pg.h"
#include "base/Result.h"

class Database;

namespace agencysync {
struct Report;
}

// Customers through the agency's server. A customer belongs to whoever made it: the agent's own
// new, changed and deleted customers go up, the office's come down and stay read-only here; an
// agent's change to an office customer goes up as a request the office decides on. Like the
// orders, each direction is one transaction on each side, and a sync cut anywhere is completed
// by the next one, each change counted once.
namespace customersync {

// Sends the agent's changed customers and the requests not yet sent. The first time, every
// customer of the file is the agent's and goes up.
Status push(Database& db, pg::Connection& server, agencysync::Report& report);

// What changed since the pull's last view (`since`, bound as $1 the way the pull binds it), read
// inside the pull's own view of the server: the office's customers and the agent's own (written
// by its other machines), and the answers to this agent's requests. A server without customers
// gives no rows.
Status read(Database& db, pg::Connection& c, const pg::Params& since, pg::Rows& customers,
            pg::Rows& requests);

// Inside the pull's transaction of the file: the office's customers become read-only customers
// here, a customer of the agent with the code of an office customer becomes that one; the
// agent's own from its other machines become its customers here.
Status apply(Database& db, const pg::Rows& customers, const pg::Rows& requests,
             agencysync::Report& report);

} // namespace customersync
