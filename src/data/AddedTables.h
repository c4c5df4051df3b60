#pragma once

#include "base/Result.h"

class Database;

// Tables the program keeps beside the five of the register: contacts, principals, price lists,
// sendings, synchronisation, the texts of the order lines for the search. Each is made where a file
// lacks it, so a file of the earlier program or of an earlier version gains them at its first
// opening and loses nothing. They use only the engine's own functions and collations, so the
// `sqlcipher` client still reads the file.
namespace addedtables {

// Makes the missing tables and their indexes (idempotent), in the caller's transaction.
Status ensure(Database& db);

// Before many order lines are written at once (a conversion, a generated file): the triggers of
// the search's tables go, and the next ensure() makes them again after filling the tables from
// all the lines at once, far quicker than line by line. A file left so (the program killed
// meanwhile) has them filled at its next opening.
Status setAsideSearch(Database& db);

} // namespace addedtables
