#pragma once

#include "OrderLines.h"
#include "base/Result.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <vector>

class Database;

namespace pg {
class Connection;
}

// The copies the server keeps of an order changed on two machines of the agent: the version that
// lost, whole. The agent may take a copy back as the order, or dismiss it.
namespace conflictcopies {

struct Copy {
    std::int64_t id = 0;
    QString anno;
    QString nr;
    // When that version of the order was written, and on which machine (empty when unknown).
    QDateTime changedAt;
    QString machine;
    std::vector<orderlines::Line> lines;
};

// The agent's copies, oldest first.
Result<std::vector<Copy>> list(pg::Connection& server);

// The copy becomes the order in the file, as a change made now: the next sync sends it and it
// wins over the server's version. The copy then leaves the server.
Status take(Database& db, pg::Connection& server, const Copy& copy);

// The copy leaves the server; the order stays as it is.
Status dismiss(pg::Connection& server, std::int64_t id);

} // namespace conflictcopies
