#pragma once

#include "data/Result.h"
#include "ui/AppContext.h"

#include <QString>

// At start-up, when the data file does not open because it is damaged: the newest automatic
// copy that passes the check is offered in its place.
namespace startuprecovery {

// True when the user took the copy and it is now in the file's place (the file is to be opened
// again); the damaged file is kept among the copies. False, with nothing changed, otherwise.
bool offerCopy(AppContext& ctx, const QString& path, const Error& failure);

// The newest automatic copy opens without a personal password: a file that asked for one it
// never had is damaged, not locked.
bool newestCopyHasNoPassword(const QString& path);

} // namespace startuprecovery
