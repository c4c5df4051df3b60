#include "SpreadsheetSession.h"

namespace sheets {

Workbook& SpreadsheetSession::addWorkbook() {
    m_workbooks.push_back(std::make_unique<Workbook>());
    return *m_workbooks.back();
}

Workbook& SpreadsheetSession::attach() {
    start();
    if (m_workbooks.empty())
        return addWorkbook();
    return *m_workbooks.back();
}

Workbook* SpreadsheetSession::activeWorkbook() {
    return m_workbooks.empty() ? nullptr : m_workbooks.back().get();
}

void SpreadsheetSession::closeWorkbook(const Workbook& wb) {
    for (auto it = m_workbooks.begin(); it != m_workbooks.end(); ++it)
        if (it->get() == &wb) {
            m_workbooks.erase(it);
            return;
        }
}

} // namespace sheets
