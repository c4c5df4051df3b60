#pragma once

#include "base/Result.h"

#include <QString>

// Turns the workbook model into an .xlsx file with libxlsxwriter.
namespace sheets {

class Workbook;

// Writes the workbook into the file at path, creating or overwriting it. A workbook that holds
// an exported table is written row by row in constant memory.
Status writeXlsx(const Workbook& workbook, const QString& path);

} // namespace sheets
