#pragma once

#include "SheetData.h"
#include "SheetFile.h"

#include <orcus/spreadsheet/import_interface.hpp>

#include <QString>

#include <memory>

// What liborcus's reading of an .xlsx or .ods gives, taken as the file stores it: the values of
// the cells and, for a formula, the result the spreadsheet saved with it. Nothing is computed:
// a formula whose file holds no result is a cell of kind Formula. Cells beyond the column limit
// are left aside; a value past the row limit, or the agent's "Annulla", stops the reading
// (ReadStopped, thrown through the library).
namespace pricelists {

struct ReadStopped {
    enum class Why { Cancelled, TooManyRows };
    Why why;
    QString sheet;
};

class StoredValues final : public orcus::spreadsheet::iface::import_factory {
public:
    StoredValues(const ReadLimits& limits, ReadProgress* progress);
    ~StoredValues() override;

    orcus::spreadsheet::iface::import_shared_strings* get_shared_strings() override;
    orcus::spreadsheet::iface::import_styles* get_styles() override;
    orcus::spreadsheet::iface::import_reference_resolver*
    get_reference_resolver(orcus::spreadsheet::formula_ref_context_t context) override;
    orcus::spreadsheet::iface::import_sheet* append_sheet(orcus::spreadsheet::sheet_t index,
                                                          std::string_view name) override;
    orcus::spreadsheet::iface::import_sheet* get_sheet(std::string_view name) override;
    orcus::spreadsheet::iface::import_sheet* get_sheet(orcus::spreadsheet::sheet_t index) override;
    void finalize() override;

    // How many cells the file declares, for the reading's progress; none when unknown.
    void expect(std::int64_t cells);

    // The sheets read, their empty rows at the end dropped.
    Workbook take();

    class Impl;

private:
    std::unique_ptr<Impl> m;
};

} // namespace pricelists
