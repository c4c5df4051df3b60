#pragma once

#include "base/Result.h"
#include "data/FileKey.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

class Database;

// Copies of the database file: written from the open connection while the program runs (the
// file's bytes, or the engine's online backup; same key and cipher settings), each checked
// before it counts.
namespace backup {

// How many automatic copies are kept.
inline constexpr int kKeep = 10;

// What a copy holds, shown before it is restored.
struct Contents {
    qint64 customers = 0;
    qint64 articles = 0;
    // Orders, not lines: each year and number once.
    qint64 orders = 0;
    QDate lastOrder;
};

// The folder of the automatic copies: `backup` beside the data file.
QString automaticFolder(const QString& databasePath);
// The name of a copy of the data file made at `when`: "Ordine_2026-12-08_10-30-15.mdb".
QString copyName(const QString& databasePath, const QDateTime& when);

// How thoroughly the engine looks at a copy.
enum class Check {
    // Every page and record, and every index against its table.
    Full,
    // Every page and record; the indexes are not matched against their tables.
    Quick,
};

// The engine's online backup of the open database into a new file at `path` (owner-only), with
// the same key and cipher settings; unchecked. The file must not exist.
Status onlineCopy(Database& db, const QString& path);
// The bytes of the database file into a new file at `path` (owner-only), taken inside a read
// transaction that keeps every other connection from changing the file: the file is already
// encrypted with the program's key and settings. False, with nothing written, when the journal
// lets the file change under a reader (the write-ahead log holds pages not yet in it) or the
// read does not start; unchecked, and not yet waited for on the disk (copyInto waits).
Result<bool> fileCopy(Database& db, const QString& path);
// The bytes of the file at `from` into a new owner-only file at `to`, waited for on the disk; a
// copy that fails is removed.
Status copyFile(const QString& from, const QString& to);
// A copy of the open database into a new file at `path`: the file's bytes when they are one
// moment of the database, else the engine's online backup; unchecked.
Status copyOf(Database& db, const QString& path);
// Writes a copy of the open database into `folder` (made, owner-only, when missing), checks it
// and gives its path. A copy that fails is removed; no other file is touched.
Result<QString> copyInto(Database& db, const QString& folder, const QDateTime& when,
                         Check check = Check::Full);
// The copy opens with the program's password, the engine finds it whole and it holds the five
// tables; what it holds. A copy that is not whole is told in Italian, an index out of step apart.
Result<Contents> verify(const QString& path, Check check = Check::Full);
// The same for a copy under `key`: copies keep the key of the file they were made from.
Result<Contents> verify(const QString& path, const FileKey& key, Check check = Check::Full);

// The automatic copies of the data file in the folder, in the order they were made (oldest
// first): those the program recorded in the folder's list when it made them, still there. A copy
// the user put in the folder, or a name alone, is never one of them.
QStringList copies(const QString& databasePath, const QString& folder);
// The moment the newest automatic copy was made, as recorded then; invalid when there is none.
QDateTime newest(const QString& databasePath, const QString& folder);
// Adds a copy just made to the folder's list of automatic copies, stamped `when`.
Status record(const QString& folder, const QString& copy, const QDateTime& when);
// Removes the oldest automatic copies beyond `keep`, by their order of making; never `keep`'s
// newest, nor those in `spare` (the copy just made, the copy being restored). Call only after a
// new copy was verified.
void rotate(const QString& databasePath, const QString& folder, int keep = kKeep,
            const QStringList& spare = {});

// An automatic copy: into the folder beside the file, fully checked as a restore checks it,
// recorded, then the rotation.
Result<QString> automaticCopy(Database& db, const QDateTime& when);
// Whether the start-up copy is due: the newest copy is a day old, or was made at a moment still
// to come (the clock was ahead then, or is behind now), or there is none.
bool startupCopyDue(const QString& databasePath, const QDateTime& now);

// The current file saved before a restore replaces it: a checked automatic copy, or, when the
// file itself fails the check, the copy kept all the same under a name that says it is damaged.
struct Saved {
    QString path;
    // Why the copy is damaged; empty when it passed.
    QString damage;
};
// The rotation that follows spares `restored`, the copy about to take the file's place.
Result<Saved> saveBeforeRestore(Database& db, const QDateTime& when, const QString& restored);

// A file that does not open put aside and the checked copy at `staged` put in its place, when no
// connection has the file open: the file as it was, byte for byte, goes into the automatic
// folder under a name that says it is damaged; its path.
Result<QString> replaceUnopened(const QString& databasePath, const QString& staged,
                                const QDateTime& when);

// The check of a copy about to be restored: the full one; a copy whose only fault is an index
// out of step with its table gets its indexes rebuilt (the copy is ours to write) and is checked
// again.
Result<Contents> verifyMending(const QString& path, const FileKey& key = FileKey::builtIn());

// The file the database path names: the target of a symbolic link, else the path itself.
QString realFile(const QString& databasePath);
// The names of the restore's own files beside the real file: the copy being put in place and the
// file as it was, kept until the copy is open.
QString stagedName(const QString& databasePath);
QString heldName(const QString& databasePath);
// What copies and restores cut short left behind: partial copies in the automatic folder and
// the work files of copies whose key was changing, the restore's staged copy. The restore's held
// file is put back when the database file lacks its name, else removed.
void removeLeftovers(const QString& databasePath);

} // namespace backup
