#pragma once

#include "base/Result.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

class Database;

// The orders changed in the file since they last went up, read in one snapshot of the file, their
// lines already in the text they travel to the server in.
namespace pendingread {

using Key = std::pair<QString, QString>;

struct Order {
    // The order's row in SYNC_ORDINE.
    std::int64_t row = 0;
    std::int64_t changes = 0;
    QString changedAt;
    std::int64_t version = 0;
    // None: the order was deleted here.
    int lines = 0;
    // What orderlines::fingerprint gives for its lines; a deleted order's own when it has none.
    QByteArray fingerprint;
};

struct Pending {
    std::map<Key, Order> orders;
    // The lines of the orders in COPY text, in pieces of about a megabyte: year, number, the
    // line's place in its order from 1, then its fields.
    std::vector<QByteArray> lines;
};

// Reads the orders and their lines: each order's own lines when few are pending, otherwise one
// pass over all the file's lines in the order they were written.
Status read(Database& db, Pending& out);

} // namespace pendingread
