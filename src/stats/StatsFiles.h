#pragma once

#include "StatsTable.h"
#include "sheets/OrderSheet.h"
#include "sheets/SheetPrint.h"

// The files of a view: its workbook and its PDF, in the documents folder
// "Gestione Ordini/Statistiche", named after the view and never written over an earlier file.
namespace stats {

Result<sheets::Written> saveWorkbook(const Table& t, const QString& documents, const QString& home);
// The PDF: the chart's page (when there is one) and the table's pages.
Result<sheets::Written> savePdf(const Table& t, const sheets::CoverPage& chart,
                                const QString& documents, const QString& home);

} // namespace stats
