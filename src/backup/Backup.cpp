#include "Backup.h"

#include "data/Database.h"
#include "data/Schema.h"
#include "files/FileInPlace.h"
#include "files/FolderNames.h"

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
#include <sys/statvfs.h>
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
    const int error = inplace::flush(QFile::encodeName(path));
    return error ? Status(writeFailure(error)) : Status();
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

constexpr int kIndexFault = SQLITE_CORRUPT | (100 << 8);

// What the full check found wrong, in words: the engine's own lines are for its developers.
Error damageOf(Database& db, Check check) {
    if (check == Check::Full) {
        auto quick = db.prepare("PRAGMA quick_check;");
        if (quick && quick->next() && quick->text(0) == QLatin1String("ok"))
            return makeError(QStringLiteral("un indice del file non corrisponde alla sua tabella"),
                             kIndexFault);
    }
    return makeError(QStringLiteral("il file è danneggiato"), SQLITE_CORRUPT);
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
        if (st->text(0) != QLatin1String("ok")) {
            return damageOf(db, check);
        }
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

namespace {

// A free name in the folder for the copy of `when`, with `tail` before ".mdb".
QString freeName(const QString& databasePath, const QDir& dir, const QDateTime& when,
                 const QString& tail = {}) {
    const QString base = copyName(databasePath, when).chopped(4) + tail;
    QString name = base + QLatin1String(".mdb");
    for (int n = 2; QFileInfo::exists(dir.filePath(name)) ||
                    QFileInfo::exists(dir.filePath(QStringLiteral(".%1.parziale").arg(name)));
         ++n)
        name = QStringLiteral("%1-%2.mdb").arg(base).arg(n);
    return name;
}

Status renameInto(const QString& from, const QString& to, const QString& folder) {
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        return makeError(QStringLiteral("la copia non si può rinominare"));
    // The new name on the disk too: a copy that counts survives a power cut.
    (void)onDisk(folder);
    return {};
}

// Whether the check could not go on for want of room: the engine's journals of the copy could
// not be written on a disk with (next to) nothing left.
bool stoppedByFullDisk(const Error& e, const QString& folder) {
    const int code = e.code & 0xFF;
    if (code != SQLITE_IOERR && code != SQLITE_CANTOPEN && code != SQLITE_FULL)
        return false;
    struct statvfs fs {};
    if (::statvfs(QFile::encodeName(folder).constData(), &fs) != 0)
        return false;
    return code == SQLITE_FULL || qint64(fs.f_bavail) * qint64(fs.f_frsize) < (qint64(256) << 10);
}

// Writes and checks a copy under a partial name; the check's failure in `damage` when the copy
// itself was written whole.
Result<QString> makeChecked(Database& db, const QString& folder, const QString& name, Check check,
                            Error* damage) {
    const QString partial = QDir(folder).filePath(QStringLiteral(".%1.parziale").arg(name));
    Database::removeFiles(partial);
    Status s = copyOf(db, partial);
    if (s) {
        auto checked = verify(partial, db.key(), check);
        if (!checked && stoppedByFullDisk(checked.error(), folder)) {
            s = makeError(QStringLiteral("il disco è pieno: la copia non si può controllare"),
                          SQLITE_FULL);
        } else if (!checked) {
            if (damage)
                *damage = checked.error();
            s = makeError(QStringLiteral("la copia non ha superato il controllo: %1")
                              .arg(checked.error().text),
                          checked.error().code);
        }
    }
    // A copy that failed its check is still kept when asked: all that is wanted is its bytes.
    const bool keep = s || (damage && !damage->text.isEmpty());
    if (keep) {
        // The check's own journals go before the copy is waited for and named.
        for (const char* suffix : {"-wal", "-shm", "-journal"})
            QFile::remove(partial + QLatin1String(suffix));
        if (Status d = onDisk(partial); !d) {
            if (damage)
                *damage = Error{};
            s = d;
        }
    }
    if (!s && !(damage && !damage->text.isEmpty())) {
        Database::removeFiles(partial);
        return s.error();
    }
    return partial;
}

} // namespace

Result<QString> copyInto(Database& db, const QString& folder, const QDateTime& when, Check check) {
    if (!db.isOpen())
        return makeError(QStringLiteral("il database non è aperto"));
    if (Status s = makeFolder(folder); !s)
        return s.error();
    const QString final = QDir(folder).filePath(freeName(db.path(), QDir(folder), when));
    auto partial = makeChecked(db, folder, QFileInfo(final).fileName(), check, nullptr);
    if (!partial)
        return partial.error();
    if (Status s = renameInto(*partial, final, folder); !s) {
        Database::removeFiles(*partial);
        return s.error();
    }
    return final;
}

namespace {

// The list of automatic copies in their folder: one line a copy, "<order>\t<moment>\t<name>",
// written by the program alone; the order of making counts, the moment says when.
constexpr const char* kRecordName = ".copie-automatiche";

struct Entry {
    qint64 order = 0;
    QDateTime made;
    QString name;
};

QList<Entry> readRecord(const QString& folder) {
    QList<Entry> out;
    QFile f(QDir(folder).filePath(QLatin1String(kRecordName)));
    if (!f.open(QIODevice::ReadOnly))
        return out;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QList<QByteArray> parts = line.split('\t');
        if (parts.size() != 3)
            continue;
        bool ok = false;
        Entry e{parts[0].toLongLong(&ok),
                QDateTime::fromString(QString::fromLatin1(parts[1]), Qt::ISODate),
                QString::fromUtf8(parts[2])};
        if (ok && e.made.isValid() && !e.name.isEmpty() && !e.name.contains(QLatin1Char('/')))
            out << e;
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const Entry& a, const Entry& b) { return a.order < b.order; });
    return out;
}

