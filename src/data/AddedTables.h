#pragma once

#include "base/Result.h"

class Database;

// Tables the program keeps beside the five of the register: contacts, principals, price lists,
// sendings, synchronisation, the texts of the order lines for the search. The file's version says
// which of them it has: a file of the earlier program or of an earlier version is brought up step
// by step at its first opening and loses nothing. They use only the engine's own functions and
// collations, so the `sqlcipher` client still reads the file.
namespace addedtables {

// The version of the added tables this program makes, kept in the file as its user_version. A
// file made before there were versions holds 0, whichever of the tables it has.
inline constexpr int kVersion = 1;

// The file's version (its user_version).
Result<int> version(Database& db);

// Refuses a file made by a newer program (a version above kVersion): its tables may hold what
// this program does not know. Only reads.
Status checkVersion(Database& db);

// Brings the file to kVersion: each step it lacks runs once, in a transaction of its own that
// also stores the version it reaches, so that a step cut short is run again whole. A file of a
// newer program is refused and left as it was.
Status upgrade(Database& db);

// A new file: every step, in the caller's transaction.
Status makeAll(Database& db);

// Makes the missing tables and their indexes (idempotent), in the caller's transaction. The
// first step runs it; a later change of the tables is a step of its own (what IF NOT EXISTS
// cannot bring: an index or trigger of another text, a moved value) beside its change here.
Status ensure(Database& db);

// Before many order lines are written at once (a conversion, a generated file): the triggers of
// the search's tables go, and the next ensure() makes them again after filling the tables from
// all the lines at once, far quicker than line by line. A file left so (the program killed
// meanwhile) has them filled at its next opening.
Status setAsideSearch(Database& db);

// At every opening, in the caller's transaction: the search's triggers made again where they
// went (set aside, or of an earlier text), with the search's tables filled again when one was
// missing. Nothing is written when they are all in place.
Status repairSearch(Database& db);

} // namespace addedtables
