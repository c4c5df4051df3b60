#pragma once

#include "Database.h"
#include "base/Result.h"

#include <QString>

#include <optional>

// Why an action cannot be done, in the words of the box that tells the user; nothing when it
// can be done. A refusal is no failure: the database is fine, the action just must not happen.
using Refusal = std::optional<QString>;

// Runs `check` and, when it refuses nothing, `write`, in one transaction: what was checked is
// what gets written. On a refusal nothing is stored.
template <class Check, class Write>
Result<Refusal> guardedWrite(Database& db, Check check, Write write) {
    Refusal refusal;
    Status s = db.write([&]() -> Status {
        Result<Refusal> r = check();
        if (!r)
            return r.error();
        refusal = *r;
        if (refusal)
            return {};
        return write();
    });
    if (!s)
        return s.error();
    return refusal;
}
