#pragma once

#include "base/Result.h"

#include <QString>

// Where the order sheets and their PDFs are kept: the agent's documents folder,
// "Gestione Ordini/Ordini/<year>", one file per print that is never overwritten. A folder on that
// way the program cannot use (a link, not the user's, not writable) is refused and the same
// folders inside the user's home are used instead, so that no other user can stop the sheets.
namespace sheets::archive {

struct Folder {
    QString path;
    // Why the documents folder was refused, naming it; empty when it is used.
    QString refused;
};

// The year's folder under documents (else under home), made owner-only where missing.
Result<Folder> yearFolder(const QString& documents, const QString& home, const QString& year);
// The same for the user's own documents folder and home.
Result<Folder> yearFolder(const QString& year);

// The folder "Gestione Ordini/<name>" under documents (else under home), made owner-only where
// missing: the statistics' files go to "Statistiche".
Result<Folder> sectionFolder(const QString& documents, const QString& home, const QString& name);
Result<Folder> sectionFolder(const QString& name);

// "Ordine <year>-<nr>": the name of the files of an order, without extension.
QString baseName(const QString& year, const QString& number);

} // namespace sheets::archive