// The entries whose copy is still in the folder.
QList<Entry> present(const QString& databasePath, const QString& folder) {
    const QRegularExpression re = copyPattern(databasePath);
    QList<Entry> out;
    for (const Entry& e : readRecord(folder)) {
        struct stat st {};
        if (re.match(e.name).hasMatch() &&
            ::lstat(QFile::encodeName(QDir(folder).filePath(e.name)).constData(), &st) == 0 &&
            S_ISREG(st.st_mode))
            out << e;
    }
    return out;
}

// The list replaced whole: written beside, waited for, renamed over the old one.
Status writeRecord(const QString& folder, const QList<Entry>& entries) {
    QByteArray text;
    for (const Entry& e : entries)
        text += QByteArray::number(e.order) + '\t' + e.made.toString(Qt::ISODateWithMs).toLatin1() +
                '\t' + e.name.toUtf8() + '\n';
    const QString path = QDir(folder).filePath(QLatin1String(kRecordName));
    const int error = inplace::replaceWith(QFile::encodeName(path), text);
    return error ? Status(writeFailure(error)) : Status();
}

} // namespace

Status record(const QString& folder, const QString& copy, const QDateTime& when) {
    QList<Entry> entries = readRecord(folder);
    qint64 order = 0;
    for (const Entry& e : entries)
        order = std::max(order, e.order);
    // Entries of copies no longer there go: a later copy of the user's own under such a name is
    // not taken for one of ours.
    entries.removeIf(
        [&](const Entry& e) { return !QFileInfo::exists(QDir(folder).filePath(e.name)); });
    entries << Entry{order + 1, when, QFileInfo(copy).fileName()};
    return writeRecord(folder, entries);
}

QStringList copies(const QString& databasePath, const QString& folder) {
    QStringList out;
    for (const Entry& e : present(databasePath, folder))
        out << QDir(folder).filePath(e.name);
    return out;
}

QDateTime newest(const QString& databasePath, const QString& folder) {
    const QList<Entry> all = present(databasePath, folder);
    return all.isEmpty() ? QDateTime() : all.last().made;
}

void rotate(const QString& databasePath, const QString& folder, int keep,
            const QStringList& spare) {
    const QList<Entry> all = present(databasePath, folder);
    QStringList spared;
    for (const QString& p : spare)
        if (QFileInfo(p).absolutePath() == QDir(folder).absolutePath())
            spared << QFileInfo(p).fileName();
    for (qsizetype i = 0; i + std::max(keep, 1) < all.size(); ++i)
        if (!spared.contains(all[i].name))
            Database::removeFiles(QDir(folder).filePath(all[i].name));
}

Result<QString> automaticCopy(Database& db, const QDateTime& when) {
    const QString folder = automaticFolder(db.path());
    // The full check, as the restore's: a copy kept is a copy that can be restored.
    auto made = copyInto(db, folder, when, Check::Full);
    if (!made)
        return made;
    // A copy left out of the list is kept, never rotated: nothing is lost by it.
    if (record(folder, *made, when))
        rotate(db.path(), folder, kKeep, {*made});
    return made;
}

bool startupCopyDue(const QString& databasePath, const QDateTime& now) {
    const QDateTime last = newest(databasePath, automaticFolder(databasePath));
    return !last.isValid() || last > now || last.addDays(1) <= now;
}

