#include "CatalogueLoad.h"

#include "Pg.h"
#include "data/Database.h"

#include <QList>

namespace catalogueload {
namespace {

bool hasTable(Database& db, const char* name) {
    auto st = db.prepare("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1;");
    return st && st->bind(1, name).next();
}

// One table of the office's catalogue on the server: what the file gives for it and how the
// server's rows are brought in line with that.
struct Table {
    const char* name;    // the server's table
    const char* columns; // its columns as the file gives them, the key first
    const char* types;   // the same columns with their types, for the table the rows land in
    const char* kinds;   // per column: t text, n number, i whole number
    // Columns the file may not hold: their NULL there leaves the server's value.
    QList<QByteArray> kept = {};
};

const Table kArticles{
    "articolo", "codice, articolo, formato, peso, agg",
    "codice text PRIMARY KEY, articolo text, formato text, peso double precision, agg text",
    "tttnt"};
// A principal's address for orders is often set at the office by the tool alone.
const Table kPrincipals{
    "mandante", "nome, email", "nome text PRIMARY KEY, email text", "tt", {"email"}};
const Table kLists{"listino", "id, mandante, file, valido_dal, importato_il",
                   "id bigint PRIMARY KEY, mandante text, file text, valido_dal text,"
                   " importato_il text",
                   "itttt"};
const Table kPrices{"prezzo_listino", "id, codice, mandante, prezzo, valido_dal, id_listino",
                    "id bigint PRIMARY KEY, codice text, mandante text, prezzo double precision,"
                    " valido_dal text, id_listino bigint",
                    "ittnti"};

// The file's rows of each table, one per key, in the order of the table's columns.
// One row per code: the last one the file holds wins, as in the article list.
const char* const kArticleRows = "SELECT CODICE, ARTICOLO, FORMATO, PESO, AGG FROM ARTICOLO a"
                                 " WHERE CODICE IS NOT NULL AND trim(CODICE) <> '' AND ID = (SELECT"
                                 " max(ID) FROM ARTICOLO b WHERE b.CODICE = a.CODICE);";
const char* const kPrincipalRows = "SELECT NOME, nullif(trim(EMAIL), '') FROM MANDANTE;";
const char* const kListRows = "SELECT l.ID, m.NOME, l.FILE, l.VALIDO_DAL, l.IMPORTATO_IL"
                              " FROM LISTINO l JOIN MANDANTE m ON m.ID = l.ID_MANDANTE;";
const char* const kPriceRows = "SELECT p.ID, p.CODICE, m.NOME, p.PREZZO, p.VALIDO_DAL, p.ID_LISTINO"
                               " FROM PREZZO_LISTINO p JOIN MANDANTE m ON m.ID = p.ID_MANDANTE;";

// The file's rows of the table in the server's COPY text form, in pieces of about a megabyte.
Result<std::vector<QByteArray>> fileRows(Database& db, const char* select, const char* types,
                                         int& count) {
    std::vector<QByteArray> out(1);
    auto st = db.prepare(select);
    if (!st)
        return st.error();
    const QByteArray kinds(types);
    while (st->next()) {
        QByteArray& line = out.back();
        for (int c = 0; c < kinds.size(); ++c) {
            if (st->isNull(c))
                pg::appendCopyField(line, std::optional<QString>());
            else if (kinds[c] == 'n')
                pg::appendCopyNumber(line, st->real(c));
            else if (kinds[c] == 'i')
                pg::appendCopyField(line, QByteArray::number(qlonglong(st->int64(c))));
            else
                pg::appendCopyField(line, std::optional<QString>(st->text(c)));
        }
        pg::endCopyLine(line);
        ++count;
        if (line.size() > (1 << 20))
            out.emplace_back();
    }
    if (!st->status())
        return st->status().error();
    return out;
}

// The server's table made equal to the rows: new rows added, changed ones written, rows the
// file no longer has marked gone; a row already equal is left alone, so its version stays.
Status loadTable(pg::Connection& c, const Table& t, const std::vector<QByteArray>& rows) {
    const QByteArray name(t.name);
    const QByteArray in = "in_" + name;
    QList<QByteArray> columns = QByteArray(t.columns).split(',');
    for (QByteArray& col : columns)
        col = col.trimmed();
    const QByteArray key = columns.takeFirst();
    QByteArray set, mine, theirs;
    for (const QByteArray& col : columns) {
        const QByteArray value = t.kept.contains(col)
                                     ? "coalesce(EXCLUDED." + col + ", t." + col + ")"
                                     : "EXCLUDED." + col;
        set += col + " = " + value + ", ";
        mine += (mine.isEmpty() ? "t." : ", t.") + col;
        theirs += (theirs.isEmpty() ? "" : ", ") + value;
    }
    const QByteArray create = "CREATE TEMP TABLE " + in + " (" + t.types + ") ON COMMIT DROP";
    if (Status s = c.command(create.constData()); !s)
        return s;
    const QByteArray copy = "COPY " + in + " FROM STDIN";
    if (Status s = c.copyIn(copy.constData(), rows); !s)
        return s;
    const QByteArray merge =
        "INSERT INTO " + name + " AS t (" + t.columns + ") SELECT " + t.columns + " FROM " + in +
        " ON CONFLICT (" + key + ") DO UPDATE SET " + set +
        "cancellato = false WHERE t.cancellato" + " OR ROW(" + mine + ") IS DISTINCT FROM ROW(" +
        theirs + ");" + "UPDATE " + name +
        " t SET cancellato = true WHERE NOT t.cancellato AND NOT EXISTS (SELECT 1 FROM " + in +
        " i WHERE i." + key + " = t." + key + ");";
    return c.command(merge.constData());
}

} // namespace

Result<Counts> load(Database& file, pg::Connection& office) {
    Counts counts;
    int lists = 0;
    // The tables the file has, with their rows; principals and prices come with their tables.
    std::vector<std::pair<const Table*, std::vector<QByteArray>>> tables;
    auto take = [&](const Table& t, Result<std::vector<QByteArray>> rows) -> Status {
        if (!rows)
            return rows.error();
        tables.emplace_back(&t, std::move(*rows));
        return {};
    };
    Status s = take(kArticles, fileRows(file, kArticleRows, kArticles.kinds, counts.articles));
    if (s && hasTable(file, "MANDANTE")) {
        s = take(kPrincipals, fileRows(file, kPrincipalRows, kPrincipals.kinds, counts.principals));
        if (s && hasTable(file, "LISTINO"))
            s = take(kLists, fileRows(file, kListRows, kLists.kinds, lists));
        if (s && hasTable(file, "PREZZO_LISTINO"))
            s = take(kPrices, fileRows(file, kPriceRows, kPrices.kinds, counts.prices));
    }
    if (!s)
        return s.error();
    if (Status b = office.begin(); !b)
        return b.error();
    for (const auto& [table, rows] : tables)
        if (s)
            s = loadTable(office, *table, rows);
    if (!s) {
        office.rollback();
        return s.error();
    }
    if (Status c = office.commit(); !c)
        return c.error();
    return counts;
}

Status setOrderAddress(pg::Connection& office, const QString& principal, const QString& email) {
    const QString name = principal.simplified();
    // The principal of that name, or the only one whose name differs in case alone.
    auto changed = office.query(
        "UPDATE mandante SET email = $2 WHERE NOT cancellato AND nome = coalesce((SELECT nome"
        " FROM mandante WHERE nome = $1 AND NOT cancellato), (SELECT min(nome) FROM mandante"
        " WHERE lower(nome) = lower($1) AND NOT cancellato HAVING count(*) = 1)) RETURNING nome",
        pg::Shape("t"), pg::Params().add(name).add(email));
    if (!changed)
        return changed.error();
    if (changed->count() == 0)
        return makeError(QStringLiteral("La mandante \"%1\" non è nel catalogo della sede: "
                                        "l'indirizzo non è stato impostato.")
                             .arg(name));
    return {};
}

} // namespace catalogueload
