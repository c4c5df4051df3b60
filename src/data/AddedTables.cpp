#include "AddedTables.h"

#include "Database.h"
#include "Statement.h"

#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

namespace addedtables {
namespace {

// The end of the identity of the order of the OLD row, when that row was its last line (after
// the trigger's own condition, if any).
#define GESTIONE_ENDS_OLD_ORDER(condition)                                                         \
    " WHEN" condition                                                                              \
    " EXISTS (SELECT 1 FROM IDENTITA_ORDINE WHERE ANNO = OLD.ANNO AND NR = OLD.NR"                 \
    " AND CANCELLATO_IL IS NULL)"                                                                  \
    " AND NOT EXISTS (SELECT 1 FROM ORDINE WHERE ANNO = OLD.ANNO AND NR = OLD.NR)"                 \
    " BEGIN"                                                                                       \
    " UPDATE IDENTITA_ORDINE SET CANCELLATO_IL = strftime('%Y-%m-%dT%H:%M:%SZ', 'now')"            \
    " WHERE ANNO = OLD.ANNO AND NR = OLD.NR AND CANCELLATO_IL IS NULL;"                            \
    " END;"

// One block per feature; each statement is idempotent.
const char* const kStatements =
    // The principals the agent works for: the companies the orders go to.
    "CREATE TABLE IF NOT EXISTS MANDANTE ("
    " ID INTEGER PRIMARY KEY AUTOINCREMENT,"
    " NOME TEXT NOT NULL UNIQUE COLLATE NOCASE,"
    " EMAIL TEXT);"
    // The lock after minutes without use: one row while it is on.
    "CREATE TABLE IF NOT EXISTS BLOCCO_INATTIVITA ("
    " ID INTEGER PRIMARY KEY CHECK (ID = 1),"
    " MINUTI INTEGER NOT NULL CHECK (MINUTI BETWEEN 1 AND 240));"
    // Statistics: the order lines of a span of order dates, with their customer (enough for the
    // customers to visit without reading the lines).
    "CREATE INDEX IF NOT EXISTS ORDINE_DATAO_CLIENTE ON ORDINE (DATAO, ID_CL);"
    // Price lists: one row per imported list, the prices it brought, what its import changed in
    // the catalogue (to undo it) and the columns chosen per principal.
    "CREATE TABLE IF NOT EXISTS LISTINO ("
    " ID INTEGER PRIMARY KEY AUTOINCREMENT,"
    " ID_MANDANTE INTEGER NOT NULL,"
    " FILE TEXT,"
    " VALIDO_DAL DATE,"
    " IMPORTATO_IL TEXT);"
    "CREATE TABLE IF NOT EXISTS PREZZO_LISTINO ("
    " ID INTEGER PRIMARY KEY AUTOINCREMENT,"
    " CODICE TEXT NOT NULL,"
    " ID_MANDANTE INTEGER NOT NULL,"
    " PREZZO REAL NOT NULL,"
    " VALIDO_DAL DATE NOT NULL,"
    " ID_LISTINO INTEGER);"
    "CREATE INDEX IF NOT EXISTS PREZZO_LISTINO_CODICE ON PREZZO_LISTINO (CODICE, VALIDO_DAL);"
    "CREATE INDEX IF NOT EXISTS PREZZO_LISTINO_LISTINO ON PREZZO_LISTINO (ID_LISTINO);"
    "CREATE TABLE IF NOT EXISTS LISTINO_MODIFICA ("
    " ID INTEGER PRIMARY KEY AUTOINCREMENT,"
    " ID_LISTINO INTEGER NOT NULL,"
    " ID_ARTICOLO INTEGER NOT NULL,"
    " NUOVO INTEGER NOT NULL,"
    " ARTICOLO TEXT,"
    " FORMATO TEXT,"
    " PESO REAL,"
    " AGG DATE);"
    "CREATE INDEX IF NOT EXISTS LISTINO_MODIFICA_LISTINO ON LISTINO_MODIFICA (ID_LISTINO);"
    "CREATE TABLE IF NOT EXISTS LISTINO_COLONNE ("
    " ID_MANDANTE INTEGER PRIMARY KEY,"
    " CODICE TEXT, ARTICOLO TEXT, FORMATO TEXT, PESO TEXT, PREZZO TEXT);"
    // Synchronisation with the agency's server: the orders changed since they last went up
    // (CAMBIATO counts the changes, 0 once the server has them; VERSIONE and IMPRONTA are the
    // server's version of the order and the fingerprint of its lines), and the state of the last
    // sync by key. The triggers count changes only once the file takes part in a sync.
    "CREATE TABLE IF NOT EXISTS SYNC_ORDINE ("
    " ANNO TEXT NOT NULL,"
    " NR TEXT NOT NULL,"
    " CAMBIATO INTEGER NOT NULL DEFAULT 1,"
    " CAMBIATO_IL TEXT,"
    " VERSIONE INTEGER NOT NULL DEFAULT 0,"
    " IMPRONTA TEXT,"
    " PRIMARY KEY (ANNO, NR));"
    "CREATE INDEX IF NOT EXISTS SYNC_ORDINE_CAMBIATO ON SYNC_ORDINE (CAMBIATO) WHERE CAMBIATO > 0;"
    "CREATE TABLE IF NOT EXISTS SYNC_STATO (CHIAVE TEXT PRIMARY KEY NOT NULL, VALORE TEXT);"
    "CREATE TRIGGER IF NOT EXISTS SYNC_ORDINE_NUOVO AFTER INSERT ON ORDINE"
    " WHEN EXISTS (SELECT 1 FROM SYNC_STATO WHERE CHIAVE = 'attiva')"
    " BEGIN"
    " INSERT OR IGNORE INTO SYNC_ORDINE (ANNO, NR, CAMBIATO) VALUES (NEW.ANNO, NEW.NR, 0);"
    " UPDATE SYNC_ORDINE SET CAMBIATO = CAMBIATO + 1,"
    " CAMBIATO_IL = strftime('%Y-%m-%dT%H:%M:%fZ', 'now')"
    " WHERE ANNO = NEW.ANNO AND NR = NEW.NR;"
    " END;"
    "CREATE TRIGGER IF NOT EXISTS SYNC_ORDINE_CAMBIO AFTER UPDATE ON ORDINE"
    " WHEN EXISTS (SELECT 1 FROM SYNC_STATO WHERE CHIAVE = 'attiva')"
    " BEGIN"
    " INSERT OR IGNORE INTO SYNC_ORDINE (ANNO, NR, CAMBIATO) VALUES (NEW.ANNO, NEW.NR, 0);"
    " INSERT OR IGNORE INTO SYNC_ORDINE (ANNO, NR, CAMBIATO) VALUES (OLD.ANNO, OLD.NR, 0);"
    " UPDATE SYNC_ORDINE SET CAMBIATO = CAMBIATO + 1,"
    " CAMBIATO_IL = strftime('%Y-%m-%dT%H:%M:%fZ', 'now')"
    " WHERE (ANNO = NEW.ANNO AND NR = NEW.NR) OR (ANNO = OLD.ANNO AND NR = OLD.NR);"
    " END;"
    "CREATE TRIGGER IF NOT EXISTS SYNC_ORDINE_VIA AFTER DELETE ON ORDINE"
    " WHEN EXISTS (SELECT 1 FROM SYNC_STATO WHERE CHIAVE = 'attiva')"
    " BEGIN"
    " INSERT OR IGNORE INTO SYNC_ORDINE (ANNO, NR, CAMBIATO) VALUES (OLD.ANNO, OLD.NR, 0);"
    " UPDATE SYNC_ORDINE SET CAMBIATO = CAMBIATO + 1,"
    " CAMBIATO_IL = strftime('%Y-%m-%dT%H:%M:%fZ', 'now')"
    " WHERE ANNO = OLD.ANNO AND NR = OLD.NR;"
    " END;"
    // Orders sent by e-mail: the customers' contact cards (by the customer's code), the
    // settings of the sending (never its password) and one row per order sent, with the
    // fingerprint of its lines at the sending.
    "CREATE TABLE IF NOT EXISTS SCHEDA_CLIENTE ("
    " CODICE TEXT PRIMARY KEY NOT NULL,"
    " EMAIL TEXT,"
    " PEC TEXT,"
    " TELEFONO TEXT,"
    " VIA TEXT,"
    " CAP TEXT,"
    " PARTITA_IVA TEXT,"
    " CODICE_FISCALE TEXT);"
    "CREATE TABLE IF NOT EXISTS IMPOSTAZIONE_INVIO ("
    " CHIAVE TEXT PRIMARY KEY NOT NULL,"
    " VALORE TEXT);"
    // The protection of the file's secrets: where the accounts' passwords are kept (the keyring,
    // or the file itself only while it has a personal password) and the copies still to be put
    // under the file's personal password.
    "CREATE TABLE IF NOT EXISTS PROTEZIONE ("
    " CHIAVE TEXT PRIMARY KEY NOT NULL,"
    " VALORE TEXT);"
    "CREATE TABLE IF NOT EXISTS INVIO ("
    " ID INTEGER PRIMARY KEY AUTOINCREMENT,"
    " ANNO TEXT NOT NULL,"
    " NR TEXT NOT NULL,"
    " INVIATO_IL TEXT NOT NULL,"
    " DESTINATARI TEXT NOT NULL,"
    " ALLEGATI TEXT,"
    " RISPOSTA TEXT,"
    " MESSAGE_ID TEXT,"
    " IMPRONTA TEXT);"
    "CREATE INDEX IF NOT EXISTS INVIO_ANNO_NR ON INVIO (ANNO, NR);"
    // The identity of an order beyond its year and number, which the next new order takes
    // again once the order is deleted: one row from the first sending of an order, ended
    // (CANCELLATO_IL) when its last line goes, whoever deletes it. The sendings belong to it
    // (INVIO.ID_ORDINE, added below), so a deleted order's sendings stay its history and are
    // never lent to the next order of that number.
    "CREATE TABLE IF NOT EXISTS IDENTITA_ORDINE ("
    " ID INTEGER PRIMARY KEY AUTOINCREMENT,"
    " ANNO TEXT NOT NULL,"
    " NR TEXT NOT NULL,"
    " CANCELLATO_IL TEXT);"
    "CREATE UNIQUE INDEX IF NOT EXISTS IDENTITA_ORDINE_VIVA ON IDENTITA_ORDINE (ANNO, NR)"
    " WHERE CANCELLATO_IL IS NULL;"
    // clang-format off
    "CREATE TRIGGER IF NOT EXISTS IDENTITA_ORDINE_CANCELLATO AFTER DELETE ON ORDINE"
    GESTIONE_ENDS_OLD_ORDER("")
    "CREATE TRIGGER IF NOT EXISTS IDENTITA_ORDINE_SPOSTATO AFTER UPDATE OF ANNO, NR ON ORDINE"
    GESTIONE_ENDS_OLD_ORDER(" (OLD.ANNO IS NOT NEW.ANNO OR OLD.NR IS NOT NEW.NR) AND")
    // clang-format on
    // Synchronisation: the office's price lists and prices taken from the server, each by the
    // server's number beside the row it became in this file.
    "CREATE TABLE IF NOT EXISTS SYNC_LISTINO (ID_SERVER INTEGER PRIMARY KEY, ID INTEGER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS SYNC_PREZZO (ID_SERVER INTEGER PRIMARY KEY, ID INTEGER NOT NULL);"
    // Synchronisation: customers. One row per customer of the file that takes part (CLIENTE's
    // ID): the office's (SEDE = 1, read-only here) or this agent's, with the code and version it
    // has on the server and the changes not yet sent (CAMBIATO). A deleted customer of the agent
    // keeps its row until the server knows. An agent's change to an office customer waits in
    // SYNC_RICHIESTA as a request until a sync sends it (CHIAVE makes the sending count once).
    "CREATE TABLE IF NOT EXISTS SYNC_CLIENTE ("
    " ID INTEGER PRIMARY KEY,"
    " SEDE INTEGER NOT NULL DEFAULT 0,"
    " CODICE TEXT,"
    " VERSIONE INTEGER NOT NULL DEFAULT 0,"
    " CAMBIATO INTEGER NOT NULL DEFAULT 0);"
    "CREATE INDEX IF NOT EXISTS SYNC_CLIENTE_SEDE ON SYNC_CLIENTE (CODICE) WHERE SEDE = 1;"
    // The customers waiting to go up, found without reading the whole register's rows.
    "CREATE INDEX IF NOT EXISTS SYNC_CLIENTE_CAMBIATO ON SYNC_CLIENTE (ID) WHERE CAMBIATO > 0;"
    "CREATE TABLE IF NOT EXISTS SYNC_RICHIESTA ("
    " ID INTEGER PRIMARY KEY AUTOINCREMENT,"
    " CHIAVE TEXT NOT NULL UNIQUE,"
    " CODICE TEXT NOT NULL,"
    " SOGGETTO TEXT,"
    " CITTA TEXT,"
    " PROVINCIA TEXT,"
    " CHIESTA_IL TEXT NOT NULL,"
    " INVIATA INTEGER NOT NULL DEFAULT 0,"
    " STATO TEXT NOT NULL DEFAULT 'aperta');"
    // Codes of the agent's customers on the server that the office's took over here: the next
    // push withdraws them.
    "CREATE TABLE IF NOT EXISTS SYNC_CLIENTE_VIA (CODICE TEXT PRIMARY KEY NOT NULL);"
    "CREATE TRIGGER IF NOT EXISTS SYNC_CLIENTE_NUOVO AFTER INSERT ON CLIENTE"
    " WHEN EXISTS (SELECT 1 FROM SYNC_STATO WHERE CHIAVE = 'clienti')"
    " BEGIN"
    " INSERT OR IGNORE INTO SYNC_CLIENTE (ID) VALUES (NEW.ID);"
    " UPDATE SYNC_CLIENTE SET CAMBIATO = CAMBIATO + 1 WHERE ID = NEW.ID AND SEDE = 0;"
    " END;"
    "CREATE TRIGGER IF NOT EXISTS SYNC_CLIENTE_CAMBIO AFTER UPDATE ON CLIENTE"
    " WHEN EXISTS (SELECT 1 FROM SYNC_STATO WHERE CHIAVE = 'clienti')"
    " BEGIN"
    " INSERT OR IGNORE INTO SYNC_CLIENTE (ID) VALUES (NEW.ID);"
    " UPDATE SYNC_CLIENTE SET CAMBIATO = CAMBIATO + 1 WHERE ID IN (NEW.ID, OLD.ID) AND SEDE = 0;"
    " END;"
    "CREATE TRIGGER IF NOT EXISTS SYNC_CLIENTE_VIA AFTER DELETE ON CLIENTE"
    " WHEN EXISTS (SELECT 1 FROM SYNC_STATO WHERE CHIAVE = 'clienti')"
    " BEGIN"
    " UPDATE SYNC_CLIENTE SET CAMBIATO = CAMBIATO + 1 WHERE ID = OLD.ID AND SEDE = 0;"
    " DELETE FROM SYNC_CLIENTE WHERE ID = OLD.ID AND SEDE = 1;"
    " END;";

// The search of the orders by what their lines hold: every text of the lines (the article's
// description and code, the destination, the notes) once, and for each the lines holding it with
// their order date as a number (yyyymmdd, 0 for none). A search then reads the distinct texts,
// not every line, and the lines of the texts found newest first. The triggers keep both in step
// with ORDINE whoever writes, with the engine's own functions only.
const char* const kSearchTables = "CREATE TABLE IF NOT EXISTS CERCA_TESTO ("
                                  " ID INTEGER PRIMARY KEY,"
                                  " TESTO TEXT NOT NULL UNIQUE CHECK (TESTO <> ''));"
                                  "CREATE TABLE IF NOT EXISTS CERCA_RIGA ("
                                  " ID_TESTO INTEGER NOT NULL,"
                                  " GIORNO INTEGER NOT NULL,"
                                  " ID_RIGA INTEGER NOT NULL,"
                                  " PRIMARY KEY (ID_TESTO, GIORNO, ID_RIGA)) WITHOUT ROWID;";

// The line `row` (NEW or OLD) in the search's tables: its texts, and an entry for each with its
// order date, or out (with the texts no line holds any more). No statement here meets a
// constraint: the conflict clause of the statement that fired the trigger (INSERT OR REPLACE,
// UPDATE OR FAIL...) would stand for any the trigger names.
// clang-format off
#define GESTIONE_SEARCH_LINE_IN(row)                                                               \
    " INSERT INTO CERCA_TESTO (TESTO) SELECT X FROM (SELECT " row ".ARTICOLO AS X"                 \
    " UNION SELECT " row ".CODICE UNION SELECT " row ".DEST UNION SELECT " row ".NOTE)"            \
    " WHERE X IS NOT NULL AND X <> ''"                                                             \
    " AND NOT EXISTS (SELECT 1 FROM CERCA_TESTO WHERE TESTO = X);"                                 \
    " INSERT INTO CERCA_RIGA (ID_TESTO, GIORNO, ID_RIGA)"                                          \
    " SELECT ID, COALESCE(CAST(replace(" row ".DATAO, '-', '') AS INTEGER), 0), " row ".rowid"     \
    " FROM CERCA_TESTO"                                                                            \
    " WHERE TESTO IN (" row ".ARTICOLO, " row ".CODICE, " row ".DEST, " row ".NOTE)"               \
    " AND NOT EXISTS (SELECT 1 FROM CERCA_RIGA WHERE ID_TESTO = CERCA_TESTO.ID"                    \
    " AND GIORNO = COALESCE(CAST(replace(" row ".DATAO, '-', '') AS INTEGER), 0)"                  \
    " AND ID_RIGA = " row ".rowid);"
#define GESTIONE_SEARCH_LINE_OUT(row)                                                              \
    " DELETE FROM CERCA_RIGA WHERE ID_TESTO IN (SELECT ID FROM CERCA_TESTO"                        \
    " WHERE TESTO IN (" row ".ARTICOLO, " row ".CODICE, " row ".DEST, " row ".NOTE))"              \
    " AND GIORNO = COALESCE(CAST(replace(" row ".DATAO, '-', '') AS INTEGER), 0)"                  \
    " AND ID_RIGA = " row ".rowid;"                                                                \
    " DELETE FROM CERCA_TESTO"                                                                     \
    " WHERE TESTO IN (" row ".ARTICOLO, " row ".CODICE, " row ".DEST, " row ".NOTE)"               \
    " AND NOT EXISTS (SELECT 1 FROM CERCA_RIGA WHERE ID_TESTO = CERCA_TESTO.ID);"

struct Trigger {
    const char* name;
    // As the file keeps it (without the final semicolon).
    const char* create;
};

// The triggers that keep the search's tables in step with ORDINE.
const Trigger kSearchTriggers[] = {
    {"CERCA_RIGA_NUOVA",
     "CREATE TRIGGER CERCA_RIGA_NUOVA AFTER INSERT ON ORDINE BEGIN"
     GESTIONE_SEARCH_LINE_IN("NEW") " END"},
    {"CERCA_RIGA_CAMBIO",
     "CREATE TRIGGER CERCA_RIGA_CAMBIO AFTER UPDATE OF ID, DATAO, ARTICOLO, CODICE, DEST, NOTE"
     " ON ORDINE BEGIN" GESTIONE_SEARCH_LINE_OUT("OLD") GESTIONE_SEARCH_LINE_IN("NEW") " END"},
    {"CERCA_RIGA_VIA",
     "CREATE TRIGGER CERCA_RIGA_VIA AFTER DELETE ON ORDINE BEGIN"
     GESTIONE_SEARCH_LINE_OUT("OLD") " END"},
};
// clang-format on

#undef GESTIONE_SEARCH_LINE_IN
#undef GESTIONE_SEARCH_LINE_OUT

// Both tables made again from the lines.
const char* const kSearchFill =
    "DELETE FROM CERCA_RIGA;"
    "DELETE FROM CERCA_TESTO;"
    "INSERT OR IGNORE INTO CERCA_TESTO (TESTO)"
    " SELECT ARTICOLO FROM ORDINE UNION SELECT CODICE FROM ORDINE"
    " UNION SELECT DEST FROM ORDINE UNION SELECT NOTE FROM ORDINE;"
    "INSERT OR IGNORE INTO CERCA_RIGA (ID_TESTO, GIORNO, ID_RIGA)"
    " SELECT T.ID, COALESCE(CAST(replace(O.DATAO, '-', '') AS INTEGER), 0), O.rowid"
    " FROM ORDINE O, CERCA_TESTO T WHERE T.TESTO IN (O.ARTICOLO, O.CODICE, O.DEST, O.NOTE)"
    " ORDER BY 1, 2, 3;";

Status dropTrigger(Database& db, const Trigger& t) {
    return db.exec("DROP TRIGGER IF EXISTS " + std::string(t.name) + ";");
}

// The tables, filled from the lines when a trigger is missing (once, or when one went: the
// tables may have missed writes since); a trigger of another text (an earlier version's) is
// made again.
Status ensureSearch(Database& db) {
    if (Status s = db.exec(kSearchTables); !s)
        return s;
    auto st = db.prepare("SELECT sql FROM sqlite_master WHERE type = 'trigger' AND "
                         "tbl_name = 'ORDINE' AND name = ?1;");
    if (!st)
        return st.error();
    bool missing = false;
    std::vector<const Trigger*> stale;
    for (const Trigger& t : kSearchTriggers) {
        st->reset();
        st->bind(1, t.name);
        if (!st->next()) {
            if (!st->status())
                return st->status();
            missing = true;
        } else if (st->utf8(0) != t.create) {
            stale.push_back(&t);
        }
    }
    st->reset();
    if (missing) {
        stale.clear();
        for (const Trigger& t : kSearchTriggers)
            stale.push_back(&t);
        if (Status s = db.exec(kSearchFill); !s)
            return s;
    }
    for (const Trigger* t : stale) {
        if (Status s = dropTrigger(db, *t); !s)
            return s;
        if (Status s = db.exec(std::string(t->create) + ";"); !s)
            return s;
    }
    return {};
}

#undef GESTIONE_ENDS_OLD_ORDER

// Sendings recorded before they had an identity and an outcome: each belongs to the order of
// its year and number if there is one now (as it was shown then), else to a deleted one.
const char* const kOldSendings =
    "INSERT INTO IDENTITA_ORDINE (ANNO, NR, CANCELLATO_IL)"
    " SELECT DISTINCT ANNO, NR,"
    " CASE WHEN EXISTS (SELECT 1 FROM ORDINE WHERE ORDINE.ANNO = INVIO.ANNO"
    " AND ORDINE.NR = INVIO.NR) THEN NULL ELSE strftime('%Y-%m-%dT%H:%M:%SZ', 'now') END"
    " FROM INVIO WHERE ID_ORDINE IS NULL AND NOT EXISTS (SELECT 1 FROM IDENTITA_ORDINE"
    " WHERE IDENTITA_ORDINE.ANNO = INVIO.ANNO AND IDENTITA_ORDINE.NR = INVIO.NR"
    " AND IDENTITA_ORDINE.CANCELLATO_IL IS NULL);"
    "UPDATE INVIO SET ID_ORDINE = (SELECT ID FROM IDENTITA_ORDINE"
    " WHERE IDENTITA_ORDINE.ANNO = INVIO.ANNO AND IDENTITA_ORDINE.NR = INVIO.NR"
    " ORDER BY IDENTITA_ORDINE.CANCELLATO_IL IS NULL DESC, IDENTITA_ORDINE.ID DESC LIMIT 1)"
    " WHERE ID_ORDINE IS NULL;";

// Adds the column when the table lacks it (a file of an earlier version).
Status addColumn(Database& db, const char* table, const char* column, const char* type) {
    auto st = db.prepare("PRAGMA table_info(" + std::string(table) + ");");
    if (!st)
        return st.error();
    while (st->next())
        if (st->text(1).compare(QLatin1String(column), Qt::CaseInsensitive) == 0)
            return {};
    if (Status s = st->status(); !s)
        return s;
    return db.exec("ALTER TABLE " + std::string(table) + " ADD COLUMN " + column + " " + type +
                   ";");
}

// The file's version is too high for this program.
Error newerFile() {
    return makeError(QStringLiteral("il file dei dati è stato creato da una versione più recente "
                                    "del programma: aggiornare Gestione Ordini per aprirlo"));
}

// Each step brings a file of the version before it to its own, in the caller's transaction, and
// stores that version last. A step, once in a program given to users, never changes: a later
// change is a step after it. None of them touches the five tables of the register.

// What an earlier version left that IF NOT EXISTS never takes back.
const char* const kStaleOfEarlierVersions =
    // The index of the customers by their code on the server held the agent's too; the office's
    // alone are now in SYNC_CLIENTE_SEDE.
    "DROP INDEX IF EXISTS SYNC_CLIENTE_CODICE;";

// Version 1: every file made before there were versions (the earlier program's, or this one's
// with some of the added tables or all), brought to the tables of the first versioned program.
Status step1(Database& db) {
    if (Status s = db.exec(kStaleOfEarlierVersions); !s)
        return s;
    if (Status s = ensure(db); !s)
        return s;
    return db.exec("PRAGMA user_version = 1;");
}

using Step = Status (*)(Database&);

// The step to version n is kSteps[n - 1].
const Step kSteps[] = {step1};
static_assert(std::size(kSteps) == std::size_t(kVersion), "one step for each version");

// The step from version `from`, then the version it stored.
Status runStep(Database& db, int from) {
    if (Status s = kSteps[from](db); !s)
        return s;
    auto now = version(db);
    if (!now)
        return now.error();
    if (*now != from + 1)
        return makeError(QStringLiteral("l'aggiornamento del file alla versione %1 non è riuscito")
                             .arg(from + 1));
    return {};
}

} // namespace

Result<int> version(Database& db) {
    auto st = db.prepare("PRAGMA user_version;");
    if (!st)
        return st.error();
    if (!st->next())
        return st->status() ? makeError(QStringLiteral("la versione del file non si legge"))
                            : st->status().error();
    const std::int64_t v = st->int64(0);
    if (v < 0)
        return makeError(QStringLiteral("la versione del file (%1) non è valida").arg(v));
    return int(v);
}

Status checkVersion(Database& db) {
    auto v = version(db);
    if (!v)
        return v.error();
    if (*v > kVersion)
        return newerFile();
    return {};
}

Status upgrade(Database& db) {
    auto v = version(db);
    if (!v)
        return v.error();
    if (*v > kVersion)
        return newerFile();
    while (*v < kVersion) {
        // Read again inside the transaction: another program may have taken the file meanwhile.
        Status s = db.write([&]() -> Status {
            v = version(db);
            if (!v)
                return v.error();
            if (*v > kVersion)
                return newerFile();
            if (*v == kVersion)
                return {};
            return runStep(db, *v);
        });
        if (!s)
            return s;
        v = version(db);
        if (!v)
            return v.error();
    }
    return {};
}

Status makeAll(Database& db) {
    auto v = version(db);
    if (!v)
        return v.error();
    if (*v > kVersion)
        return newerFile();
    for (int from = *v; from < kVersion; ++from)
        if (Status s = runStep(db, from); !s)
            return s;
    return {};
}

Status ensure(Database& db) {
    if (Status s = db.exec(kStatements); !s)
        return s;
    // The sendings' order and outcome (NULL for one recorded before there were outcomes: sent).
    if (Status s = addColumn(db, "INVIO", "ID_ORDINE", "INTEGER"); !s)
        return s;
    if (Status s = addColumn(db, "INVIO", "ESITO", "TEXT"); !s)
        return s;
    if (Status s = db.exec("CREATE INDEX IF NOT EXISTS INVIO_ID_ORDINE ON INVIO (ID_ORDINE, ID);");
        !s)
        return s;
    // What a list's import wrote beside what it found: the fields it changed (CAMPI: 1 the
    // description, 2 the format, 4 the weight) and, for an article it changed, their values after
    // it (DOPO_...; an article it added holds what was recorded), so that its
    // undoing takes back only those, and only where the article still holds them. A row of an
    // earlier version has CAMPI NULL and the earlier values only.
    if (Status s = addColumn(db, "LISTINO_MODIFICA", "CAMPI", "INTEGER"); !s)
        return s;
    if (Status s = addColumn(db, "LISTINO_MODIFICA", "DOPO_ARTICOLO", "TEXT"); !s)
        return s;
    if (Status s = addColumn(db, "LISTINO_MODIFICA", "DOPO_FORMATO", "TEXT"); !s)
        return s;
    if (Status s = addColumn(db, "LISTINO_MODIFICA", "DOPO_PESO", "REAL"); !s)
        return s;
    if (Status s = addColumn(db, "LISTINO_MODIFICA", "DOPO_AGG", "DATE"); !s)
        return s;
    // The column of the pieces in a carton chosen for the principal's list.
    if (Status s = addColumn(db, "LISTINO_COLONNE", "PEZZI", "TEXT"); !s)
        return s;
    bool any = false;
    {
        auto old = db.prepare("SELECT 1 FROM INVIO WHERE ID_ORDINE IS NULL LIMIT 1;");
        if (!old)
            return old.error();
        any = old->next();
        if (Status s = old->status(); !s)
            return s;
    }
    if (any)
        if (Status s = db.exec(kOldSendings); !s)
            return s;
    return ensureSearch(db);
}

Status repairSearch(Database& db) {
    return ensureSearch(db);
}

Status setAsideSearch(Database& db) {
    for (const Trigger& t : kSearchTriggers)
        if (Status s = dropTrigger(db, t); !s)
            return s;
    return {};
}

} // namespace addedtables
