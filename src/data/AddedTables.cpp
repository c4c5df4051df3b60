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
    // Orders sent by e-mail: the customers' contact cards (by the customer's code), the
    // settings of the sending (the password among them, inside the encrypted file) and one row
    // per order sent, with the fingerprint of its lines at the sending.
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
    "CREATE INDEX IF NOT EXISTS INVIO_ANNO_NR ON INVIO (ANNO, NR);";

} // namespace

Status ensure(Database& db) {
    return db.exec(kStatements);
}

} // namespace addedtables
