#pragma once

#include "Result.h"
#include "jet/Archive.h"

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

// Makes `target` (never overwriting a file) from the archive's tables. A row that cannot be
// stored is left out and listed with its reason; anything else that goes wrong removes the new
// file and is the error.
Result<Report> run(jet::Archive& archive, const QString& target, const QString& sourceName);
// The same from a Jet file, opened read-only.
Result<Report> fromJetFile(const QString& jetPath, const QString& target);

// The report file's name beside a new file.
QString reportPathFor(const QString& target);
// What the tool prints: one line for each table, then the rows left out.
QString summary(const Report& report);

} // namespace archiveimport
