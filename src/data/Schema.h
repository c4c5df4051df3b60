#pragma once

#include "base/Result.h"

#include <QByteArray>
#include <QString>

class Database;

// The database file of the program: its name, its password and its tables.
namespace schema {

inline constexpr const char* kFileName = "Ordine.mdb";
QByteArray password();

// Makes the five tables and their indexes in a new, empty file, with the added tables at this
// program's version (the database tool and the files the program makes itself).
Status create(Database& db);
// Adds the indexes the program's reads rely on where a file lacks them (idempotent), and brings
// the tables it keeps beside the five to this program's version (addedtables::upgrade).
Status ensureIndexes(Database& db);
// The file holds the five tables with the columns the program uses, in their order, and was not
// made by a newer program. Only reads.
Status verify(Database& db);
// A file just opened, readied for the program as its start-up does: found to be the program's
// (verify: a file refused is left as it was), narrowed to its owner, then given what this
// version adds (ensureIndexes).
Status prepareOpened(Database& db);

// The condition that an order number text is one the numbering can read: the digits of a whole
// number from 1 to 32767. Shared by the index of unreadable numbers and the query that uses it.
inline constexpr const char* kReadableNumber =
    "(NR GLOB '[0-9]*' AND NOT NR GLOB '*[^0-9]*' AND length(NR) <= 5 "
    "AND CAST(NR AS INTEGER) BETWEEN 1 AND 32767)";

} // namespace schema
