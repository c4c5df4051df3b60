#include "OrderTotals.h"

#include "data/Database.h"
#include "data/ItalianText.h"

void OrderTotals::add(const std::optional<double>& s, const std::optional<double>& f,
                      const std::optional<double>& weight, const std::optional<double>& price) {
    ++lines;
    if (f)
        free += *f;
    if (!s)
        return;
    sold += *s;
    if (!weight)
        return;
    kg += *s * *weight;
    if (price)
        gross += *s * *weight * *price;
}

OrderTotals OrderTotals::fromColumns(const Statement& st, int first) {
    OrderTotals t;
    t.lines = int(st.int64(first));
    t.sold = st.real(first + 1);
    t.free = st.real(first + 2);
    t.kg = st.real(first + 3);
    t.gross = st.real(first + 4);
    return t;
}

Result<OrderTotals> OrderTotals::ofOrder(Database& db, const QString& year, const QString& number) {
    // Through the index ORDINE_ANNO_NR: the lines of one order, whatever the size of the file.
    auto st =
        db.prepare("SELECT COUNT(*), TOTAL(QVENDITA), TOTAL(QOMAGGIO), TOTAL(QVENDITA * PESO), "
                   "TOTAL(QVENDITA * PESO * PREZZO) FROM ORDINE WHERE ANNO = ?1 AND NR = ?2;");
    if (!st)
        return st.error();
    st->bind(1, year).bind(2, number);
    if (!st->next())
        return st->status() ? Result<OrderTotals>(OrderTotals()) : st->status().error();
    return fromColumns(*st, 0);
}

QString OrderTotals::text() const {
    return QStringLiteral("Righe %1   Cartoni %2   Omaggio %3   Kg %4   Lordo € %5")
        .arg(QString::number(lines), itext::formatNumber(sold), itext::formatNumber(free),
             itext::formatGrouped2(kg), itext::formatGrouped2(gross));
}
