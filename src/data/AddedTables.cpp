#include "AddedTables.h"

#include "Database.h"

namespace addedtables {
namespace {

// One block per feature; each statement is idempotent.
const char* const kStatements =
    // The principals the agent works for: the companies the orders go to.
    "CREATE TABLE IF NOT EXISTS MANDANTE ("
    " ID INTEGER PRIMARY KEY AUTOINCREMENT,"
    " NOME TEXT NOT NULL UNIQUE COLLATE NOCASE,"
    " EMAIL TEXT);"
    // The lock after minutes without use: one row while it is on.
    "CREATE TABLE IF NOT EXISTS BLOCCO_INATTIVITA ("
    " ID INTEGER PRIMARY KEY CHECK (ID = 1),"
    " MINUTI INTEGER NOT NULL CHECK (MINUTI BETWEEN 1 AND 240));"
    // Statistics: the order lines of a span of order dates, with their customer (enough for the
    // customers to visit without reading the lines).
    "CREATE INDEX IF NOT EXISTS ORDINE_DATAO_CLIENTE ON ORDINE (DATAO, ID_CL);";

} // namespace

Status ensure(Database& db) {
    return db.exec(kStatements);
}

} // namespace addedtables
