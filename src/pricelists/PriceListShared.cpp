#include "PriceListShared.h"

#include "data/Database.h"
#include "text/ItalianText.h"

namespace pricelists::detail {

QString priceText(double p) {
    return itext::formatFixed(p, 2, true);
}

Result<std::int64_t> findOrMakePrincipal(Database& db, const QString& name, bool make) {
    const QString trimmed = name.simplified();
    if (trimmed.isEmpty())
        return makeError(QStringLiteral("Scrivere il nome della mandante."));
    {
        Result<Statement> st = db.prepare("SELECT ID FROM MANDANTE WHERE NOME = ?1;");
        if (!st)
            return st.error();
        st->bind(1, trimmed);
        if (st->next())
            return st->int64(0);
        if (!st->status())
            return st->status().error();
    }
    if (!make)
        return std::int64_t(0);
    Result<Statement> st = db.prepare("INSERT INTO MANDANTE (NOME) VALUES (?1);");
    if (!st)
        return st.error();
    st->bind(1, trimmed);
    if (Status r = st->run(); !r)
        return r.error();
    return db.lastInsertId();
}

} // namespace pricelists::detail
