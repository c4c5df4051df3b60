#pragma once

#include "base/Result.h"

#include <QString>

namespace pg {
class Connection;
}

// The agency server's tables, roles and rules, made and brought up to date by the program's own
// steps; each step runs once, in one transaction, and is recorded in VERSIONE_SCHEMA.
namespace serverschema {

// The version the program's steps bring a server to.
int currentVersion();

// Brings the server's database to the current version. Run by the office's administrator (a
// login that may create roles). Returns the version the database was at before.
Result<int> migrate(pg::Connection& admin);

// The version the server's database is at; 0 when it has none of the program's tables.
Result<int> version(pg::Connection& c);

// Whether an agent's program may work with the server's database: made by the office, and at
// no version newer than the program's own steps know (a newer one may hold what this program
// would undo). Read before anything is written.
Status usable(pg::Connection& c);

// Makes an agent's login for a name that is no role on the server yet: it sees and writes only
// its own orders and reads the office's catalogue. For a login the program made as an agent
// (of this agency, or of another on the same server), gives it the new password and this
// agency instead (`passwordChanged`: it was this agency's already). Any other role of that name
// (the administrator, the database's groups, a role made by hand) is refused, naming it, and
// left as it is.
Status createAgent(pg::Connection& admin, const QString& name, const QString& password,
                   bool* passwordChanged = nullptr);

// The names a login may have: letters, digits and underscore, starting with a letter, at most
// 40 characters. Empty when the name is good, otherwise why not.
QString checkLoginName(const QString& name);

} // namespace serverschema
