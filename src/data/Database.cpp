#include "Database.h"

#include "text/Collation.h"
#include "text/TextMatch.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString nativePath(const QString& path) {
    return QFileInfo(path).absoluteFilePath();
}

bool anyWriteBit(const struct stat& st) {
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

bool anyReadBit(const struct stat& st) {
    return (st.st_mode & (S_IRUSR | S_IRGRP | S_IROTH)) != 0;
}

// The files the engine keeps beside the database while it works on it.
constexpr const char* kJournalSuffixes[] = {"-wal", "-shm", "-journal"};

// Takes every right of the group and of others away from a plain file of the user's own; a
// file of another user, or a link, is left as it is.
void ownerOnly(const QByteArray& path) {
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
        return;
    if ((st.st_mode & 077) != 0)
        ::chmod(path.constData(), S_IRUSR | S_IWUSR);
}

} // namespace

bool isNotADatabase(const Error& e) {
    return (e.code & 0xFF) == SQLITE_NOTADB;
}

bool isDamagedFile(const Error& e) {
    return (e.code & 0xFF) == SQLITE_CORRUPT;
}

bool isRefusedValue(const Error& e) {
    return (e.code & 0xFF) == SQLITE_CONSTRAINT;
}

Error notADatabase(QString text) {
    return makeError(std::move(text), SQLITE_NOTADB);
}

Error damagedFile() {
    return makeError(describeEngineCode(SQLITE_CORRUPT), SQLITE_CORRUPT);
}

QString describeEngineCode(int rc) {
    switch (rc & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("il file del database è bloccato da un altro programma");
    case SQLITE_READONLY:
        return QStringLiteral("il file del database è di sola lettura");
    case SQLITE_NOTADB:
        return QStringLiteral("password errata, oppure il file non è un database valido");
    case SQLITE_CORRUPT:
        return QStringLiteral("il file del database è danneggiato");
    case SQLITE_FULL:
        return QStringLiteral("il disco è pieno");
    case SQLITE_IOERR:
        return QStringLiteral("errore di lettura o scrittura sul disco");
    case SQLITE_CANTOPEN:
        return QStringLiteral("il file del database non si può aprire");
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return QStringLiteral("accesso al file del database negato");
    case SQLITE_CONSTRAINT:
        return QStringLiteral("un valore non è ammesso dalla tabella");
    case SQLITE_MISMATCH:
        return QStringLiteral("un valore non è del tipo richiesto dalla colonna");
    case SQLITE_TOOBIG:
        return QStringLiteral("un valore è troppo lungo");
    case SQLITE_NOMEM:
        return QStringLiteral("memoria insufficiente");
    case SQLITE_ERROR:
        return QStringLiteral("errore nell'istruzione del database");
    default:
        return QStringLiteral("errore del database");
    }
}

Result<std::unique_ptr<Database>> Database::open(const QString& path, const QByteArray& key) {
    return open(path, key, Options{});
}

Result<std::unique_ptr<Database>> Database::open(const QString& path, const QByteArray& key,
                                                 const Options& options) {
    return open(path, FileKey{key, FileKey::kBuiltInRounds, false}, options);
}

Result<std::unique_ptr<Database>> Database::open(const QString& path, const FileKey& key) {
    return open(path, key, Options{});
}

