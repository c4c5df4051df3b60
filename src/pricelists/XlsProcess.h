#pragma once

#include "SheetData.h"
#include "SheetFile.h"

#include "base/Result.h"

#include <QByteArray>
#include <QString>

// Reads a .xls file in a process of its own (gestione-leggixls, beside the program). libfreexl
// trusts the file: on a damaged one it may read past its own memory, crash or loop; here that
// costs only the reader's process. The program watches it: a reader that crashes, goes quiet
// for too long, takes too long in all or sends anything but its records is killed, and the
// file is reported damaged; nothing of what it sent is kept.
namespace pricelists {

// The reader's program, beside the running one.
QByteArray xlsReaderProgram();

// The file's first bytes and size are checked by the caller.
Result<Workbook> readXlsApart(const QString& path, const ReadLimits& limits,
                              ReadProgress* progress);

} // namespace pricelists
