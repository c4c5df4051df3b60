#pragma once

#include "SheetData.h"
#include "ZipCheck.h"

#include "base/Result.h"

#include <QByteArray>
#include <QString>

#include <atomic>

// Reads a price list's spreadsheet: .xlsx and .ods through liborcus (after the archive's
// checks), .csv through liborcus's CSV parser (semicolons, tabs or commas, a byte-order mark,
// UTF-8 or the Windows code page), .xls turned into an .xlsx by LibreOffice where it is
// installed (see XlsConvert.h), else through libfreexl in a process of its own (see
// XlsProcess.h), which gives no result of a formula. The format is the one the file's name
// says; a file whose content is another is refused.
namespace pricelists {

struct ReadLimits {
    ZipLimits zip;
    // Rows of one sheet; a longer sheet is refused whole.
    int maxRows = 200000;
    // Columns read from each row; those further right are left aside.
    int maxColumns = 64;
    // Bytes of a .csv or .xls file.
    std::int64_t maxFileBytes = 128LL * 1024 * 1024;
    // Bytes the .xls reader's process may send for one file (about the cells' texts).
    std::int64_t maxXlsOutput = 256LL * 1024 * 1024;
    // How long the .xls reader's process may go without sending anything, and take in all.
    int xlsQuietMs = 30000;
    int xlsTotalMs = 600000;
    // The .xls reader's program; empty for the one beside the running program.
    QByteArray xlsProgram;
    // The office suite that turns a .xls into an .xlsx with its formulas' results (LibreOffice);
    // empty for "soffice" where the system finds it. How long its conversion may take.
    QByteArray officeProgram;
    int officeTotalMs = 120000;
};

// Shared with the thread that reads: how far the reading is, and whether to stop.
struct ReadProgress {
    std::atomic_int percent{0};
    std::atomic_bool cancel{false};
};

enum class FileKind { Xlsx, Ods, Csv, Xls, Unknown };
FileKind kindOf(const QString& path);

// `workDir` is a private folder for a repaired copy of the workbook, or the conversion of a
// .xls, when one is needed.
Result<Workbook> readWorkbook(const QString& path, const QString& workDir,
                              const ReadLimits& limits = {}, ReadProgress* progress = nullptr);

} // namespace pricelists
