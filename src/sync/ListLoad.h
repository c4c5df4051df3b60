#pragma once

#include "CatalogueLoad.h"

#include "base/Result.h"

#include <QDate>
#include <QDateTime>
#include <QString>

#include <optional>

namespace pg {
class Connection;
}

// A principal's price list (a spreadsheet) put into the office's catalogue on the server, read
// and applied as the program's own import does it: the server's catalogue is taken into a
// private working file, the list is applied there, and the result is loaded back in one
// transaction, so the agents' next sync takes just what the list changed.
namespace listload {

struct Request {
    QString file;
    QString principal;
    // None: the date the sheet gives above its header, or today.
    std::optional<QDate> validFrom;
    QDateTime now;
};

struct Loaded {
    int added = 0;
    int updated = 0;
    int prices = 0;
    int refused = 0;
    catalogueload::Counts catalogue;
};

// A spreadsheet the import reads (.xlsx, .xls, .ods, .csv).
bool isPriceList(const QString& file);

Result<Loaded> load(const Request& request, pg::Connection& office);

} // namespace listload
