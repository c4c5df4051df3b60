#pragma once

#include "FileKey.h"
#include "base/Result.h"

#include <QString>

#include <memory>

class Database;

// Changing the key of a database file without ever risking it: the database is written anew
// under the new key beside the file (the engine's export into an attached database), checked,
// waited for on the disk, and only then renamed over the file, which is one step for the disk.
// A program killed at any moment leaves one whole file, under the old key or under the new one;
// the half-written new one is removed at the next start.
namespace rekey {

// The new file written beside the database while its key changes.
QString workFile(const QString& databasePath);
// Removes the new file an interrupted change left behind; the database itself is untouched.
void removeLeftover(const QString& databasePath);

// Writes the database open in `from` into a new owner-only file at `target`, encrypted with
// `key`, and checks it: it opens with the key, the engine finds it whole, it holds the program's
// tables and every table has as many rows as in `from`. Waited for on the disk. A file that
// fails is removed.
Status exportTo(Database& from, const QString& target, const FileKey& key);

// Puts the open database under `key`. `connection` is open again afterwards: on the file under
// the new key, or, when anything failed, on the file as it was (then the error is given).
Status changeKey(std::unique_ptr<Database>& connection, const FileKey& key);

// The same for a file no program has open, found under `from`.
Status changeKey(const QString& path, const FileKey& from, const FileKey& to);

} // namespace rekey
