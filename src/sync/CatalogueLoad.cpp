#include "CatalogueLoad.h"

#include "Pg.h"
#include "data/Database.h"

namespace catalogueload {
namespace {

bool hasTable(Database& db, const char* name) {
    auto st = db.prepare("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1;");
    return st && st->bind(1, name).next();
}

std::optional<QString> textAt(const Statement& st, int c) {
    if (st.isNull(c))
        return std::nullopt;
    return st.text(c);
}
std::optional<double> numberAt(const Statement& st, int c) {
    if (st.isNull(c))
        return std::nullopt;
    return st.real(c);
}

Result<std::vector<QByteArray>> articleRows(Database& db, int& count) {
    std::vector<QByteArray> out(1);
    // One row per code: the last one the file holds wins, as in the article list.
    auto st = db.prepare("SELECT CODICE, ARTICOLO, FORMATO, PESO, AGG FROM ARTICOLO a"
                         " WHERE CODICE IS NOT NULL AND trim(CODICE) <> '' AND ID = (SELECT"
                         " max(ID) FROM ARTICOLO b WHERE b.CODICE = a.CODICE);");
    if (!st)
        return st.error();
    while (st->next()) {
        QByteArray& line = out.back();
        pg::appendCopyField(line, textAt(*st, 0));
        pg::appendCopyField(line, textAt(*st, 1));
        pg::appendCopyField(line, textAt(*st, 2));
        pg::appendCopyNumber(line, numberAt(*st, 3));
        pg::appendCopyField(line, textAt(*st, 4));
        pg::endCopyLine(line);
        ++count;
        if (line.size() > (1 << 20))
            out.emplace_back();
    }
    if (!st->status())
        return st->status().error();
    return out;
}

Result<std::vector<QByteArray>> principalRows(Database& db, int& count) {
    std::vector<QByteArray> out(1);
    auto st = db.prepare("SELECT NOME, EMAIL FROM MANDANTE;");
    if (!st)
        return st.error();
    while (st->next()) {
        pg::appendCopyField(out.back(), textAt(*st, 0));
        pg::appendCopyField(out.back(), textAt(*st, 1));
        pg::endCopyLine(out.back());
        ++count;
    }
    if (!st->status())
        return st->status().error();
    return out;
}

Result<std::vector<QByteArray>> priceRows(Database& db, int& count) {
    std::vector<QByteArray> out(1);
    auto st = db.prepare("SELECT p.ID, p.CODICE, m.NOME, p.PREZZO, p.VALIDO_DAL, p.ID_LISTINO"
                         " FROM PREZZO_LISTINO p JOIN MANDANTE m ON m.ID = p.ID_MANDANTE;");
    if (!st)
        return st.error();
    while (st->next()) {
        QByteArray& line = out.back();
        line += QByteArray::number(qlonglong(st->int64(0)));
        line += '\t';
        pg::appendCopyField(line, textAt(*st, 1));
        pg::appendCopyField(line, textAt(*st, 2));
        pg::appendCopyNumber(line, numberAt(*st, 3));
        pg::appendCopyField(line, textAt(*st, 4));
        if (st->isNull(5))
            line += "\\N";
        else
            line += QByteArray::number(qlonglong(st->int64(5)));
        pg::endCopyLine(line);
        ++count;
        if (line.size() > (1 << 20))
            out.emplace_back();
    }
    if (!st->status())
        return st->status().error();
    return out;
}

Status loadArticles(pg::Connection& c, const std::vector<QByteArray>& rows) {
    if (Status s = c.command("CREATE TEMP TABLE in_articolo (codice text PRIMARY KEY,"
                             " articolo text, formato text, peso double precision, agg text)"
                             " ON COMMIT DROP");
        !s)
        return s;
    if (Status s = c.copyIn("COPY in_articolo FROM STDIN", rows); !s)
        return s;
    return c.command(
        "INSERT INTO articolo AS a (codice, articolo, formato, peso, agg)"
        " SELECT codice, articolo, formato, peso, agg FROM in_articolo"
        " ON CONFLICT (codice) DO UPDATE SET articolo = EXCLUDED.articolo,"
        " formato = EXCLUDED.formato, peso = EXCLUDED.peso, agg = EXCLUDED.agg,"
        " cancellato = false"
        " WHERE a.cancellato OR (a.articolo, a.formato, a.peso, a.agg) IS DISTINCT FROM"
        " (EXCLUDED.articolo, EXCLUDED.formato, EXCLUDED.peso, EXCLUDED.agg);"
        "UPDATE articolo a SET cancellato = true WHERE NOT a.cancellato"
        " AND NOT EXISTS (SELECT 1 FROM in_articolo i WHERE i.codice = a.codice);");
}

Status loadPrincipals(pg::Connection& c, const std::vector<QByteArray>& rows) {
    if (Status s = c.command("CREATE TEMP TABLE in_mandante (nome text PRIMARY KEY, email text)"
                             " ON COMMIT DROP");
        !s)
        return s;
    if (Status s = c.copyIn("COPY in_mandante FROM STDIN", rows); !s)
        return s;
    return c.command("INSERT INTO mandante AS m (nome, email) SELECT nome, email FROM in_mandante"
                     " ON CONFLICT (nome) DO UPDATE SET email = EXCLUDED.email, cancellato = false"
                     " WHERE m.cancellato OR m.email IS DISTINCT FROM EXCLUDED.email;"
                     "UPDATE mandante m SET cancellato = true WHERE NOT m.cancellato"
                     " AND NOT EXISTS (SELECT 1 FROM in_mandante i WHERE i.nome = m.nome);");
}

Status loadPrices(pg::Connection& c, const std::vector<QByteArray>& rows) {
    if (Status s = c.command("CREATE TEMP TABLE in_prezzo (id bigint PRIMARY KEY, codice text,"
                             " mandante text, prezzo double precision, valido_dal text,"
                             " id_listino bigint) ON COMMIT DROP");
        !s)
        return s;
    if (Status s = c.copyIn("COPY in_prezzo FROM STDIN", rows); !s)
        return s;
    return c.command(
        "INSERT INTO prezzo_listino AS p (id, codice, mandante, prezzo, valido_dal, id_listino)"
        " SELECT id, codice, mandante, prezzo, valido_dal, id_listino FROM in_prezzo"
        " ON CONFLICT (id) DO UPDATE SET codice = EXCLUDED.codice,"
        " mandante = EXCLUDED.mandante, prezzo = EXCLUDED.prezzo,"
        " valido_dal = EXCLUDED.valido_dal, id_listino = EXCLUDED.id_listino, cancellato = false"
        " WHERE p.cancellato OR (p.codice, p.mandante, p.prezzo, p.valido_dal, p.id_listino)"
        " IS DISTINCT FROM (EXCLUDED.codice, EXCLUDED.mandante, EXCLUDED.prezzo,"
        " EXCLUDED.valido_dal, EXCLUDED.id_listino);"
        "UPDATE prezzo_listino p SET cancellato = true WHERE NOT p.cancellato"
        " AND NOT EXISTS (SELECT 1 FROM in_prezzo i WHERE i.id = p.id);");
}

} // namespace

Result<Counts> load(Database& file, pg::Connection& office) {
    Counts counts;
    auto articles = articleRows(file, counts.articles);
    if (!articles)
        return articles.error();
    std::optional<std::vector<QByteArray>> principals, prices;
    if (hasTable(file, "MANDANTE")) {
        auto p = principalRows(file, counts.principals);
        if (!p)
            return p.error();
        principals = std::move(*p);
        if (hasTable(file, "PREZZO_LISTINO")) {
            auto q = priceRows(file, counts.prices);
            if (!q)
                return q.error();
            prices = std::move(*q);
        }
    }
    if (Status s = office.begin(); !s)
        return s.error();
    Status s = loadArticles(office, *articles);
    if (s && principals)
        s = loadPrincipals(office, *principals);
    if (s && prices)
        s = loadPrices(office, *prices);
    if (!s) {
        office.rollback();
        return s.error();
    }
    if (Status c = office.commit(); !c)
        return c.error();
    return counts;
}

} // namespace catalogueload