Result<std::unique_ptr<Database>> Database::open(const QString& path, const FileKey& key,
                                                 const Options& options) {
    const QString file = nativePath(path);
    const QByteArray local = file.toLocal8Bit();
    struct stat st {};
    const bool exists = ::stat(local.constData(), &st) == 0;

    if (!options.create) {
        if (!exists)
            return makeError(QStringLiteral("il file non esiste"), SQLITE_CANTOPEN);
        if (!S_ISREG(st.st_mode))
            return makeError(QStringLiteral("non è un file"), SQLITE_CANTOPEN);
        if (::access(local.constData(), R_OK) != 0 || !anyReadBit(st))
            return makeError(QStringLiteral("il file non si può leggere (permessi insufficienti)"),
                             SQLITE_PERM);
        if (::access(local.constData(), W_OK) != 0 || !anyWriteBit(st))
            return makeError(QStringLiteral("il file è di sola lettura"), SQLITE_READONLY);
        const QByteArray dir = QFileInfo(file).absolutePath().toLocal8Bit();
        if (::access(dir.constData(), W_OK | X_OK) != 0)
            return makeError(QStringLiteral("la cartella del file è di sola lettura"),
                             SQLITE_READONLY);
    } else if (exists) {
        return makeError(QStringLiteral("il file esiste già"), SQLITE_CANTOPEN);
    }

    std::unique_ptr<Database> db(new Database());
    db->m_path = file;

    if (options.create) {
        // The agent's data is for the agent alone: the new file is readable by its owner only,
        // whatever the umask, and the engine gives its journals the same rights.
        db->m_fileFd =
            ::open(local.constData(), O_RDONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
        if (db->m_fileFd < 0)
            return errno == EEXIST
                       ? makeError(QStringLiteral("il file esiste già"), SQLITE_CANTOPEN)
                       : makeError(QStringLiteral("il file non si può creare"), SQLITE_CANTOPEN);
    }

    int rc = sqlite3_open_v2(local.constData(), &db->m_db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK)
        return db->engineError(rc);
    db->m_watch.attach(db->m_db);

    if (db->m_fileFd < 0)
        db->m_fileFd = ::open(local.constData(), O_RDONLY | O_CLOEXEC);
    if (db->m_fileFd < 0)
        return makeError(QStringLiteral("il file non si può aprire"), SQLITE_CANTOPEN);
    // The lock is taken by every copy of the program, but any other program can take one too:
    // who holds it cannot be told.
    if (options.exclusive && ::flock(db->m_fileFd, LOCK_EX | LOCK_NB) != 0)
        return makeError(QStringLiteral("il file è già in uso da un altro programma (forse "
                                        "un'altra copia di Gestione Ordini)"),
                         SQLITE_BUSY);
    db->m_watch.watchFile(db->m_fileFd);
    struct stat own {};
    if (::fstat(db->m_fileFd, &own) == 0) {
        db->m_dev = own.st_dev;
        db->m_ino = own.st_ino;
    }

    rc = sqlite3_key(db->m_db, key.secret.constData(), int(key.secret.size()));
    if (rc != SQLITE_OK)
        return db->engineError(rc);
    // Cipher settings fixed by the kind of key, so the file does not depend on a library
    // version's defaults.
    if (Status s = db->exec(key.cipherSettings().toStdString()); !s)
        return s.error();

    // The first read of the file tells whether the key fits.
    rc = sqlite3_exec(db->m_db, "SELECT count(*) FROM sqlite_master;", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        return db->engineError(rc);
    db->m_established = true;
    db->m_key = key;
    // A new file has no header until its first write; endWrite takes it then.
    auto header = db->readHeader();
    if (!header)
        return header.error();
    db->m_header = *header;

    db->setBusyTimeout(options.busyTimeoutMs);
    // Nothing is written before the first write: a file that turns out not to be the program's
    // is left as it was. The journal mode, which writes the file's header, waits for then.
    if (Status s = db->exec("PRAGMA synchronous = FULL;"); !s)
        return s.error();
    // A page cache of up to 32 MB instead of the engine's 2000 pages: the customer and article
    // tables stay in it whole, so a search that reads them at every keystroke does not decrypt
    // their pages again each time (on 100k customers and 50k articles, 75 ms a keystroke
    // becomes 44 ms).
    if (Status s = db->exec("PRAGMA cache_size = -32768;"); !s)
        return s.error();
    rc = collation::registerOn(db->m_db);
    if (rc == SQLITE_OK)
        rc = textmatch::registerOn(db->m_db);
    if (rc != SQLITE_OK)
        return db->engineError(rc);
    return db;
}

Database::~Database() {
    close();
}

void Database::close() {
    if (m_db) {
        m_watch.detach();
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    if (m_fileFd >= 0) {
        ::close(m_fileFd);
        m_fileFd = -1;
    }
}

Result<Statement> Database::prepare(std::string_view sql) {
    if (!m_db)
        return makeError(QStringLiteral("il database non è aperto"), SQLITE_MISUSE);
    // Pages kept from before the file was written over by another program are not read.
    m_watch.lookAtFile();
    sqlite3_stmt* stmt = nullptr;
    m_watch.beginCompile();
    const int rc = sqlite3_prepare_v2(m_db, sql.data(), int(sql.size()), &stmt, nullptr);
    Footprint footprint = m_watch.endCompile();
    if (rc != SQLITE_OK) {
        Error e = engineError(rc);
        sqlite3_finalize(stmt);
        return e;
    }
    return Statement(this, stmt, std::move(footprint));
}

Status Database::exec(std::string_view sql) {
    if (!m_db)
        return makeError(QStringLiteral("il database non è aperto"), SQLITE_MISUSE);
    const std::string text(sql);
    const int rc = sqlite3_exec(m_db, text.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        return engineError(rc);
    return {};
}

int Database::changes() const {
    return m_db ? sqlite3_changes(m_db) : 0;
}

std::int64_t Database::totalChanges() const {
    return m_db ? sqlite3_total_changes(m_db) : 0;
}

std::int64_t Database::lastInsertId() const {
    return m_db ? sqlite3_last_insert_rowid(m_db) : 0;
}

Error Database::engineError(int rc) const {
    // Once the key has opened the file, a page that does not decrypt is no wrong password: the
    // file was damaged or written over while it was open.
    QString text = m_established && (rc & 0xFF) == SQLITE_NOTADB
                       ? QStringLiteral("il file del database è danneggiato o è stato "
                                        "sovrascritto da un altro programma")
                       : describeEngineCode(rc);
    if (m_db && (rc & 0xFF) == SQLITE_ERROR) {
        const char* msg = sqlite3_errmsg(m_db);
        if (msg && *msg)
            text += QStringLiteral(" (%1)").arg(QString::fromUtf8(msg));
    }
    return Error{rc, text};
}

Error Database::lastError() const {
    return engineError(m_db ? sqlite3_extended_errcode(m_db) : SQLITE_MISUSE);
}

Status Database::checkWritable() const {
    if (!m_db)
        return makeError(QStringLiteral("il database non è aperto"), SQLITE_MISUSE);
    const QByteArray local = m_path.toLocal8Bit();
    struct stat st {};
    if (::stat(local.constData(), &st) != 0)
        return makeError(QStringLiteral("il file del database non c'è più"), SQLITE_CANTOPEN);
    if (m_ino != 0 && (st.st_dev != m_dev || st.st_ino != m_ino))
        return makeError(QStringLiteral("il file del database è stato sostituito"),
                         SQLITE_CANTOPEN);
    if (::access(local.constData(), W_OK) != 0 || !anyWriteBit(st))
        return makeError(describeEngineCode(SQLITE_READONLY), SQLITE_READONLY);
    if (!m_header.isEmpty()) {
        auto header = readHeader();
        if (!header)
            return header.error();
        if (*header != m_header)
            return makeError(QStringLiteral("il file del database è stato sovrascritto da un "
                                            "altro programma"),
                             SQLITE_NOTADB);
    }
    return {};
}

void Database::keepOwnerOnly() {
    if (!m_db)
        return;
    struct stat st {};
    if (m_fileFd >= 0 && ::fstat(m_fileFd, &st) == 0 && st.st_uid == ::geteuid() &&
        (st.st_mode & 077) != 0)
        ::fchmod(m_fileFd, S_IRUSR | S_IWUSR);
    keepJournalsOwnerOnly();
}

void Database::removeFiles(const QString& path) {
    QFile::remove(path);
    for (const char* suffix : kJournalSuffixes)
        QFile::remove(path + QLatin1String(suffix));
}

void Database::keepJournalsOwnerOnly() const {
    const QByteArray local = m_path.toLocal8Bit();
    for (const char* suffix : kJournalSuffixes)
        ownerOnly(local + suffix);
}

Status Database::holdAlone() {
    if (!m_db)
        return makeError(QStringLiteral("il database non è aperto"), SQLITE_MISUSE);
    // An idle reader of the log keeps a shared lock on the file for as long as it is open: the
    // exclusive lock is refused while any other connection has read the file.
    Status s = exec("PRAGMA locking_mode = EXCLUSIVE;");
    if (s)
        s = exec("BEGIN EXCLUSIVE;");
    if (s)
        s = exec("COMMIT;");
    if (s) {
        auto st = prepare("PRAGMA journal_mode = DELETE;");
        if (!st)
            s = st.error();
        else if (!st->next() || st->text(0).toLower() != QLatin1String("delete"))
            s = st->status() ? Status(makeError(describeEngineCode(SQLITE_BUSY), SQLITE_BUSY))
                             : st->status();
    }
    if (!s) {
        if (!sqlite3_get_autocommit(m_db))
            sqlite3_exec(m_db, "ROLLBACK;", nullptr, nullptr, nullptr);
        letGo();
        return s;
    }
    m_journalSet = false;
    return {};
}

bool Database::heldByAnother(const Error& e) {
    return (e.code & 0xFF) == SQLITE_BUSY || (e.code & 0xFF) == SQLITE_LOCKED;
}

void Database::letGo() {
    if (!m_db)
        return;
    sqlite3_exec(m_db, "PRAGMA locking_mode = NORMAL;", nullptr, nullptr, nullptr);
    // The lock goes at the end of the next read.
    sqlite3_exec(m_db, "SELECT count(*) FROM sqlite_master;", nullptr, nullptr, nullptr);
}

void Database::setBusyTimeout(int ms) {
    m_busyTimeoutMs = ms;
    if (m_db)
        sqlite3_busy_timeout(m_db, ms);
}

Result<QByteArray> Database::readHeader() const {
    // The cipher's salt: 16 bytes that stay the same for the life of the file.
    constexpr qsizetype kHeaderBytes = 16;
    // Read through the descriptor kept open: one opened and closed here would drop the
    // engine's locks on the file, and another program closing would then take the journal away.
    if (m_fileFd < 0)
        return makeError(QStringLiteral("il file del database non si può leggere"),
                         SQLITE_CANTOPEN);
    QByteArray bytes(kHeaderBytes, '\0');
    const ssize_t n = ::pread(m_fileFd, bytes.data(), size_t(kHeaderBytes), 0);
    if (n < 0)
        return makeError(describeEngineCode(SQLITE_IOERR), SQLITE_IOERR);
    bytes.truncate(qsizetype(n));
    return bytes;
}

Status Database::beginWrite() {
    if (Status s = checkWritable(); !s)
        return s;
    // Lists read before the file was written over by another program are read again.
    m_watch.lookAtFile();
    if (!m_journalSet) {
        // The first write of the connection: from now on the journal is a write-ahead log.
        // The engine makes its files with the database file's rights; any left from before
        // with wider ones are narrowed.
        if (Status s = exec("PRAGMA journal_mode = WAL;"); !s)
            return s;
        m_journalSet = true;
        keepJournalsOwnerOnly();
    }
    // Pages kept from earlier reads would hide what another program did to the file: the
    // transaction reads what is on the disk now.
    sqlite3_db_release_memory(m_db);
    return exec("BEGIN IMMEDIATE;");
}

Status Database::endWrite(Status result) {
    if (!result) {
        sqlite3_exec(m_db, "ROLLBACK;", nullptr, nullptr, nullptr);
        return result;
    }
    Status s = exec("COMMIT;");
    if (!s) {
        sqlite3_exec(m_db, "ROLLBACK;", nullptr, nullptr, nullptr);
        return s;
    }
    // What was committed goes from the journal into the file at once, so every later read
    // comes from the file itself and a file damaged meanwhile is found out at the next write.
    // The commit stands whatever the copy does: the journal keeps it until the next copy. Another
    // program still reading the journal is not waited for; the copy is then partial until a
    // later write.
    sqlite3_busy_timeout(m_db, 0);
    sqlite3_wal_checkpoint_v2(m_db, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
    sqlite3_busy_timeout(m_db, m_busyTimeoutMs);
    m_watch.wroteFile();
    if (m_header.isEmpty()) {
        if (auto header = readHeader(); header && header->size() == 16)
            m_header = *header;
    }
    return {};
}
