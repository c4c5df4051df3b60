#pragma once

#include "Result.h"

class Database;

// Tables the program keeps beside the five of the register: contacts, principals, price lists,
// sendings, synchronisation, the texts of the order lines for the search. Each is made where a file
// lacks it, so a file of the earlier program or of an earlier version gains them at its first
// opening and loses nothing. They use only the engine's own functions and collations, so the
// `sqlcipher` client still reads the file.
namespace addedtables {

// Makes the missing tables and their indexes (idempotent), in the caller's transaction.
Status ensure(Database& db);

} // namespace addedtables
