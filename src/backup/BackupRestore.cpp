#include "Backup.h"
#include "BackupShared.h"

#include "data/Database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <sys/stat.h>

namespace backup {

using detail::freeName;
using detail::kRecordName;
using detail::makeChecked;
using detail::makeFolder;
using detail::onDisk;
using detail::renameInto;

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
