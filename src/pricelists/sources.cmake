# The principal's price list: reading the spreadsheet, the preview, applying and undoing.
target_sources(gestione_core PRIVATE
    pricelists/ColumnMap.cpp
    pricelists/DecimalMark.cpp
    pricelists/ListRows.cpp
    pricelists/ListUndo.cpp
    pricelists/PriceListApply.cpp
    pricelists/PriceListLookups.cpp
    pricelists/PriceListPreview.cpp
    pricelists/PriceListPrincipals.cpp
    pricelists/PriceListShared.cpp
    pricelists/PriceUnit.cpp
    pricelists/SheetFile.cpp
    pricelists/StoredValues.cpp
    pricelists/XlsConvert.cpp
    pricelists/XlsProcess.cpp
    pricelists/XlsStream.cpp
    pricelists/ZipCheck.cpp
)
# The spreadsheet model of liborcus has no include folder of its own.
target_link_libraries(gestione_core PUBLIC PkgConfig::ORCUS orcus-spreadsheet-model-0.17
    PkgConfig::MINIZIP)
target_sources(gestione_gui PRIVATE
    pricelists/ImportCommands.cpp
    pricelists/ImportWindow.cpp
)
