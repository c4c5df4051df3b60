#include "BackupShared.h"

#include "data/Database.h"
#include "files/FileInPlace.h"
#include "files/FolderNames.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace backup::detail {

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

Error writeFailure(int err) {
    return err == ENOSPC || err == EDQUOT
               ? makeError(QStringLiteral("il disco è pieno"), SQLITE_FULL)
               : makeError(QStringLiteral("la copia non si può scrivere (%1)")
                               .arg(QString::fromLocal8Bit(strerror(err))),
                           SQLITE_IOERR);
}

Status onDisk(const QString& path) {
    const int error = inplace::flush(QFile::encodeName(path));
    return error ? Status(writeFailure(error)) : Status();
}

QString freeName(const QString& databasePath, const QDir& dir, const QDateTime& when,
                 const QString& tail) {
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

namespace {

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

} // namespace

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

} // namespace backup::detail
