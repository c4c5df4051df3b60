#pragma once

#include "base/Result.h"
#include "ui/AppContext.h"

#include <QString>

// The opening of the database at start: the offer to convert the old program's archive, the
// password asked, a damaged file offered its newest good copy, and the file checked to be the
// program's before anything is written into it. A failure has been told in a box when it
// returns; the program then ends.
namespace startup {

Status openFile(AppContext& ctx, const QString& path);

} // namespace startup
