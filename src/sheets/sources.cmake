target_sources(gestione_core PRIVATE
    sheets/CellFormat.cpp
    sheets/CellRange.cpp
    sheets/CellValue.cpp
    sheets/ColumnFit.cpp
    sheets/OrderArchive.cpp
    sheets/OrderData.cpp
    sheets/OrderSheet.cpp
    sheets/SheetPrint.cpp
    sheets/SheetTotals.cpp
    sheets/SpreadsheetSession.cpp
    sheets/TableBlock.cpp
    sheets/TableExport.cpp
    sheets/Workbook.cpp
    sheets/WorkbookFiles.cpp
    sheets/XlsxCheck.cpp
    sheets/XlsxWriter.cpp
)
