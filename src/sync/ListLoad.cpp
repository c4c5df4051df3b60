#include "ListLoad.h"

#include "Pg.h"
#include "data/Database.h"
#include "data/Schema.h"
#include "pricelists/ColumnMap.h"
#include "pricelists/ImportMessages.h"
#include "pricelists/PriceListStore.h"
#include "pricelists/SheetFile.h"

#include <QTemporaryDir>

namespace listload {
namespace {

// The server's catalogue as it stands, into the working file: the lists and prices keep the
// server's numbers, and the file numbers new ones after every number the server ever gave.
Status takeCatalogue(pg::Connection& office, Database& db) {
    if (Status s = office.begin("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"); !s)
        return s;
    auto read = [&](const char* sql, const pg::Shape& shape) { return office.query(sql, shape); };
    auto articles = read("SELECT codice, articolo, formato, peso, agg FROM articolo"
                         " WHERE NOT cancellato",
                         pg::Shape("tttnt"));
    auto principals =
        read("SELECT nome, email FROM mandante WHERE NOT cancellato", pg::Shape("tt"));
    auto lists = read("SELECT id, mandante, file, valido_dal, importato_il FROM listino"
                      " WHERE NOT cancellato",
                      pg::Shape("itttt"));
    auto prices = read("SELECT id, codice, mandante, prezzo, valido_dal, id_listino"
                       " FROM prezzo_listino WHERE NOT cancellato",
                       pg::Shape("ittnti"));
    auto last = read("SELECT (SELECT coalesce(max(id), 0) FROM listino),"
                     " (SELECT coalesce(max(id), 0) FROM prezzo_listino)",
                     pg::Shape::one("ii"));
    office.rollback();
    for (auto* r : {&articles, &principals, &lists, &prices, &last})
        if (!*r)
            return r->error();
    return db.write([&]() -> Status {
        auto article = db.prepare("INSERT INTO ARTICOLO (CODICE, ARTICOLO, FORMATO, PESO, AGG)"
                                  " VALUES (?1, ?2, ?3, ?4, ?5);");
        if (!article)
            return article.error();
        for (int r = 0; r < articles->count(); ++r) {
            article->reset();
            article->bind(1, articles->text(r, 0)).bind(2, articles->textOrNull(r, 1));
            article->bind(3, articles->textOrNull(r, 2)).bind(4, articles->realOrNull(r, 3));
            if (Status s = article->bind(5, articles->textOrNull(r, 4)).run(); !s)
                return s;
        }
        auto principal =
            db.prepare("INSERT OR IGNORE INTO MANDANTE (NOME, EMAIL) VALUES (?1, ?2);");
        if (!principal)
            return principal.error();
        // A list's principal withdrawn at the office is kept for its list.
        auto named = [&](const QString& name) -> Status {
            principal->reset();
            return principal->bind(1, name).bindNull(2).run();
        };
        for (int r = 0; r < principals->count(); ++r) {
            principal->reset();
            principal->bind(1, principals->text(r, 0)).bind(2, principals->textOrNull(r, 1));
            if (Status s = principal->run(); !s)
                return s;
        }
        auto list = db.prepare("INSERT INTO LISTINO (ID, ID_MANDANTE, FILE, VALIDO_DAL,"
                               " IMPORTATO_IL) VALUES (?1, (SELECT ID FROM MANDANTE WHERE NOME ="
                               " ?2), ?3, ?4, ?5);");
        if (!list)
            return list.error();
        for (int r = 0; r < lists->count(); ++r) {
            if (Status s = named(lists->text(r, 1)); !s)
                return s;
            list->reset();
            list->bind(1, lists->int64(r, 0)).bind(2, lists->text(r, 1));
            list->bind(3, lists->textOrNull(r, 2));
            list->bind(4, lists->textOrNull(r, 3)).bind(5, lists->textOrNull(r, 4));
            if (Status s = list->run(); !s)
                return s;
        }
        auto price = db.prepare("INSERT INTO PREZZO_LISTINO (ID, CODICE, ID_MANDANTE, PREZZO,"
                                " VALIDO_DAL, ID_LISTINO) VALUES (?1, ?2, (SELECT ID FROM"
                                " MANDANTE WHERE NOME = ?3), ?4, ?5, ?6);");
        if (!price)
            return price.error();
        for (int r = 0; r < prices->count(); ++r) {
            if (Status s = named(prices->text(r, 2)); !s)
                return s;
            price->reset();
            price->bind(1, prices->int64(r, 0)).bind(2, prices->text(r, 1));
            price->bind(3, prices->text(r, 2));
            price->bind(4, prices->realOrNull(r, 3)).bind(5, prices->text(r, 4));
            if (prices->isNull(r, 5))
                price->bindNull(6);
            else
                price->bind(6, prices->int64(r, 5));
            if (Status s = price->run(); !s)
                return s;
        }
        auto sequence = db.prepare("INSERT INTO sqlite_sequence (name, seq) VALUES (?1, ?2);");
        if (!sequence)
            return sequence.error();
        if (Status s = db.exec("DELETE FROM sqlite_sequence WHERE name IN ('LISTINO',"
                               " 'PREZZO_LISTINO');");
            !s)
            return s;
        if (Status s = sequence->bind(1, "LISTINO").bind(2, last->int64(0, 0)).run(); !s)
            return s;
        sequence->reset();
        return sequence->bind(1, "PREZZO_LISTINO").bind(2, last->int64(0, 1)).run();
    });
}

} // namespace

bool isPriceList(const QString& file) {
    return pricelists::kindOf(file) != pricelists::FileKind::Unknown;
}

Result<Loaded> load(const Request& request, pg::Connection& office) {
    using namespace pricelists;
    const QString name = msg::fileName(request.file);
    // A private folder (owner only) for the working file and a repaired copy of the workbook.
    QTemporaryDir work;
    if (!work.isValid())
        return makeError(QStringLiteral("Non si può creare la cartella di lavoro per leggere il "
                                        "listino: %1.")
                             .arg(work.errorString()));
    auto book = readWorkbook(request.file, work.path());
    if (!book)
        return book.error();
    const Sheet* sheet = nullptr;
    Mapping mapping;
    for (const Sheet& s : book->sheets) {
        mapping = findMapping(s);
        if (mapping.usable()) {
            sheet = &s;
            break;
        }
    }
    if (!sheet)
        return makeError(QStringLiteral("Nel listino «%1» nessun foglio ha una riga di "
                                        "intestazione con il codice e il prezzo: il catalogo non "
                                        "è stato caricato.")
                             .arg(name));
    const ListRows rows = readRows(*sheet, mapping);
    if (rows.entries.empty())
        return makeError(QStringLiteral("Il listino «%1» non ha righe leggibili (%2 scartate): il "
                                        "catalogo non è stato caricato.")
                             .arg(name)
                             .arg(rows.refused.size()));

    // One load of the catalogue at a time, whoever else runs the tool.
    if (Status s = office.command("SELECT pg_advisory_lock(4713002)"); !s)
        return s.error();
    auto loaded = [&]() -> Result<Loaded> {
        Database::Options options;
        options.create = true;
        auto opened = Database::open(work.filePath(QStringLiteral("catalogo.db")),
                                     schema::password(), options);
        if (!opened)
            return opened.error();
        Database& db = **opened;
        if (Status s = schema::create(db); !s)
            return s.error();
        if (Status s = schema::ensureIndexes(db); !s)
            return s.error();
        if (Status s = takeCatalogue(office, db); !s)
            return s.error();
        auto principal = principalNamed(db, request.principal);
        if (!principal)
            return principal.error();
        const QDate from = request.validFrom.value_or(
            validFromAbove(*sheet, mapping.headerRow).value_or(request.now.date()));
        auto preview = makePreview(db, *principal, rows, from);
        if (!preview)
            return preview.error();
        auto applied = apply(db, *preview, name, request.now, rememberedTexts(*sheet, mapping));
        if (!applied)
            return applied.error();
        auto counts = catalogueload::load(db, office);
        if (!counts)
            return counts.error();
        Loaded out;
        out.added = applied->added;
        out.updated = applied->updated;
        out.prices = applied->prices;
        out.refused = int(rows.refused.size());
        out.catalogue = *counts;
        return out;
    }();
    // The lock goes with the session in any case; a failed unlock changes nothing loaded.
    (void)office.command("SELECT pg_advisory_unlock(4713002)");
    return loaded;
}

} // namespace listload
