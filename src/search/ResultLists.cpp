#include "ResultLists.h"

#include "SearchStore.h"
#include "data/Database.h"
#include "orders/OrderHistory.h"
#include "text/TextMatch.h"
#include "ui/widgets/ReportList.h"

#include <string>

namespace resultlists {
namespace {

const auto L = Qt::AlignLeft;
const auto C = Qt::AlignHCenter;
const auto R = Qt::AlignRight;

ReportColumn col(const char* key, const char* heading, int width, Qt::Alignment a,
                 CellKind kind = CellKind::Text, bool bold = false) {
    return {QLatin1String(key), QString::fromUtf8(heading), width, a, kind, bold};
}

// The five totals of OrderTotals.
void addTotals(std::vector<ReportColumn>& cols) {
    cols.push_back(col("RIGHE", "RIGHE", 700, R, CellKind::Number));
    cols.push_back(col("CARTONI", "CARTONI", 1000, R, CellKind::Number));
    cols.push_back(col("OMAGGIO", "OMAGGIO", 1000, R, CellKind::Number));
    cols.push_back(col("KG", "KG", 1300, R, CellKind::Money));
    cols.push_back(col("LORDO", "LORDO €", 1500, R, CellKind::Money));
}

// The rows of the statement under the columns; read again only when the file or the words
// changed since the list was last filled.
Status fill(ReportView* list, std::vector<ReportColumn> cols, Result<Statement> st) {
    if (!st) {
        list->setColumns(std::move(cols));
        return st.error();
    }
    return list->showRows(std::move(cols), *st);
}

} // namespace

void clear(ReportView* list) {
    list->report()->clear();
}

Status fillCustomers(ReportView* list, Database& db, const QString& text) {
    auto st = db.prepare(searchstore::kCustomers);
    if (st)
        st->bind(1, textmatch::fold(text)).bind(2, searchstore::kMaxRows);
    return fill(list,
                {col("CODICE", "CODICE", 1100, L),
                 col("SOGGETTO", "CLIENTE", 3000, L, CellKind::Text, true),
                 col("CITTA", "CITTÀ", 1800, L)},
                std::move(st));
}

Status fillArticles(ReportView* list, Database& db, const QString& text) {
    auto st = db.prepare(searchstore::kArticles);
    if (st)
        st->bind(1, textmatch::fold(text)).bind(2, searchstore::kMaxRows);
    return fill(list,
                {col("CODICE", "CODICE", 1200, L),
                 col("ARTICOLO", "ARTICOLO", 2900, L, CellKind::Text, true),
                 col("FORMATO", "FORMATO", 1800, L)},
                std::move(st));
}

Status fillOrders(ReportView* list, Database& db, const QString& text,
                  const ReportView* customers) {
    std::vector<ReportColumn> cols{col("ANNO", "ANNO", 700, C), col("NR", "NR", 700, C),
                                   col("SOGGETTO", "CLIENTE", 3600, L, CellKind::Text, true),
                                   col("DATAO", "DATA ORDINE", 1300, C, CellKind::Date)};
    addTotals(cols);
    const std::string folded = textmatch::fold(text);
    const auto number = searchstore::orderNumber(text);
    // A number stands for that order in every year; any other text for the orders of the
    // customers found. Either way the orders whose lines hold the text come too.
    std::string codes;
    if (!number) {
        const ReportModel* found = customers->report();
        const int code = found->columnIndex(QStringLiteral("CODICE"));
        for (int r = 0; r < found->rows() && code >= 0; ++r)
            if (!found->isNull(r, code))
                searchstore::appendPacked(codes, found->raw(r, code));
    }
    auto lines = searchstore::linesOfOrders(db, folded, searchstore::kMaxRows);
    if (!lines) {
        list->setColumns(std::move(cols));
        return lines.error();
    }
    std::string ids;
    for (const std::int64_t id : *lines)
        searchstore::appendPacked(ids, std::to_string(id));
    if (codes.empty() && ids.empty() && !number) {
        list->setColumns(std::move(cols));
        return {};
    }
    auto st = db.prepare(searchstore::kOrders);
    if (st) {
        st->bind(1, codes).bind(2, ids).bind(4, searchstore::kMaxRows);
        if (number)
            st->bind(3, QString::number(*number));
        else
            st->bindNull(3);
    }
    return fill(list, std::move(cols), std::move(st));
}

Status fillHistory(ReportView* list, Database& db, const QString& customerCode) {
    std::vector<ReportColumn> cols{col("ANNO", "ANNO", 700, C), col("NR", "NR", 700, C),
                                   col("DATAO", "DATA ORDINE", 1300, C, CellKind::Date)};
    addTotals(cols);
    auto st = db.prepare(orderhistory::kCustomerOrders);
    if (st)
        st->bind(1, customerCode).bind(2, 10000);
    return fill(list, std::move(cols), std::move(st));
}

Status fillBuyers(ReportView* list, Database& db, const QString& articleCode,
                  const QString& description) {
    const bool byCode = !articleCode.isEmpty();
    auto st = byCode ? db.prepare(orderhistory::kArticleBuyersByCode)
                     : db.prepare(orderhistory::kArticleBuyersByDescription);
    if (st)
        st->bind(1, byCode ? articleCode : description).bind(2, 10000);
    return fill(list,
                {col("CODICE", "CODICE", 1100, L),
                 col("SOGGETTO", "CLIENTE", 3600, L, CellKind::Text, true),
                 col("CITTA", "CITTÀ", 1800, L),
                 col("DATAO", "ULTIMO ORDINE", 1400, C, CellKind::Date),
                 col("ORDINI", "ORDINI", 900, R, CellKind::Number),
                 col("CARTONI", "CARTONI", 1000, R, CellKind::Number)},
                std::move(st));
}

} // namespace resultlists
