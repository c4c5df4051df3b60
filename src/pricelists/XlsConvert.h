#pragma once

#include "SheetFile.h"

#include "base/Result.h"

#include <QString>

#include <optional>

// A .xls turned into an .xlsx by LibreOffice (headless, with a profile of its own in a private
// folder, within a time limit), so that the results its formulas store are read: libfreexl gives
// none. Where it cannot be, the reason, for the list read without them.
namespace pricelists {

struct Converted {
    // The .xlsx written; empty when there is none.
    QString xlsx;
    // The folder of the conversion, LibreOffice's profile included: the caller removes it.
    QString folder;
    // Why there is none ("LibreOffice non è installato", …).
    QString why;
    bool cancelled = false;
};

// The .xlsx goes in a new folder under `workDir`.
Converted convertXls(const QString& path, const QString& workDir, const ReadLimits& limits,
                     ReadProgress* progress);

} // namespace pricelists
