#pragma once

#include "Dialogs.h"
#include "data/Database.h"
#include "data/FileKey.h"

#include <QString>

#include <memory>

// Asking for the personal password of a database file: at start-up, and for a copy being
// restored. The built-in key is always tried first; the password is asked only for a file that
// does not open with it and looks like a database under another key. Three tries.
namespace keyprompt {

// The code of the error when the password was not given or was wrong three times; its text is
// the box that says so, left to the caller, who may first offer a copy of a damaged file.
inline constexpr int kGivenUp = -2;

// The file's first bytes and size are those of a database encrypted by the engine (not a plain
// database, not a short or odd-sized file).
bool looksEncrypted(const QString& path);

// Opens the database at `path` for the program: with the built-in key, else with the personal
// password asked as "Password personale". A file that does not open with a password typed is
// under another one, never taken for damaged, unless its pages show it: a file whose other pages
// carry the seal of the built-in key (asked no password) or of the password typed is damaged
// under that key, which goes into `damagedUnder`; the error is then the engine's "damaged".
Result<std::unique_ptr<Database>> openAsking(Dialogs& dialogs, const QString& path,
                                             std::optional<FileKey>* damagedUnder = nullptr);

// The key a copy at `path` opens with: `current`, the built-in key, or a password asked.
Result<FileKey> keyOfCopy(Dialogs& dialogs, const QString& path, const FileKey& current,
                          const QString& title);

} // namespace keyprompt
