#pragma once

#include "base/Result.h"
#include "data/FileKey.h"

#include <QString>

class Database;

// The database tool: makes the file that ships with the program.
namespace makedb {

struct Agent {
    QString name = QStringLiteral("AGENTE");
    QString street;
    QString postCode;
    QString town;
    QString province;
};

struct Making {
    // Fills the new file with the demo data set (fillDemo) as well.
    bool demo = false;
    // The bytes of the file's name, when they are not those of `path` (a name that is not
    // UTF-8, which `path` cannot hold).
    QByteArray nativePath;
};

// A new encrypted file with the five tables, the years around `currentYear` in ANNO and the
// agent's row. Refuses to overwrite an existing file. The file is made under a hidden name and
// gets its own only when whole.
Status makeSupplied(const QString& path, int currentYear, const Agent& agent,
                    const Making& making = {});
// Adds a year to ANNO of an existing file; a year already there is left as it is.
Status addYear(const QString& path, int year);
// The same for a file under a personal password.
Status addYear(const QString& path, int year, const FileKey& key);
// Fills a file made by makeSupplied with a demo data set (customers, articles and two years of
// orders), for trying the program.
Status fillDemo(Database& db, int currentYear);

} // namespace makedb
