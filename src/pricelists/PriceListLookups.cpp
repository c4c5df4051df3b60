#include "PriceListShared.h"
#include "PriceListStore.h"

#include "data/Database.h"
#include "text/ItalianText.h"

namespace pricelists {

using detail::priceText;

namespace {

Result<std::vector<ListPrice>> prices(Database& db, const QString& code,
                                      const std::optional<QDate>& on) {
    Result<Statement> st = db.prepare("SELECT P.PREZZO, P.VALIDO_DAL, M.NOME FROM PREZZO_LISTINO P "
                                      "LEFT JOIN MANDANTE M ON M.ID = P.ID_MANDANTE "
                                      "WHERE P.CODICE = ?1 AND (?2 IS NULL OR P.VALIDO_DAL <= ?2) "
                                      "ORDER BY P.VALIDO_DAL DESC, P.ID DESC;");
    if (!st)
        return st.error();
    st->bind(1, code.trimmed().toUpper());
    if (on)
        st->bind(2, itext::isoDate(*on));
    else
        st->bindNull(2);
    std::vector<ListPrice> out;
    while (st->next()) {
        ListPrice p;
        p.price = st->real(0);
        p.validFrom = itext::parseIsoDate(st->utf8(1)).value_or(QDate());
        p.principal = st->text(2);
        out.push_back(std::move(p));
        if (on)
            break;
    }
    if (!st->status())
        return st->status().error();
    return out;
}

} // namespace

Result<std::optional<ListPrice>> listPriceOn(Database& db, const QString& code, const QDate& date) {
    Result<std::vector<ListPrice>> all = prices(db, code, date);
    if (!all)
        return all.error();
    if (all->empty())
        return std::optional<ListPrice>();
    return std::optional<ListPrice>(all->front());
}

Result<std::optional<ListPrice>> listPriceAfter(Database& db, const QString& code,
                                                const QDate& date) {
    Result<Statement> st = db.prepare("SELECT P.PREZZO, P.VALIDO_DAL, M.NOME FROM PREZZO_LISTINO P "
                                      "LEFT JOIN MANDANTE M ON M.ID = P.ID_MANDANTE "
                                      "WHERE P.CODICE = ?1 AND P.VALIDO_DAL > ?2 "
                                      "ORDER BY P.VALIDO_DAL, P.ID DESC LIMIT 1;");
    if (!st)
        return st.error();
    st->bind(1, code.trimmed().toUpper()).bind(2, itext::isoDate(date));
    std::optional<ListPrice> out;
    if (st->next())
        out =
            ListPrice{st->real(0), itext::parseIsoDate(st->utf8(1)).value_or(QDate()), st->text(2)};
    if (!st->status())
        return st->status().error();
    return out;
}

Result<std::vector<ListPrice>> priceHistory(Database& db, const QString& code) {
    return prices(db, code, std::nullopt);
}

QString historyNote(Database& db, const QString& code) {
    Result<std::vector<ListPrice>> all = priceHistory(db, code);
    if (!all || all->empty())
        return QString();
    QStringList lines;
    for (std::size_t i = 0; i < all->size() && i < 12; ++i) {
        const ListPrice& p = (*all)[i];
        const QString when =
            p.principal.isEmpty()
                ? QStringLiteral("dal %1").arg(itext::formatDate(p.validFrom))
                : QStringLiteral("%1, dal %2").arg(p.principal, itext::formatDate(p.validFrom));
        lines << (i == 0 ? QStringLiteral("Prezzo di listino: %1 € (%2)")
                         : QStringLiteral("prima: %1 € (%2)"))
                     .arg(priceText(p.price), when);
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace pricelists
