#pragma once

#include "base/Result.h"

#include <QString>
#include <QStringList>

#include <cstdint>

class Database;

namespace pg {
class Connection;
}

// Synchronisation of the agent's file with the agency's server. One writer per kind of row: the
// agent's orders go up, the office's catalogue, principals and price lists come down. Each
// direction is one transaction on the server and one in the file; a sync cut anywhere leaves both
// whole, and the next one finishes it, each change applied once.
namespace agencysync {

struct Report {
    int ordersSent = 0;
    int ordersReceived = 0;
    int articlesReceived = 0;
    int principalsReceived = 0;
    // Prices of the office's lists taken, withdrawn ones included.
    int pricesReceived = 0;
    // The agent's customers sent, the office's taken, the requests sent to the office.
    int customersSent = 0;
    int customersReceived = 0;
    int requestsSent = 0;
    // Orders changed on two machines: which version was kept, in words for the agent.
    QStringList conflicts;
    // Orders the server refused, each named with the server's reason; they stay to be sent.
    QStringList refused;
};

// Starts counting the file's changes to orders, once; every order already there is pending.
Status enable(Database& db);
bool enabled(Database& db);

// Sends the orders changed since they last went up.
Status push(Database& db, pg::Connection& server, Report& report);
// Takes the office's changes since the last pull, and the agent's orders changed elsewhere.
Status pull(Database& db, pg::Connection& server, Report& report);
// Both, in that order.
Result<Report> run(Database& db, pg::Connection& server);

// Orders waiting to go up.
Result<std::int64_t> pendingOrders(Database& db);
// When the last sync completed (UTC, ISO form), empty when never.
QString lastSync(Database& db);

} // namespace agencysync
