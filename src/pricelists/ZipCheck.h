#pragma once

#include "base/Result.h"

#include <QString>

#include <atomic>
#include <cstdint>

// The checks a zip archive (.xlsx, .ods) passes before the spreadsheet library reads it: it is
// a zip archive, it is whole (every part inflates with its checksum right), and what it inflates
// to stays within a bound, by the sizes it declares and by the bytes it really gives.
namespace pricelists {

struct ZipLimits {
    std::int64_t maxInflated = 256LL * 1024 * 1024;
    int maxEntries = 4000;
};

struct ZipFacts {
    // The workbook's relationships name parts by absolute names ("/xl/worksheets/…"): valid,
    // but the library then finds no sheet.
    bool absoluteTargets = false;
    // Cells hold their texts inline (t="inlineStr"): the library gives them no value.
    bool inlineStrings = false;
    // Cell elements of the sheets, as the sheets' own XML declares them (xlsx only).
    std::int64_t declaredValues = 0;
    // The most columns and rows one cell or row element stands for (ods only: an element may
    // repeat itself thousands of times, which the library builds one by one).
    std::int64_t mostColumnsRepeated = 0;
    std::int64_t mostRowsRepeated = 0;
};

// Bounds on the repeats of an .ods copy: cells further right, or rows further down, than these
// are not read anyway, so an element standing for more stands for these many.
struct RepeatBounds {
    std::int64_t columns = 0; // none when 0
    std::int64_t rows = 0;
};

// `kind` names the format in messages ("foglio Excel .xlsx").
Result<ZipFacts> checkArchive(const QString& path, const QString& kind, const ZipLimits& limits,
                              const std::atomic_bool* cancel);

// A copy of the workbook at `path` with its relationships made relative and its inline texts
// moved to the shared texts (xlsx), its repeats bounded (ods), written to `target`.
Status writeRepaired(const QString& path, const QString& target, const ZipLimits& limits,
                     const RepeatBounds& repeats = {});

} // namespace pricelists
