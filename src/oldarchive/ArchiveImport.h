#pragma once

#include "base/Result.h"
#include "data/FileKey.h"
#include "oldarchive/jet/Archive.h"

#include <QList>
#include <QString>

// A new file of the program made from the archive of the earlier program: every row of its five
// tables, with the values converted to this program's storage and the IDs kept.
namespace archiveimport {

struct Copied {
    QString table;
    int rows = 0;
    int leftOut = 0;
};

struct LeftOut {
    QString table;
    // The row's ID (the year for ANNO), as the archive holds it.
    QString id;
    QString reason;
};

struct Report {
    QList<Copied> tables;
    QList<LeftOut> leftOut;
    // The file beside the new one that lists what was left out.
    QString reportPath;
};

struct Placing {
    // The bytes of the new file's name, when they are not those of `target` (a name that is
    // not UTF-8, which `target` cannot hold).
    QByteArray nativeTarget;
    // When set, `target` is the archive itself: the new file takes its name only once it is
    // whole, and the archive keeps its bytes under this name beside it.
    QString keepExistingAs;
    // The key of the new file: a personal password puts it under that before it takes its name,
    // so that no file readable with the built-in key is ever left at `target`.
    FileKey key = FileKey::builtIn();
};

// Makes `target` (never overwriting a file) from the archive's tables. The new file is made
// under a hidden name beside it, checked (the engine's full check and the rows of each table)
// and given its name only then: a kill at any moment leaves no file at `target`, or the whole
// one. A row that cannot be stored is left out and listed with its reason in a report beside
// the new file (under a free name); anything else that goes wrong leaves nothing and is the
// error.
Result<Report> run(jet::Archive& archive, const QString& target, const QString& sourceName,
                   const Placing& placing = {});
// The same from a Jet file, opened read-only.
Result<Report> fromJetFile(const QString& jetPath, const QString& target,
                           const Placing& placing = {});

// The report file's first choice of name beside a new file.
QString reportPathFor(const QString& target);
// What the tool prints: one line for each table, then the rows left out.
QString summary(const Report& report);

} // namespace archiveimport
