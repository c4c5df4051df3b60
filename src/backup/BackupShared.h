#pragma once

#include "backup/Backup.h"
#include "base/Result.h"

#include <QDateTime>
#include <QDir>
#include <QString>

// What the copy, the check, the catalogue and the restore of copies share; for the backup
// folder's own files.
namespace backup::detail {

// The list of automatic copies in their folder: one line a copy, "<order>\t<moment>\t<name>",
// written by the program alone; the order of making counts, the moment says when.
inline constexpr const char* kRecordName = ".copie-automatiche";

// Makes `folder` (owner-only) when missing; fails when it is no folder or cannot be written.
Status makeFolder(const QString& folder);
// A write that failed with `err`, in words: a full disk apart.
Error writeFailure(int err);
// Waits until what was written to the file (or the folder) is on the disk.
Status onDisk(const QString& path);
// A free name in the folder for the copy of `when`, with `tail` before ".mdb".
QString freeName(const QString& databasePath, const QDir& dir, const QDateTime& when,
                 const QString& tail = {});
// Gives a copy its name in `folder` and waits for the folder on the disk.
Status renameInto(const QString& from, const QString& to, const QString& folder);
// Writes and checks a copy under a partial name; the check's failure in `damage` when the copy
// itself was written whole.
Result<QString> makeChecked(Database& db, const QString& folder, const QString& name, Check check,
                            Error* damage);

} // namespace backup::detail
