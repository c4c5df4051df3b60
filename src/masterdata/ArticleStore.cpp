#include "ArticleStore.h"

#include "data/Database.h"
#include "text/ItalianText.h"

namespace articles {
namespace {

const QString kNotUpdated = QStringLiteral("Non è stato aggiornato nulla");
const QString kNotDeleted = QStringLiteral("Non è stato eliminato nulla");

Result<Refusal> checkRow(Database& db, std::optional<std::int64_t> id, const QString& nothing,
                         const char* action) {
    if (!id)
        return Refusal(QStringLiteral("%1: scegli prima nell'elenco la riga dell'articolo da %2.")
                           .arg(nothing, QLatin1String(action)));
    auto st = db.prepare("SELECT 1 FROM ARTICOLO WHERE ID = ?1;");
    if (!st)
        return st.error();
    st->bind(1, *id);
    const bool found = st->next();
    if (!st->status())
        return st->status().error();
    if (!found)
        return Refusal(QStringLiteral("%1: l'articolo scelto non è più nell'archivio.\nScegli di "
                                      "nuovo la riga dell'articolo nell'elenco.")
                           .arg(nothing));
    return Refusal();
}

} // namespace

Result<std::optional<double>> weightField(const QString& text) {
    return itext::numberField(QLatin1String(kWeightField), text);
}

Result<Refusal> checkUpdate(Database& db, std::optional<std::int64_t> id) {
    return checkRow(db, id, kNotUpdated, "aggiornare");
}

Result<Refusal> checkDelete(Database& db, std::optional<std::int64_t> id) {
    return checkRow(db, id, kNotDeleted, "eliminare");
}

// Parameters 1 to 5 of an insert or update: the fields and the day of the change.
static Statement& bindArticle(Statement& st, const Article& article, const QDate& today) {
    return st.bind(1, article.code)
        .bind(2, article.description)
        .bind(3, article.format)
        .bind(4, article.weight)
        .bind(5, itext::isoDate(today));
}

Status insert(Database& db, const Article& article, const QDate& today) {
    return db.write([&]() -> Status {
        auto st = db.prepare("INSERT INTO ARTICOLO (CODICE, ARTICOLO, FORMATO, PESO, AGG) "
                             "VALUES (?1, ?2, ?3, ?4, ?5);");
        if (!st)
            return st.error();
        bindArticle(*st, article, today);
        return st->run();
    });
}

Result<Refusal> update(Database& db, std::optional<std::int64_t> id, const Article& article,
                       const QDate& today) {
    return guardedWrite(
        db, [&] { return checkUpdate(db, id); },
        [&]() -> Status {
            auto st = db.prepare("UPDATE ARTICOLO SET CODICE = ?1, ARTICOLO = ?2, FORMATO = ?3, "
                                 "PESO = ?4, AGG = ?5 WHERE ID = ?6;");
            if (!st)
                return st.error();
            bindArticle(*st, article, today).bind(6, *id);
            return st->run();
        });
}

Result<Refusal> remove(Database& db, std::optional<std::int64_t> id) {
    return guardedWrite(
        db, [&] { return checkDelete(db, id); },
        [&]() -> Status {
            auto st = db.prepare("DELETE FROM ARTICOLO WHERE ID = ?1;");
            if (!st)
                return st.error();
            st->bind(1, *id);
            return st->run();
        });
}

} // namespace articles
