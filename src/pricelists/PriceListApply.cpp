#include "PriceListShared.h"
#include "PriceListStore.h"

#include "data/Database.h"
#include "text/ItalianText.h"

#include <QSet>

namespace pricelists {

using detail::findOrMakePrincipal;

Result<Applied> apply(Database& db, const Preview& preview, const QString& file,
                      const QDateTime& now, const QStringList& columns,
                      const QString& principalName) {
    // What each entry of the list brings, as ticked.
    struct Wanted {
        bool add = false, price = false, description = false, format = false, weight = false;
        std::int64_t article = 0;
    };
    std::vector<Wanted> wanted(preview.entries.size());
    const std::vector<bool> active = preview.activeEntries();
    bool any = false;
    for (const PreviewItem& it : preview.items) {
        if (!it.ticked || !it.tickable() || it.kind == Change::Duplicate || it.entry < 0 ||
            it.entry >= int(preview.entries.size()) || !active[std::size_t(it.entry)])
            continue;
        Wanted& w = wanted[std::size_t(it.entry)];
        w.article = it.article;
        any = true;
        switch (it.kind) {
        case Change::New:
            w.add = w.price = true;
            break;
        case Change::Price:
            w.price = true;
            break;
        case Change::Description:
            w.description = true;
            break;
        case Change::Format:
            w.format = true;
            break;
        case Change::Weight:
            w.weight = true;
            break;
        default:
            break;
        }
    }
    if (!any)
        return makeError(QStringLiteral("Nessuna modifica scelta: nulla è stato scritto."));

    const QString date = itext::isoDate(preview.validFrom);
    Applied out;
    out.principal = preview.principal;
    bool told = false; // the failure has its own message
    Status s = db.write([&]() -> Status {
        // A principal new to the file is made with the list: a list that fails leaves none.
        if (!principalName.isEmpty()) {
            Result<std::int64_t> principal = findOrMakePrincipal(db, principalName, true);
            if (!principal)
                return principal.error();
            out.principal = *principal;
        }
        Result<Statement> list = db.prepare("INSERT INTO LISTINO (ID_MANDANTE, FILE, VALIDO_DAL, "
                                            "IMPORTATO_IL) VALUES (?1, ?2, ?3, ?4);");
        if (!list)
            return list.error();
        list->bind(1, out.principal).bind(2, file).bind(3, date).bind(4, now.toString(Qt::ISODate));
        if (Status r = list->run(); !r)
            return r;
        out.list = db.lastInsertId();

        Result<Statement> add = db.prepare("INSERT INTO ARTICOLO (CODICE, ARTICOLO, FORMATO, "
                                           "PESO, AGG) VALUES (?1, ?2, ?3, ?4, ?5);");
        // The article as it was and the fields the list changes (?4); for an article changed,
        // what it holds after, the values the change below writes (an article added holds what
        // was recorded).
        Result<Statement> keep = db.prepare(
            "INSERT INTO LISTINO_MODIFICA (ID_LISTINO, ID_ARTICOLO, NUOVO, ARTICOLO, FORMATO, "
            "PESO, AGG, CAMPI, DOPO_ARTICOLO, DOPO_FORMATO, DOPO_PESO, DOPO_AGG) SELECT ?1, ID, "
            "?2, ARTICOLO, FORMATO, PESO, AGG, ?4, "
            "CASE WHEN ?2 THEN NULL WHEN ?4 & 1 THEN ?5 ELSE ARTICOLO END, "
            "CASE WHEN ?2 THEN NULL WHEN ?4 & 2 THEN ?6 ELSE FORMATO END, "
            "CASE WHEN ?2 THEN NULL WHEN ?4 & 4 THEN ?7 ELSE PESO END, "
            "CASE WHEN ?2 THEN NULL ELSE ?8 END FROM ARTICOLO WHERE ID = ?3;");
        Result<Statement> change =
            db.prepare("UPDATE ARTICOLO SET ARTICOLO = CASE WHEN ?1 THEN ?2 ELSE ARTICOLO END, "
                       "FORMATO = CASE WHEN ?3 THEN ?4 ELSE FORMATO END, "
                       "PESO = CASE WHEN ?5 THEN ?6 ELSE PESO END, AGG = ?7 WHERE ID = ?8;");
        Result<Statement> price = db.prepare("INSERT INTO PREZZO_LISTINO (CODICE, ID_MANDANTE, "
                                             "PREZZO, VALIDO_DAL, ID_LISTINO) VALUES "
                                             "(?1, ?2, ?3, ?4, ?5);");
        for (Result<Statement>* st : {&add, &keep, &change, &price})
            if (!*st)
                return st->error();
        // The catalogue as it is now: another program may have changed it since the preview.
        QSet<QString> present;
        {
            Result<Statement> codes = db.prepare("SELECT CODICE FROM ARTICOLO;");
            if (!codes)
                return codes.error();
            while (codes->next())
                present.insert(codes->text(0).trimmed().toUpper());
            if (!codes->status())
                return codes->status();
        }
        auto changedMeanwhile = [&](const QString& code, const char* what) {
            told = true;
            return makeError(QStringLiteral("Il catalogo è cambiato dopo l'anteprima: l'articolo "
                                            "«%1» %2. Nulla è stato scritto: riaprire il "
                                            "listino.")
                                 .arg(code, QString::fromUtf8(what)));
        };
        for (std::size_t i = 0; i < wanted.size(); ++i) {
            const Wanted& w = wanted[i];
            const Entry& e = preview.entries[i];
            if (w.add) {
                if (present.contains(e.code))
                    return changedMeanwhile(e.code, "ora c'è già");
                present.insert(e.code);
                add->reset();
                add->bind(1, e.code)
                    .bind(2, e.description)
                    .bindTextOrNull(3, e.format)
                    .bind(4, e.weight)
                    .bind(5, date);
                if (Status r = add->run(); !r)
                    return r;
                keep->reset();
                keep->bind(1, out.list).bind(2, 1).bind(3, db.lastInsertId()).bind(4, kAllFields);
                if (Status r = keep->run(); !r)
                    return r;
                ++out.added;
            } else if (w.description || w.format || w.weight) {
                keep->reset();
                keep->bind(1, out.list)
                    .bind(2, 0)
                    .bind(3, w.article)
                    .bind(4, (w.description ? kDescriptionField : 0) |
                                 (w.format ? kFormatField : 0) | (w.weight ? kWeightField : 0))
                    .bind(5, e.description)
                    .bind(6, e.format)
                    .bind(7, e.weight)
                    .bind(8, date);
                if (Status r = keep->run(); !r)
                    return r;
                if (db.changes() == 0)
                    return changedMeanwhile(e.code, "non c'è più");
                change->reset();
                change->bind(1, int(w.description))
                    .bind(2, e.description)
                    .bind(3, int(w.format))
                    .bind(4, e.format)
                    .bind(5, int(w.weight))
                    .bind(6, e.weight)
                    .bind(7, date)
                    .bind(8, w.article);
                if (Status r = change->run(); !r)
                    return r;
                ++out.updated;
            }
            if (w.price) {
                price->reset();
                price->bind(1, e.code)
                    .bind(2, out.principal)
                    .bind(3, e.price)
                    .bind(4, date)
                    .bind(5, out.list);
                if (Status r = price->run(); !r)
                    return r;
                ++out.prices;
            }
        }
        Result<Statement> cols = db.prepare(
            "INSERT OR REPLACE INTO LISTINO_COLONNE (ID_MANDANTE, CODICE, ARTICOLO, FORMATO, "
            "PESO, PREZZO, PEZZI) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7);");
        if (!cols)
            return cols.error();
        cols->bind(1, out.principal);
        for (int f = 0; f < kFieldCount; ++f)
            cols->bind(f + 2, columns.value(f));
        return cols->run();
    });
    // A failure of the file itself (full disk, lock, damage) is named; the transaction took
    // everything back.
    if (!s && !told)
        return makeError(QStringLiteral("Il listino non è stato applicato (%1): nulla è stato "
                                        "scritto.")
                             .arg(s.error().text),
                         s.error().code);
    if (!s)
        return s.error();
    return out;
}

} // namespace pricelists
