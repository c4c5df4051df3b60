#include "Schema.h"

#include "AddedTables.h"
#include "Database.h"

#include <QStringList>

#include <string>

namespace schema {
namespace {

// Dates are kept as yyyy-mm-dd texts; numbers as numbers. The checks refuse what the columns
// cannot hold, whoever writes.
#define GESTIONE_DATE_CHECK(col)                                                                   \
    "CHECK (" col " IS NULL OR (" col " GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]' "        \
    "AND length(" col ") = 10))"
#define GESTIONE_NUMBER_CHECK(col)                                                                 \
    "CHECK (" col " IS NULL OR typeof(" col ") IN ('integer', 'real'))"

const char* const kTables =
    "CREATE TABLE UTENTE ("
    " ID INTEGER PRIMARY KEY AUTOINCREMENT,"
    " UTENTE TEXT,"
    " VIA TEXT,"
    " CAP TEXT CHECK (CAP IS NULL OR length(CAP) <= 5),"
    " CITTA TEXT,"
    " PR TEXT CHECK (PR IS NULL OR length(PR) <= 2));"
    "CREATE TABLE CLIENTE ("
    " ID INTEGER PRIMARY KEY AUTOINCREMENT,"
    " CODICE TEXT CHECK (CODICE IS NULL OR length(CODICE) <= 11),"
    " SOGGETTO TEXT,"
    " CITTA TEXT,"
    " PROVINCIA TEXT);"
    "CREATE TABLE ARTICOLO ("
    " ID INTEGER PRIMARY KEY AUTOINCREMENT,"
    " CODICE TEXT CHECK (CODICE IS NULL OR length(CODICE) <= 13),"
    " ARTICOLO TEXT,"
    " FORMATO TEXT,"
    " PESO REAL " GESTIONE_NUMBER_CHECK(
        "PESO") ","
                " AGG DATE " GESTIONE_DATE_CHECK(
                    "AGG") ");"
                           "CREATE TABLE ORDINE ("
                           " ID INTEGER PRIMARY KEY AUTOINCREMENT,"
                           " ANNO TEXT NOT NULL,"
                           " NR TEXT NOT NULL,"
                           " ID_CL TEXT,"
                           " DATAO DATE " GESTIONE_DATE_CHECK(
                               "DATAO") ","
                                        " DATAC DATE " GESTIONE_DATE_CHECK(
                                            "DATAC") ","
                                                     " DEST TEXT,"
                                                     " CITTA TEXT,"
                                                     " PR TEXT,"
                                                     " ARTICOLO TEXT,"
                                                     " CODICE TEXT,"
                                                     " FORMATO TEXT,"
                                                     " PESO REAL " GESTIONE_NUMBER_CHECK(
                                                         "PESO") ","
                                                                 " QVENDITA "
                                                                 "REAL " GESTIONE_NUMBER_CHECK(
                                                                     "QVENDITA") ","
                                                                                 " QOMAGGIO "
                                                                                 "REAL"
                                                                                 " " GESTIONE_NUMBER_CHECK(
                                                                                     "QOMAGGIO") ","
                                                                                                 " "
                                                                                                 "P"
                                                                                                 "R"
                                                                                                 "E"
                                                                                                 "Z"
                                                                                                 "Z"
                                                                                                 "O"
                                                                                                 " "
                                                                                                 "R"
                                                                                                 "E"
                                                                                                 "A"
                                                                                                 "L"
                                                                                                 " " GESTIONE_NUMBER_CHECK(
                                                                                                     "PREZZO") ","
                                                                                                               " SCONTO REAL " GESTIONE_NUMBER_CHECK(
                                                                                                                   "SCONTO") ","
                                                                                                                             " NOTE TEXT);"
                                                                                                                             "CREATE TABLE ANNO (ANNO TEXT PRIMARY KEY NOT NULL);";

#undef GESTIONE_DATE_CHECK
#undef GESTIONE_NUMBER_CHECK

struct Table {
    const char* name;
    QStringList columns; // in their order when the order binds
    bool ordered;
};

const Table kExpected[] = {
    {"UTENTE", {"ID", "UTENTE", "VIA", "CAP", "CITTA", "PR"}, false},
    {"CLIENTE", {"ID", "CODICE", "SOGGETTO", "CITTA", "PROVINCIA"}, true},
    {"ARTICOLO", {"ID", "CODICE", "ARTICOLO", "FORMATO", "PESO", "AGG"}, true},
    {"ORDINE",
     {"ID", "ANNO", "NR", "ID_CL", "DATAO", "DATAC", "DEST", "CITTA", "PR", "ARTICOLO", "CODICE",
      "FORMATO", "PESO", "QVENDITA", "QOMAGGIO", "PREZZO", "SCONTO", "NOTE"},
     false},
    {"ANNO", {"ANNO"}, false},
};

std::string indexSql() {
    return
        // Lines of one order, and the listing of a year in number order.
        "CREATE INDEX IF NOT EXISTS ORDINE_ANNO_NR ON ORDINE (ANNO, NR);"
        // The highest number of a year, read from the end of the index.
        "CREATE INDEX IF NOT EXISTS ORDINE_NUMERO ON ORDINE (ANNO, CAST(NR AS INTEGER));"
        // Numbers the numbering cannot read; normally empty.
        "CREATE INDEX IF NOT EXISTS ORDINE_NR_ILLEGGIBILI ON ORDINE (ANNO) WHERE NOT " +
        std::string(kReadableNumber) +
        ";"
        // Orders of a customer, and the customer of an order.
        "CREATE INDEX IF NOT EXISTS ORDINE_ID_CL ON ORDINE (ID_CL);"
        "CREATE INDEX IF NOT EXISTS CLIENTE_CODICE ON CLIENTE (CODICE);"
        // The distinct values that the combos offer.
        "CREATE INDEX IF NOT EXISTS ORDINE_PR ON ORDINE (PR);"
        "CREATE INDEX IF NOT EXISTS ORDINE_CITTA ON ORDINE (CITTA);"
        "CREATE INDEX IF NOT EXISTS ORDINE_DEST ON ORDINE (DEST);"
        "CREATE INDEX IF NOT EXISTS CLIENTE_CITTA ON CLIENTE (CITTA);"
        "CREATE INDEX IF NOT EXISTS CLIENTE_PROVINCIA ON CLIENTE (PROVINCIA);";
}

} // namespace

QByteArray password() {
    return QByteArrayLiteral("ToRe4713");
}

Status create(Database& db) {
    return db.write([&]() -> Status {
        if (Status s = db.exec(kTables); !s)
            return s;
        if (Status s = db.exec(indexSql()); !s)
            return s;
        return addedtables::makeAll(db);
    });
}

Status ensureIndexes(Database& db) {
    // The steps the file lacks first, each in a transaction of its own.
    if (Status s = addedtables::upgrade(db); !s)
        return s;
    return db.write([&]() -> Status {
        if (Status s = db.exec(indexSql()); !s)
            return s;
        return addedtables::repairSearch(db);
    });
}

Status prepareOpened(Database& db) {
    if (Status s = verify(db); !s)
        return s;
    db.keepOwnerOnly();
    return ensureIndexes(db);
}

Status verify(Database& db) {
    for (const Table& t : kExpected) {
        // The table names are the program's own constants.
        auto st = db.prepare("PRAGMA table_info(" + std::string(t.name) + ");");
        QStringList have;
        if (st) {
            while (st->next())
                have << st->text(1).toUpper();
        }
        if (!st || !st->status())
            return st ? st->status() : Status(st.error());
        if (have.isEmpty())
            return makeError(
                QStringLiteral("il file non contiene la tabella %1").arg(QLatin1String(t.name)));
        for (qsizetype i = 0; i < t.columns.size(); ++i) {
            const QString& col = t.columns[i];
            const bool present =
                t.ordered ? (i < have.size() && have[i] == col) : have.contains(col);
            if (!present)
                return makeError(
                    t.ordered
                        ? QStringLiteral("la colonna %2 della tabella %1 manca o non è al suo "
                                         "posto")
                              .arg(QLatin1String(t.name), col)
                        : QStringLiteral("la tabella %1 non ha la colonna %2")
                              .arg(QLatin1String(t.name), col));
        }
    }
    return addedtables::checkVersion(db);
}

} // namespace schema
