#pragma once

#include "Pg.h"
#include "base/Result.h"

class Database;

// The agency server's settings, kept in the database. The agent's password on the server is never
// among them: it is kept where the secrets are (secrets::Vault), and load() leaves it empty.
namespace syncsettings {

struct Settings {
    pg::Settings server;
    // Minutes between automatic syncs; 0: only at start and on "Sincronizza".
    int minutes = 15;
};

// None when the file has no server set.
Result<std::optional<Settings>> load(Database& db);
// Checks the values and stores them; an Italian message names what is wrong.
Status save(Database& db, const Settings& settings);

} // namespace syncsettings
