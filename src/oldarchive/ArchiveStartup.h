#pragma once

#include "ui/AppContext.h"

#include <QString>

// At start-up, before the data file at `path` is opened: a Jet file of the earlier program is
// told and its conversion offered. False when the program must end (the user was told why);
// true to go on opening the file, converted or not.
namespace archivestartup {

bool offerConversion(AppContext& ctx, const QString& path);

// The name the old file keeps beside the new one.
QString keptName();

} // namespace archivestartup