Result<Saved> saveBeforeRestore(Database& db, const QDateTime& when, const QString& restored) {
    if (!db.isOpen())
        return makeError(QStringLiteral("il database non è aperto"));
    const QString folder = automaticFolder(db.path());
    if (Status s = makeFolder(folder); !s)
        return s.error();
    const QDir dir(folder);
    const QString good = freeName(db.path(), dir, when);
    Error damage;
    auto partial = makeChecked(db, folder, good, Check::Full, &damage);
    if (!partial)
        return partial.error();
    if (damage.text.isEmpty()) {
        const QString final = dir.filePath(good);
        if (Status s = renameInto(*partial, final, folder); !s) {
            Database::removeFiles(*partial);
            return s.error();
        }
        if (record(folder, final, when))
            rotate(db.path(), folder, kKeep, {final, restored});
        return Saved{final, {}};
    }
    // Whatever the file holds is kept: under a name no restore offers and no rotation removes.
    const QString final =
        dir.filePath(freeName(db.path(), dir, when, QStringLiteral("_danneggiato")));
    if (Status s = renameInto(*partial, final, folder); !s) {
        Database::removeFiles(*partial);
        return s.error();
    }
    return Saved{final, damage.text};
}

Result<QString> replaceUnopened(const QString& databasePath, const QString& staged,
                                const QDateTime& when) {
    const QString folder = automaticFolder(databasePath);
    if (Status s = makeFolder(folder); !s)
        return s.error();
    const QString real = realFile(databasePath);
    const QString kept = QDir(folder).filePath(
        freeName(databasePath, QDir(folder), when, QStringLiteral("_danneggiato")));
    if (Status s = copyFile(real, kept); !s)
        return s.error();
    (void)onDisk(folder);
    // Journals of the damaged file must not be read into the copy.
    for (const char* suffix : {"-wal", "-shm", "-journal"})
        QFile::remove(real + QLatin1String(suffix));
    if (::rename(QFile::encodeName(staged).constData(), QFile::encodeName(real).constData()) != 0)
        return makeError(QStringLiteral("il database non si può sostituire"));
    (void)onDisk(QFileInfo(real).absolutePath());
    return kept;
}

Result<Contents> verifyMending(const QString& path, const FileKey& key) {
    auto checked = verify(path, key, Check::Full);
    if (checked || checked.error().code != kIndexFault)
        return checked;
    {
        Database::Options options;
        options.exclusive = false;
        auto opened = Database::open(path, key, options);
        if (!opened)
            return opened.error();
        if (Status s = (*opened)->exec("REINDEX;"); !s)
            return checked;
    }
    return verify(path, key, Check::Full);
}

QString realFile(const QString& databasePath) {
    QString path = QFileInfo(databasePath).absoluteFilePath();
    // Links to links are followed to the file, a loop is not.
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        const QString target = QFileInfo(path).symLinkTarget();
        if (target.isEmpty())
            return path;
        path = target;
    }
    return path;
}

QString stagedName(const QString& databasePath) {
    const QFileInfo real(realFile(databasePath));
    return real.absoluteDir().filePath(QStringLiteral(".%1.ripristino").arg(real.fileName()));
}

QString heldName(const QString& databasePath) {
    const QFileInfo real(realFile(databasePath));
    return real.absoluteDir().filePath(QStringLiteral(".%1.precedente").arg(real.fileName()));
}

void removeLeftovers(const QString& databasePath) {
    const QString real = realFile(databasePath);
    const QByteArray held = QFile::encodeName(heldName(databasePath));
    struct stat st {};
    // A restore cut short between its two renames: the file as it was gets its name back.
    if (::lstat(QFile::encodeName(real).constData(), &st) != 0 && errno == ENOENT &&
        ::lstat(held.constData(), &st) == 0)
        ::rename(held.constData(), QFile::encodeName(real).constData());
    else
        Database::removeFiles(QFile::decodeName(held));
    Database::removeFiles(stagedName(databasePath));
    const QDir dir(automaticFolder(databasePath));
    // Partial copies, and the work file of a copy's change of key cut short (the copy itself is
    // whole under its old key).
    const QRegularExpression re(
        QStringLiteral("^\\..*\\.(parziale|nuovachiave)(-wal|-shm|-journal)?$"));
    for (const QString& n : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (re.match(n).hasMatch())
            QFile::remove(dir.filePath(n));
    QFile::remove(dir.filePath(QLatin1String(kRecordName)) + QLatin1String(".nuovo"));
}

} // namespace backup
