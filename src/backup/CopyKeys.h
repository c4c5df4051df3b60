#pragma once

#include "base/Result.h"
#include "data/FileKey.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

class Database;

// The copies the program made of the database, put under the file's new key with it: every
// automatic copy in the folder beside the file and every copy kept there as damaged, each by the
// same checked export and swap as the file itself (rekey::changeKey), so that a program killed
// meanwhile leaves each copy whole under its old key or its new one. The work file an
// interrupted change leaves beside a copy goes with the copies' other leftovers at start.
namespace copykeys {

struct Outcome {
    // Now under the new key (or already were).
    QStringList changed;
    // Under a key the program does not have (another personal password): left as they are.
    QStringList otherKey;
    // Left under their old key, with why.
    QList<std::pair<QString, QString>> failed;
    // Some copy is still under the program's built-in key.
    bool builtInLeft = false;
};

// The program's copies in the copies' folder of `databasePath`, by name.
QStringList programCopies(const QString& databasePath);

// Puts every program copy under `from` (or under the built-in key) under `to`.
Outcome changeAll(const QString& databasePath, const FileKey& from, const FileKey& to);

// The file remembers, from before its key changes until every copy has followed, that copies
// under the built-in key may remain: a change cut short is taken up at the next start.
Status markPending(Database& db);
Status clearPending(Database& db);
bool pending(Database& db);

} // namespace copykeys
