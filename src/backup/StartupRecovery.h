#pragma once

#include "base/Result.h"
#include "data/FileKey.h"
#include "ui/AppContext.h"

#include <QString>

#include <optional>

// At start-up, when the data file is shown to be damaged: the newest automatic copy that passes
// the check is offered in its place. A file under a password that was not given is no damaged
// file, and gets no offer.
namespace startuprecovery {

// Whether the failure to open is the file's damage (rather than a key not given).
bool damaged(const Error& failure);

// For a file damaged under `key`, only copies under the same key are offered: a copy never
// takes the place of a file under another key. For a file that is no encrypted database at all
// (its key unknown), the newest copy tells the key, its password asked when it has one.
// The key to open the file with when the user took the copy and it is now in the file's place;
// the damaged file is kept among the copies. Nothing, with nothing changed, otherwise.
std::optional<FileKey> offerCopy(AppContext& ctx, const QString& path, const Error& failure,
                                 const std::optional<FileKey>& key);

} // namespace startuprecovery
