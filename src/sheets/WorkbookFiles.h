#pragma once

#include "base/Result.h"

#include <QString>

#include <functional>

// Where workbooks go on disk, and how they get there without harm: a workbook is written to a
// temporary file beside its destination and then renamed over it, so a failed write leaves an
// earlier file as it was and never a half-written one.
namespace sheets {

class Workbook;

// Saves the workbook as path, replacing an earlier file there.
Status saveWorkbook(Workbook& wb, const QString& path);

// Writes the file at path in that way: `write` fills the temporary file (given its path, the
// file closed); it is then made owner-only and renamed over path, or removed when anything
// failed. `what` begins the message of a failure of the temporary file or of the rename.
Status replaceFile(const QString& path, const QString& what,
                   const std::function<Status(const QString& tempPath)>& write);

// Whether the disk that holds path's folder has less than a megabyte left.
bool diskNearlyFull(const QString& path);

// Takes a name not yet taken in dir: base + ext (".xlsx"), else base + " (2)" + ext and so on,
// made as an empty owner-only file so that no other writer takes it meanwhile. The path.
Result<QString> claimNewName(const QString& dir, const QString& base, const QString& ext);

// Saves the workbook under a name not yet taken in dir: base + ".xlsx", else base + " (2).xlsx"
// and so on. Returns the path written; an earlier file is never replaced.
Result<QString> saveAsNew(Workbook& wb, const QString& dir, const QString& base);

// The Italian description of a system error number.
QString describeSystemError(int err);

} // namespace sheets
