#pragma once

#include "FileKey.h"
#include "base/Result.h"

#include <QByteArray>

#include <functional>
#include <memory>

class Database;

// A database file replaced by another while the program has it open (a restore, a change of
// key): the new file takes the old one's name in one step, the connection moves to it, and
// when anything fails the connection is on the old file again.
namespace inplace {

// Opens the connection the caller keeps on the file, under a key.
using OpenDatabase = std::function<Result<std::unique_ptr<Database>>(const FileKey& key)>;

// Puts the finished file `work` at `target` (the file open in `connection`, the path the
// connection names or the file it leads to) and opens the connection on it under `newKey`
// through `open`. The connection must hold the file alone (Database::holdAlone): it stays open,
// keeping every other program out of the old file, until the new one is open in its place.
// With a `keep` name the old file keeps its bytes under it until then, and is put back when the
// new file does not open; without one the old file goes at the rename. Afterwards `connection`
// is open on the new file, or, when anything failed before the rename or the old file could be
// put back, on the old one (then the error is given).
Status replaceOpen(std::unique_ptr<Database>& connection, const QByteArray& work,
                   const QByteArray& target, const QByteArray& keep, const FileKey& newKey,
                   const OpenDatabase& open);

} // namespace inplace
