#pragma once

#include "base/Result.h"
#include "data/Refusal.h"

#include <QString>

#include <cstdint>
#include <optional>

class Database;

// The customer register in the database: the list, and the insert, modify and delete of one
// customer with the rules that keep the orders reachable.
namespace customers {

// The list of the panel: the key first, then the columns in the order the list shows them.
inline constexpr const char* kList = "SELECT ID, CODICE, SOGGETTO, CITTA, PROVINCIA FROM CLIENTE "
                                     "ORDER BY SOGGETTO COLLATE ITALIANO, ID;";

// A customer as the fields of the panel hold it; every value is stored as typed.
struct Customer {
    QString code;
    QString name;
    QString town;
    QString province;
};

// The checks an action must pass, run before the user is asked to confirm it. The writes below
// run them again inside their transaction, so what is checked is what is written.
// `id` is the customer last clicked in the list; no value when no valid row was ever clicked.
Result<Refusal> checkInsert(Database& db, const Customer& customer);
Result<Refusal> checkModify(Database& db, std::optional<std::int64_t> id, const Customer& customer);
Result<Refusal> checkDelete(Database& db, std::optional<std::int64_t> id);

// Each write stores everything or nothing; on a refusal nothing is stored.
Result<Refusal> insert(Database& db, const Customer& customer);
Result<Refusal> modify(Database& db, std::optional<std::int64_t> id, const Customer& customer);
Result<Refusal> remove(Database& db, std::optional<std::int64_t> id);

// The orders (year and number) whose lines carry the customer code.
Result<int> countOrders(Database& db, const QString& code);

} // namespace customers
