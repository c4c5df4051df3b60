// The sheet-name cleaner on any text: what it leaves holds none of the characters a sheet name
// (and the file saved under it) cannot hold, is cleaned already, and once cut to the 31
// characters of a sheet name is a name the workbook's only sheet accepts unless an apostrophe
// begins or ends it or nothing is left.

#include "FuzzCheck.h"
#include "sheets/TableExport.h"
#include "sheets/Workbook.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString name = fuzzText(data, size);
    const QString clean = tableexport::cleanSheetName(name);
    for (const QChar c : clean)
        FUZZ_CHECK(!QStringLiteral(":\\/?*[]").contains(c), name);
    FUZZ_CHECK(tableexport::cleanSheetName(clean) == clean, name);
    const QString cut = clean.left(31);
    FUZZ_CHECK(cut.size() <= 31, name);
    sheets::Workbook wb;
    // The workbook's own first sheet: a second one would rightly be refused the first's name.
    sheets::Sheet& sheet = wb.sheet(0);
    const Status renamed = wb.rename(sheet, cut);
    const bool refusable =
        cut.isEmpty() || cut.startsWith(QLatin1Char('\'')) || cut.endsWith(QLatin1Char('\''));
    FUZZ_CHECK(renamed.ok() || refusable, name + QStringLiteral(" -> ") + renamed.error().text);
    if (renamed.ok())
        FUZZ_CHECK(sheet.name() == cut, name);
    return 0;
}
