#pragma once

#include "data/Result.h"

#include <QString>

// Where workbooks go on disk, and how they get there without harm: a workbook is written to a
// temporary file beside its destination and then renamed over it, so a failed write leaves an
// earlier file as it was and never a half-written one.
namespace sheets {

class Workbook;

// The user's own folder for sheets that are shown but not saved: a folder of the system's
// temporary directory that only this user may enter. Made when missing; refused when it is not
// a plain folder of this user's.
Result<QString> privateTempFolder();

// Saves the workbook as path, replacing an earlier file there.
Status saveWorkbook(Workbook& wb, const QString& path);

// Saves the workbook under a name not yet taken in dir: base + ".xlsx", else base + " (2).xlsx"
// and so on. Returns the path written; an earlier file is never replaced.
Result<QString> saveAsNew(Workbook& wb, const QString& dir, const QString& base);

// The Italian description of a system error number.
QString describeSystemError(int err);

} // namespace sheets
