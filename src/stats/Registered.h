#pragma once

#include "base/Result.h"

#include <QString>

#include <string>
#include <unordered_map>

class Database;

// The customers of the register named by the codes of the order lines: for each code, its first
// customer (lowest ID), as the register's own lists show it. No widgets here.
namespace stats {

struct Registered {
    QString name;
    QString town;
    QString province;
};

// The codes asked for (the keys of `found`, each with an empty entry) filled in from the
// register; the codes it does not hold are taken out.
Status fillRegistered(Database& db, std::unordered_map<std::string, Registered>& found);

} // namespace stats
