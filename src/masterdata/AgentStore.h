#pragma once

#include "base/Result.h"
#include "data/Refusal.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

class Database;

// The agent's own details: the one row of UTENTE, which heads every order sheet.
namespace agent {

struct Agent {
    QString name;
    QString street;
    QString postCode;
    QString town;
    QString province;
};

struct Stored {
    std::int64_t id = 0;
    Agent agent; // an empty column reads as empty text
};

// The access code that opens the agent panel.
inline constexpr int kAccessCode = 7391;
// The typed code, read as a number (blanks around it and leading zeros do not matter), is the
// access code.
bool isAccessCode(const QString& typed);

// The first row of UTENTE; no value when the table is empty.
Result<std::optional<Stored>> load(Database& db);

// Run before the user is asked to confirm; save runs it again in its transaction. `id` is the
// row that was loaded; no value when none is held.
Result<Refusal> checkSave(Database& db, std::optional<std::int64_t> id);
// Writes the details into the row `id`; never adds a row.
Result<Refusal> save(Database& db, std::optional<std::int64_t> id, const Agent& agent);
// The same, with `alsoWrite` (the details kept beside the register) in the same transaction.
Result<Refusal> save(Database& db, std::optional<std::int64_t> id, const Agent& agent,
                     const std::function<Status()>& alsoWrite);

} // namespace agent
