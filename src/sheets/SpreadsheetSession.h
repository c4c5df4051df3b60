#pragma once

#include "Workbook.h"

#include <memory>
#include <vector>

// The spreadsheet "application" of the program: made on first use and kept until the program
// ends, with its open workbooks and the active one. The order sheet adds a workbook to it; the
// table export adds a sheet to the active workbook and saves that workbook.
namespace sheets {

class SpreadsheetSession {
public:
    bool running() const { return m_running; }
    void start() { m_running = true; }

    // A new workbook with one sheet, "Foglio1"; it becomes the active workbook.
    Workbook& addWorkbook();
    // The running session's active workbook, made when the session has none (a workbook that
    // could not be shown is closed again, and the export still needs one to work in).
    Workbook& attach();
    Workbook* activeWorkbook();
    // Closes a workbook; the one opened before it becomes active.
    void closeWorkbook(const Workbook& wb);

    int workbookCount() const { return int(m_workbooks.size()); }
    Workbook& workbook(int index) { return *m_workbooks[size_t(index)]; }

private:
    bool m_running = false;
    std::vector<std::unique_ptr<Workbook>> m_workbooks;
};

} // namespace sheets
