#include "PriceListShared.h"
#include "PriceListStore.h"

#include "data/Database.h"

namespace pricelists {

using detail::findOrMakePrincipal;

Result<std::vector<Principal>> principals(Database& db) {
    Result<Statement> st =
        db.prepare("SELECT ID, NOME FROM MANDANTE ORDER BY NOME COLLATE NOCASE;");
    if (!st)
        return st.error();
    std::vector<Principal> out;
    while (st->next())
        out.push_back({st->int64(0), st->text(1)});
    if (!st->status())
        return st->status().error();
    return out;
}

Result<std::int64_t> principalNamed(Database& db, const QString& name) {
    Result<std::int64_t> found = findOrMakePrincipal(db, name, false);
    if (!found || *found)
        return found;
    std::int64_t id = 0;
    Status s = db.write([&]() -> Status {
        Result<std::int64_t> made = findOrMakePrincipal(db, name, true);
        if (!made)
            return made.error();
        id = *made;
        return {};
    });
    if (!s)
        return s.error();
    return id;
}

Result<QStringList> rememberedColumns(Database& db, std::int64_t principal) {
    Result<Statement> st = db.prepare("SELECT CODICE, ARTICOLO, FORMATO, PESO, PREZZO, PEZZI "
                                      "FROM LISTINO_COLONNE WHERE ID_MANDANTE = ?1;");
    if (!st)
        return st.error();
    st->bind(1, principal);
    QStringList out;
    if (st->next())
        for (int i = 0; i < kFieldCount; ++i)
            out << st->text(i);
    if (!st->status())
        return st->status().error();
    return out;
}

} // namespace pricelists
