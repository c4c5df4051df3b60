#include "Backup.h"
#include "BackupShared.h"

#include "data/Database.h"

#include <QFile>

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace backup {

using detail::writeFailure;

namespace {

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

} // namespace backup
