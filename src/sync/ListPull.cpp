#include "ListPull.h"

#include "Pg.h"
#include "data/Database.h"

#include <QHash>

namespace listpull {
namespace {

// The row of the file a server row became, if any.
Result<std::optional<std::int64_t>> localId(Statement& find, std::int64_t server) {
    find.reset();
    find.bind(1, server);
    if (find.next())
        return std::optional<std::int64_t>(find.int64(0));
    if (!find.status())
        return find.status().error();
    return std::optional<std::int64_t>();
}

// The principal of that name in the file, made when the file has none; remembered for the
// rows that follow.
Result<std::int64_t> principal(Database& db, QHash<QString, std::int64_t>& known,
                               const QString& name) {
    if (auto it = known.constFind(name); it != known.cend())
        return *it;
    auto find = db.prepare("SELECT ID FROM MANDANTE WHERE NOME = ?1;");
    if (!find)
        return find.error();
    if (find->bind(1, name).next())
        return known[name] = find->int64(0);
    if (!find->status())
        return find->status().error();
    auto add = db.prepare("INSERT INTO MANDANTE (NOME) VALUES (?1);");
    if (!add)
        return add.error();
    if (Status s = add->bind(1, name).run(); !s)
        return s.error();
    return known[name] = db.lastInsertId();
}

// One kind of row: how a server row is found, written, added and taken away here.
struct Kind {
    const char* find;
    const char* update; // ?1 the file's ID, then the row's values
    const char* insert; // the row's values
    const char* remove; // ?1 the file's ID
    const char* tie;    // ?1 the server's id, ?2 the file's ID
    const char* untie;  // ?1 the server's id
};

// Writes the rows, `bindValues` binding one row's values from its first number on.
// `removed` counts the rows taken away.
template <typename BindValues>
Status apply(Database& db, const pg::Rows& rows, int deletedColumn, const Kind& k,
             BindValues bindValues, int& removed) {
    auto ready = [&](const char* sql) { return db.prepare(sql); };
    auto find = ready(k.find);
    auto update = ready(k.update);
    auto insert = ready(k.insert);
    auto remove = ready(k.remove);
    auto tie = ready(k.tie);
    auto untie = ready(k.untie);
    for (auto* st : {&find, &update, &insert, &remove, &tie, &untie})
        if (!*st)
            return st->error();
    for (int r = 0; r < rows.count(); ++r) {
        const std::int64_t server = rows.int64(r, 0);
        auto here = localId(*find, server);
        if (!here)
            return here.error();
        if (rows.boolean(r, deletedColumn)) {
            if (!*here)
                continue;
            remove->reset();
            untie->reset();
            if (Status s = remove->bind(1, **here).run(); !s)
                return s;
            if (Status s = untie->bind(1, server).run(); !s)
                return s;
            ++removed;
            continue;
        }
        if (*here) {
            update->reset();
            update->bind(1, **here);
            if (Status s = bindValues(*update, r, 2); !s)
                return s;
            if (Status s = update->run(); !s)
                return s;
            continue;
        }
        insert->reset();
        if (Status s = bindValues(*insert, r, 1); !s)
            return s;
        if (Status s = insert->run(); !s)
            return s;
        tie->reset();
        if (Status s = tie->bind(1, server).bind(2, db.lastInsertId()).run(); !s)
            return s;
    }
    return {};
}

} // namespace

Status applyLists(Database& db, const pg::Rows& rows) {
    static const Kind k{
        "SELECT ID FROM SYNC_LISTINO WHERE ID_SERVER = ?1;",
        "UPDATE LISTINO SET ID_MANDANTE = ?2, FILE = ?3, VALIDO_DAL = ?4, IMPORTATO_IL = ?5"
        " WHERE ID = ?1;",
        "INSERT INTO LISTINO (ID_MANDANTE, FILE, VALIDO_DAL, IMPORTATO_IL)"
        " VALUES (?1, ?2, ?3, ?4);",
        "DELETE FROM LISTINO WHERE ID = ?1;",
        "INSERT OR REPLACE INTO SYNC_LISTINO (ID_SERVER, ID) VALUES (?1, ?2);",
        "DELETE FROM SYNC_LISTINO WHERE ID_SERVER = ?1;"};
    QHash<QString, std::int64_t> known;
    int removed = 0;
    Status s = apply(
        db, rows, 5, k,
        [&](Statement& st, int r, int first) -> Status {
            auto who = principal(db, known, rows.text(r, 1));
            if (!who)
                return who.error();
            st.bind(first, *who).bind(first + 1, rows.textOrNull(r, 2));
            st.bind(first + 2, rows.textOrNull(r, 3)).bind(first + 3, rows.textOrNull(r, 4));
            return {};
        },
        removed);
    if (!s || removed == 0)
        return s;
    // The prices of a list withdrawn go with it, whatever the server still says of them.
    return db.exec("DELETE FROM PREZZO_LISTINO WHERE ID IN (SELECT ID FROM SYNC_PREZZO) AND"
                   " ID_LISTINO IS NOT NULL AND ID_LISTINO NOT IN (SELECT ID FROM LISTINO);"
                   "DELETE FROM SYNC_PREZZO WHERE ID NOT IN (SELECT ID FROM PREZZO_LISTINO);");
}

Status applyPrices(Database& db, const pg::Rows& rows) {
    static const Kind k{
        "SELECT ID FROM SYNC_PREZZO WHERE ID_SERVER = ?1;",
        "UPDATE PREZZO_LISTINO SET CODICE = ?2, ID_MANDANTE = ?3, PREZZO = ?4, VALIDO_DAL = ?5,"
        " ID_LISTINO = (SELECT ID FROM SYNC_LISTINO WHERE ID_SERVER = ?6) WHERE ID = ?1;",
        "INSERT INTO PREZZO_LISTINO (CODICE, ID_MANDANTE, PREZZO, VALIDO_DAL, ID_LISTINO)"
        " VALUES (?1, ?2, ?3, ?4, (SELECT ID FROM SYNC_LISTINO WHERE ID_SERVER = ?5));",
        "DELETE FROM PREZZO_LISTINO WHERE ID = ?1;",
        "INSERT OR REPLACE INTO SYNC_PREZZO (ID_SERVER, ID) VALUES (?1, ?2);",
        "DELETE FROM SYNC_PREZZO WHERE ID_SERVER = ?1;"};
    QHash<QString, std::int64_t> known;
    int removed = 0;
    return apply(
        db, rows, 6, k,
        [&](Statement& st, int r, int first) -> Status {
            auto who = principal(db, known, rows.text(r, 2));
            if (!who)
                return who.error();
            st.bind(first, rows.text(r, 1)).bind(first + 1, *who);
            st.bind(first + 2, rows.realOrNull(r, 3)).bind(first + 3, rows.text(r, 4));
            if (rows.isNull(r, 5))
                st.bindNull(first + 4);
            else
                st.bind(first + 4, rows.int64(r, 5));
            return {};
        },
        removed);
}

} // namespace listpull
