#include "Backup.h"

#include "Database.h"
#include "FolderNames.h"
#include "Schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace backup {
namespace {

constexpr const char* kStamp = "yyyy-MM-dd_HH-mm-ss";

QString baseOf(const QString& databasePath) {
    return QFileInfo(databasePath).completeBaseName();
}

QRegularExpression copyPattern(const QString& databasePath) {
    return QRegularExpression(
        QStringLiteral("^%1_(\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d)(-\\d+)?\\.mdb$")
            .arg(QRegularExpression::escape(baseOf(databasePath))));
}

Status makeFolder(const QString& folder) {
    const QByteArray local = QFile::encodeName(folder);
    struct stat st {};
    if (::stat(local.constData(), &st) != 0) {
        if (folders::makeOwnerOnly(folder) != 0 || ::stat(local.constData(), &st) != 0)
            return makeError(QStringLiteral("la cartella %1 non si può creare")
                                 .arg(folders::shownNative(folder)));
    } else if (!S_ISDIR(st.st_mode)) {
        return makeError(QStringLiteral("%1 non è una cartella").arg(folders::shownNative(folder)));
    }
    // A folder without any write right is taken as its owner meant it, whoever runs the program.
    if (::access(local.constData(), W_OK | X_OK) != 0 ||
        (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return makeError(
            QStringLiteral("la cartella %1 non si può scrivere").arg(folders::shownNative(folder)));
    return {};
}

// The engine's error in words, with what the engine says of it.
Error engineFailure(sqlite3* h, int rc) {
    QString text = describeEngineCode(rc);
    if ((rc & 0xFF) == SQLITE_CANTOPEN || (rc & 0xFF) == SQLITE_IOERR)
        text = QStringLiteral("la copia non si può scrivere (%1)").arg(text);
    if (h && (rc & 0xFF) == SQLITE_ERROR)
        text += QStringLiteral(" (%1)").arg(QString::fromUtf8(sqlite3_errmsg(h)));
    return Error{rc, text};
}

} // namespace

Status onlineCopy(Database& db, const QString& path) {
    const QByteArray local = QFile::encodeName(path);
    // Owner-only whatever the umask; the engine gives its journal the same rights.
    const int fd = ::open(local.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return makeError(errno == ENOSPC ? QStringLiteral("il disco è pieno")
                                         : QStringLiteral("la copia non si può creare (%1)")
                                               .arg(QString::fromLocal8Bit(strerror(errno))),
                         SQLITE_CANTOPEN);
    ::close(fd);

    sqlite3* dest = nullptr;
    int rc = sqlite3_open_v2(local.constData(), &dest, SQLITE_OPEN_READWRITE, nullptr);
    // The copy keeps the file's own key and settings.
    const FileKey& key = db.key();
    if (rc == SQLITE_OK)
        rc = sqlite3_key(dest, key.secret.constData(), int(key.secret.size()));
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(dest, (key.cipherSettings() + "PRAGMA synchronous = FULL;").constData(),
                          nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_backup* b = sqlite3_backup_init(dest, "main", db.handle(), "main");
        if (!b) {
            rc = sqlite3_errcode(dest);
        } else {
            // All pages in one step: one read transaction, so the copy is one moment of the
            // file whatever other connections write meanwhile.
            int step = sqlite3_backup_step(b, -1);
            int finish = sqlite3_backup_finish(b);
            rc = step == SQLITE_DONE ? finish : step;
        }
    }
    // A page of the database that does not read is the database's fault, not the copy's.
    const int source = sqlite3_errcode(db.handle());
    const bool sourceFault = rc != SQLITE_OK && (source == SQLITE_CORRUPT ||
                                                 source == SQLITE_NOTADB || source == SQLITE_IOERR);
    Status s = rc == SQLITE_OK ? Status()
               : sourceFault   ? Status(db.engineError(source))
                               : Status(engineFailure(dest, rc));
    if (sqlite3_close(dest) != SQLITE_OK && s)
        s = makeError(QStringLiteral("la copia non si può chiudere"), SQLITE_IOERR);
    return s;
}

namespace {

Error writeFailure(int err) {
    return err == ENOSPC || err == EDQUOT
               ? makeError(QStringLiteral("il disco è pieno"), SQLITE_FULL)
               : makeError(QStringLiteral("la copia non si può scrivere (%1)")
                               .arg(QString::fromLocal8Bit(strerror(err))),
                           SQLITE_IOERR);
}

// `size` bytes of `in` into `out`, both from offset 0 and neither moved: the kernel copies them
// where it can, else blocks of 8 MB go through here.
Status copyBytes(int in, int out, off_t size) {
    off_t done = 0;
    bool kernel = true;
    std::vector<char> block;
    while (done < size) {
        const size_t want = size_t(size - done);
        if (kernel) {
            off_t from = done;
            off_t to = done;
            const ssize_t n = ::copy_file_range(in, &from, out, &to, want, 0);
            if (n > 0) {
                done += n;
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno != EXDEV && errno != ENOSYS && errno != EINVAL &&
                errno != EOPNOTSUPP && errno != EPERM)
                return writeFailure(errno);
            // Not on these files, or the file ended early: plain reads tell which.
            kernel = false;
        }
        if (block.empty())
            block.resize(size_t(8) << 20);
        const ssize_t n = ::pread(in, block.data(), std::min(want, block.size()), done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return makeError(describeEngineCode(SQLITE_IOERR), SQLITE_IOERR);
        for (ssize_t put = 0; put < n;) {
            const ssize_t w = ::pwrite(out, block.data() + put, size_t(n - put), done + put);
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                return writeFailure(w < 0 ? errno : ENOSPC);
            put += w;
        }
        done += n;
    }
    return {};
}

// Under the read transaction just begun: whether the file alone is the moment it reads, and no
// other connection can change the file until the transaction ends.
bool fileIsTheMoment(Database& db) {
    auto st = db.prepare("PRAGMA journal_mode;");
    if (!st || !st->next())
        return false;
    const QString mode = st->text(0).toLower();
    // With a rollback journal the shared lock of the read keeps every writer from committing.
    if (mode == QLatin1String("delete") || mode == QLatin1String("truncate") ||
        mode == QLatin1String("persist"))
        return true;
    if (mode != QLatin1String("wal"))
        return false;
    // A reader of a log with pages not yet in the file reads them from the log: then the file
    // is not the moment. With the log empty the reader reads the file alone, and no checkpoint
    // writes into the file until that reader ends; a log with pages cannot be emptied while a
    // reader of them lasts, so an empty log now means one was empty when the read began.
    struct stat log {};
    const QByteArray wal = QFile::encodeName(db.path() + QLatin1String("-wal"));
    if (::stat(wal.constData(), &log) != 0)
        return errno == ENOENT;
    return log.st_size == 0;
}

// `size` bytes of `in` into a new owner-only file at `path`, waited for on the disk when `sync`;
// a file that fails is removed.
Status newFileOf(int in, off_t size, const QString& path, bool sync) {
    const QByteArray local = QFile::encodeName(path);
    const int out = ::open(local.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) {
        const int err = errno;
        return makeError(err == ENOSPC ? QStringLiteral("il disco è pieno")
                                       : QStringLiteral("la copia non si può creare (%1)")
                                             .arg(QString::fromLocal8Bit(strerror(err))),
                         SQLITE_CANTOPEN);
    }
    Status s = copyBytes(in, out, size);
    if (s && sync && ::fsync(out) != 0)
        s = writeFailure(errno);
    if (::close(out) != 0 && s)
        s = writeFailure(errno);
    if (!s)
        ::unlink(local.constData());
    return s;
}

// Waits until what was written to the file (or the folder) is on the disk.
Status onDisk(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return writeFailure(errno);
    Status s;
    if (::fsync(fd) != 0)
        s = writeFailure(errno);
    ::close(fd);
    return s;
}

} // namespace

Result<bool> fileCopy(Database& db, const QString& path) {
    sqlite3* h = db.handle();
    const int in = db.fileDescriptor();
    // Inside a transaction of the caller's the copy would not be of what is committed.
    if (!h || in < 0 || !sqlite3_get_autocommit(h))
        return false;
    if (sqlite3_exec(h, "BEGIN; SELECT count(*) FROM sqlite_master;", nullptr, nullptr, nullptr) !=
        SQLITE_OK) {
        if (!sqlite3_get_autocommit(h))
            sqlite3_exec(h, "ROLLBACK;", nullptr, nullptr, nullptr);
        return false;
    }
    auto end = [h] { sqlite3_exec(h, "COMMIT;", nullptr, nullptr, nullptr); };
    struct stat st {};
    if (!fileIsTheMoment(db) || ::fstat(in, &st) != 0) {
        end();
        return false;
    }
    // Not waited for on the disk here: copyInto waits after the check, before the copy gets its
    // name, so the disk writes while the copy is checked.
    Status s = newFileOf(in, st.st_size, path, false);
    end();
    if (!s)
        return s.error();
    return true;
}

Status copyFile(const QString& from, const QString& to) {
    const int in = ::open(QFile::encodeName(from).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return makeError(QStringLiteral("il file non si può leggere (%1)")
                             .arg(QString::fromLocal8Bit(strerror(errno))),
                         SQLITE_CANTOPEN);
    struct stat st {};
    Status s = ::fstat(in, &st) == 0 ? newFileOf(in, st.st_size, to, true)
                                     : makeError(describeEngineCode(SQLITE_IOERR), SQLITE_IOERR);
    ::close(in);
    return s;
}

Status copyOf(Database& db, const QString& path) {
    auto bytes = fileCopy(db, path);
    if (!bytes)
        return bytes.error();
    return *bytes ? Status() : onlineCopy(db, path);
}

namespace {

Result<qint64> count(Database& db, const char* sql) {
    auto st = db.prepare(sql);
    if (!st)
        return st.error();
    if (!st->next())
        return st->status() ? Result<qint64>(qint64(0)) : Result<qint64>(st->status().error());
    return qint64(st->int64(0));
}

} // namespace

QString automaticFolder(const QString& databasePath) {
    return QFileInfo(databasePath).absoluteDir().filePath(QStringLiteral("backup"));
}

QString copyName(const QString& databasePath, const QDateTime& when) {
    return QStringLiteral("%1_%2.mdb")
        .arg(baseOf(databasePath), when.toString(QLatin1String(kStamp)));
}

Result<Contents> verify(const QString& path, Check check) {
    return verify(path, FileKey::builtIn(), check);
}

Result<Contents> verify(const QString& path, const FileKey& key, Check check) {
    Database::Options options;
    options.exclusive = false;
    auto opened = Database::open(path, key, options);
    if (!opened)
        return opened.error();
    Database& db = **opened;
    {
        // A page cache of up to 200 MB: the check reads the pages of each index again for
        // every row of its table, and each page read from the file is decrypted anew.
        if (Status s = db.exec("PRAGMA cache_size = -200000;"); !s)
            return s.error();
        auto st = check == Check::Full ? db.prepare("PRAGMA integrity_check;")
                                       : db.prepare("PRAGMA quick_check;");
        if (!st)
            return st.error();
        if (!st->next())
            return st->status() ? makeError(QStringLiteral("il controllo del file non risponde"))
                                : st->status().error();
        if (st->text(0) != QLatin1String("ok"))
            return makeError(QStringLiteral("il file è danneggiato (%1)").arg(st->text(0)));
    }
    if (Status s = schema::verify(db); !s)
        return s.error();
    Contents c;
    auto customers = count(db, "SELECT count(*) FROM CLIENTE;");
    auto articles = count(db, "SELECT count(*) FROM ARTICOLO;");
    auto orders = count(db, "SELECT count(*) FROM (SELECT DISTINCT ANNO, NR FROM ORDINE);");
    for (auto* r : {&customers, &articles, &orders})
        if (!*r)
            return r->error();
    c.customers = *customers;
    c.articles = *articles;
    c.orders = *orders;
    auto st = db.prepare("SELECT max(DATAO) FROM ORDINE;");
    if (!st)
        return st.error();
    if (st->next() && !st->isNull(0))
        c.lastOrder = QDate::fromString(st->text(0), Qt::ISODate);
    if (!st->status())
        return st->status().error();
    return c;
}

Result<QString> copyInto(Database& db, const QString& folder, const QDateTime& when, Check check) {
    if (!db.isOpen())
        return makeError(QStringLiteral("il database non è aperto"));
    if (Status s = makeFolder(folder); !s)
        return s.error();
    const QDir dir(folder);
    QString name = copyName(db.path(), when);
    for (int n = 2; QFileInfo::exists(dir.filePath(name)); ++n)
        name = copyName(db.path(), when)
                   .replace(QLatin1String(".mdb"), QStringLiteral("-%1.mdb").arg(n));
    const QString final = dir.filePath(name);
    // Made under a name of its own: a copy cut short is never taken for a good one.
    const QString partial = dir.filePath(QStringLiteral(".%1.parziale").arg(name));
    Database::removeFiles(partial);
    Status s = copyOf(db, partial);
    if (s) {
        auto checked = verify(partial, db.key(), check);
        if (!checked)
            s = makeError(QStringLiteral("la copia non ha superato il controllo: %1")
                              .arg(checked.error().text),
                          checked.error().code);
    }
    if (s)
        s = onDisk(partial);
    if (s &&
        ::rename(QFile::encodeName(partial).constData(), QFile::encodeName(final).constData()) != 0)
        s = makeError(QStringLiteral("la copia non si può rinominare"));
    // The new name on the disk too: a copy that counts survives a power cut.
    if (s)
        (void)onDisk(folder);
    if (!s) {
        Database::removeFiles(partial);
        return s.error();
    }
    return final;
}

QStringList copies(const QString& databasePath, const QString& folder) {
    const QRegularExpression re = copyPattern(databasePath);
    QStringList out;
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString& n : names)
        if (re.match(n).hasMatch())
            out << QDir(folder).filePath(n);
    // The stamp sorts as the moments do; several copies of one second by their number.
    std::sort(out.begin(), out.end(), [&](const QString& a, const QString& b) {
        const auto ma = re.match(QFileInfo(a).fileName());
        const auto mb = re.match(QFileInfo(b).fileName());
        if (ma.captured(1) != mb.captured(1))
            return ma.captured(1) < mb.captured(1);
        return ma.captured(2).mid(1).toInt() < mb.captured(2).mid(1).toInt();
    });
    return out;
}

QDateTime newest(const QString& databasePath, const QString& folder) {
    const QStringList all = copies(databasePath, folder);
    if (all.isEmpty())
        return {};
    const auto m = copyPattern(databasePath).match(QFileInfo(all.last()).fileName());
    return QDateTime::fromString(m.captured(1), QLatin1String(kStamp));
}

void rotate(const QString& databasePath, const QString& folder, int keep) {
    const QStringList all = copies(databasePath, folder);
    for (qsizetype i = 0; i + keep < all.size(); ++i)
        Database::removeFiles(all[i]);
}

Result<QString> automaticCopy(Database& db, const QDateTime& when) {
    const QString folder = automaticFolder(db.path());
    auto made = copyInto(db, folder, when, Check::Quick);
    if (made)
        rotate(db.path(), folder);
    return made;
}

bool startupCopyDue(const QString& databasePath, const QDateTime& now) {
    const QDateTime last = newest(databasePath, automaticFolder(databasePath));
    return !last.isValid() || last.addDays(1) <= now;
}

} // namespace backup
