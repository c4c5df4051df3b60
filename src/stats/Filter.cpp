#include "Filter.h"

#include "data/Database.h"

#include <cmath>

namespace stats {

QDate sameDayYearBefore(const QDate& d) {
    const QDate before = d.addYears(-1);
    if (d.isValid() && d.day() == d.daysInMonth())
        return QDate(before.year(), before.month(), before.daysInMonth());
    return before;
}

Cents netCents(Cents gross, double discount) {
    const auto rounded = [](double v) { return v < 0 ? -Cents(-v + 0.5) : Cents(v + 0.5); };
    if (discount == 0)
        return gross;
    if (discount <= 100)
        return rounded(double(gross) * (100 - discount) / 100.0);
    return gross - rounded(discount * 100);
}

Change changeOf(Cents now, Cents before) {
    Change c;
    c.cents = now - before;
    if (before != 0)
        c.percent = double(now - before) / double(std::abs(before)) * 100.0;
    return c;
}

Result<bool> principalsKnown(Database& db) {
    auto st = db.prepare("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                         "name IN ('PREZZO_LISTINO', 'MANDANTE');");
    if (!st)
        return st.error();
    if (!st->next())
        return st->status() ? Result<bool>(false) : Result<bool>(st->status().error());
    if (st->int64(0) != 2)
        return false;
    // The tables are made at every opening: the principals are known once a list brought prices.
    auto prices = db.prepare("SELECT EXISTS (SELECT 1 FROM PREZZO_LISTINO);");
    if (!prices)
        return prices.error();
    if (!prices->next())
        return prices->status() ? Result<bool>(false) : Result<bool>(prices->status().error());
    return prices->int64(0) != 0;
}

Result<std::vector<std::pair<qint64, QString>>> principals(Database& db) {
    std::vector<std::pair<qint64, QString>> out;
    auto known = principalsKnown(db);
    if (!known)
        return known.error();
    if (!*known)
        return out;
    auto st = db.prepare("SELECT ID, NOME FROM MANDANTE ORDER BY NOME COLLATE NOCASE, ID;");
    if (!st)
        return st.error();
    while (st->next())
        out.emplace_back(st->int64(0), st->text(1));
    if (!st->status())
        return st->status().error();
    return out;
}

Result<QStringList> provinces(Database& db) {
    auto st = db.prepare("SELECT DISTINCT PROVINCIA FROM CLIENTE WHERE PROVINCIA IS NOT NULL AND "
                         "PROVINCIA <> '' ORDER BY PROVINCIA;");
    if (!st)
        return st.error();
    QStringList out;
    while (st->next())
        out << st->text(0);
    if (!st->status())
        return st->status().error();
    return out;
}

Status checkFilter(Database& db, const Filter& f) {
    if (!f.principal)
        return {};
    auto known = principalsKnown(db);
    if (!known)
        return known.error();
    if (!*known)
        return makeError(QStringLiteral("Nessun listino è stato importato: le mandanti degli "
                                        "articoli non sono note."));
    return {};
}

} // namespace stats
