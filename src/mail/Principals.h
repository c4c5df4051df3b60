#pragma once

#include "base/Result.h"

#include <QList>
#include <QString>

#include <cstdint>

class Database;

// The principals ("Mandanti") the orders are sent to: a name and the e-mail for orders. One is
// deleted only while no price list and no order relies on it.
namespace mail::principals {

struct Principal {
    std::int64_t id = 0;
    QString name;
    QString email;
};

// All of them, by name.
Result<QList<Principal>> list(Database& db);
// What is wrong in the name or the address, or nothing.
Status check(const Principal& p);
// Stores a new one (id 0) or changes the one of that id; refuses a name another one has.
Result<std::int64_t> save(Database& db, const Principal& p);
// Deletes it, or refuses naming what relies on it.
Status remove(Database& db, std::int64_t id);

} // namespace mail::principals
