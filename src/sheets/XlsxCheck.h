#pragma once

#include "base/Result.h"

#include <QString>

#include <vector>

// Reads a written .xlsx back before it is called done: the workbook library writes its parts
// through work files and does not report their write errors, so a full disk gives a file that
// looks written but holds cut-short parts.
namespace sheets {

// Every part of the archive is checked against its size and checksum, every XML part must end
// with the closing tag of its first element (a work file cut short ends anywhere else), and
// worksheet i (in workbook order) must reach at least row
// lastRows[i] (1-based; 0 for a sheet without rows). False, with the reason, otherwise.
Status checkXlsx(const QString& path, const std::vector<int>& lastRows);

// The archive alone, without inflating its parts: its end record, its index, and at the offset
// of each part the part's own header with its name and its packed bytes, which end before the
// next part begins. A file cut short, or missing any piece of what was written, fails. Used once
// every part was seen written whole (sheets::workfiles).
Status checkZip(const QString& path);

} // namespace sheets
