#include "AddedTables.h"

#include "Database.h"

namespace addedtables {
namespace {

// One block per feature; each statement is idempotent.
const char* const kStatements =
    // The principals the agent works for: the companies the orders go to.
    "CREATE TABLE IF NOT EXISTS MANDANTE ("
    " ID INTEGER PRIMARY KEY AUTOINCREMENT,"
    " NOME TEXT NOT NULL UNIQUE COLLATE NOCASE,"
    " EMAIL TEXT);"
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
    " END;";

} // namespace

Status ensure(Database& db) {
    return db.exec(kStatements);
}

} // namespace addedtables
