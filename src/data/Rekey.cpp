#include "Rekey.h"

#include "AddedTables.h"
#include "Database.h"
#include "DatabaseSwap.h"
#include "Schema.h"
#include "files/FileInPlace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace rekey {
namespace {

constexpr const char* kAttached = "nuovachiave";

Error diskError(int err, const QString& what) {
    return err == ENOSPC || err == EDQUOT
               ? makeError(QStringLiteral("il disco è pieno"), SQLITE_FULL)
               : makeError(
                     QStringLiteral("%1 (%2)").arg(what, QString::fromLocal8Bit(strerror(err))),
                     SQLITE_IOERR);
}

// Waits until what was written to the file at `path` is on the disk.
Status onDisk(const QString& path) {
    const int error = inplace::flush(QFile::encodeName(path));
    return error ? Status(diskError(error, QStringLiteral("il nuovo file non si può scrivere")))
                 : Status();
}

// The rows of every table of the database, by table.
Result<std::map<QString, qint64>> rowCounts(Database& db) {
    std::map<QString, qint64> counts;
    auto names = db.prepare("SELECT name FROM sqlite_master WHERE type = 'table' "
                            "AND name NOT LIKE 'sqlite_%' ORDER BY name;");
    if (!names)
        return names.error();
    QStringList tables;
    while (names->next())
        tables << names->text(0);
    if (!names->status())
        return names->status().error();
    for (const QString& t : tables) {
        QString quoted = t;
        quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
        const std::string sql =
            QStringLiteral("SELECT count(*) FROM \"%1\";").arg(quoted).toStdString();
        auto st = db.prepare(sql);
        if (!st)
            return st.error();
        if (!st->next())
            return st->status() ? makeError(QStringLiteral("la tabella %1 non si legge").arg(t))
                                : st->status().error();
        counts[t] = st->int64(0);
    }
    return counts;
}

// The new file opens with its key, is whole, is the program's and holds the same rows.
Status check(const QString& target, const FileKey& key, const std::map<QString, qint64>& expected) {
    Database::Options options;
    options.exclusive = false;
    auto opened = Database::open(target, key, options);
    if (!opened)
        return opened.error();
    Database& db = **opened;
    auto st = db.prepare("PRAGMA integrity_check;");
    if (!st)
        return st.error();
    if (!st->next())
        return st->status() ? makeError(QStringLiteral("il controllo del file non risponde"))
                            : st->status().error();
    if (st->text(0) != QLatin1String("ok"))
        return makeError(QStringLiteral("il nuovo file è danneggiato (%1)").arg(st->text(0)));
    if (Status s = schema::verify(db); !s)
        return s;
    auto counts = rowCounts(db);
    if (!counts)
        return counts.error();
    if (*counts != expected)
        return makeError(QStringLiteral("il nuovo file non ha tutte le righe del database"));
    return {};
}

Status exportInto(Database& from, const QString& target, const FileKey& key) {
    sqlite3* h = from.handle();
    if (!h)
        return makeError(QStringLiteral("il database non è aperto"), SQLITE_MISUSE);
    // Owner-only whatever the umask; the engine gives the journal of the new file its rights.
    const QByteArray local = QFile::encodeName(target);
    const int fd = ::open(local.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return diskError(errno, QStringLiteral("il nuovo file non si può creare"));
    ::close(fd);

    // The key is a value bound to the statement, never a part of its text.
    {
        auto attach = from.prepare("ATTACH DATABASE ?1 AS nuovachiave KEY ?2;");
        if (!attach)
            return attach.error();
        attach->bind(1, QFileInfo(target).absoluteFilePath());
        sqlite3_bind_blob(attach->handle(), 2, key.secret.constData(), int(key.secret.size()),
                          SQLITE_TRANSIENT);
        attach->next();
        if (Status s = attach->status(); !s)
            return s;
    }
    Status s = from.exec(key.cipherSettings(kAttached).toStdString());
    if (s)
        s = from.exec("SELECT sqlcipher_export('nuovachiave');");
    // The export leaves the new file's version at 0: it takes the file's own, or its next
    // opening would take it for a file made before there were versions.
    if (s) {
        auto version = addedtables::version(from);
        s = version
                ? from.exec("PRAGMA nuovachiave.user_version = " + std::to_string(*version) + ";")
                : Status(version.error());
    }
    const Status detached = from.exec("DETACH DATABASE nuovachiave;");
    if (s && !detached)
        s = detached;
    return s;
}

} // namespace

QString workFile(const QString& databasePath) {
    const QFileInfo fi(databasePath);
    return fi.absoluteDir().filePath(QStringLiteral(".%1.nuovachiave").arg(fi.fileName()));
}

void removeLeftover(const QString& databasePath) {
    Database::removeFiles(workFile(databasePath));
}

Status exportTo(Database& from, const QString& target, const FileKey& key) {
    auto counts = rowCounts(from);
    if (!counts)
        return counts.error();
    Status s = exportInto(from, target, key);
    if (s)
        s = check(target, key, *counts);
    if (s)
        s = onDisk(target);
    if (!s)
        Database::removeFiles(target);
    return s;
}

Status changeKey(std::unique_ptr<Database>& connection, const FileKey& key) {
    if (!connection || !connection->isOpen())
        return makeError(QStringLiteral("il database non è aperto"), SQLITE_MISUSE);
    const QString path = connection->path();
    const QString work = workFile(path);
    Database::removeFiles(work);
    if (Status s = connection->checkWritable(); !s)
        return s;
    // No other program may have the file open while its key changes, as for a restore: what it
    // wrote afterwards would go into the file that is about to go.
    if (Status s = connection->holdAlone(); !s)
        return Database::heldByAnother(s.error())
                   ? makeError(QStringLiteral("il file è in uso da un altro programma (un'altra "
                                              "copia di Gestione Ordini o un programma che legge "
                                              "il database)"),
                               SQLITE_BUSY)
                   : s;
    if (Status s = exportTo(*connection, work, key); !s) {
        connection->letGo();
        return s;
    }

    // The old file goes at the rename: nothing under the old key is left beside the new one.
    Status s = inplace::replaceOpen(connection, QFile::encodeName(work), QFile::encodeName(path),
                                    QByteArray(), key,
                                    [&](const FileKey& k) -> Result<std::unique_ptr<Database>> {
                                        auto again = Database::open(path, k);
                                        if (again)
                                            (*again)->keepOwnerOnly();
                                        return again;
                                    });
    Database::removeFiles(work);
    return s;
}

Status changeKey(const QString& path, const FileKey& from, const FileKey& to) {
    auto opened = Database::open(path, from);
    if (!opened)
        return opened.error();
    std::unique_ptr<Database> connection = std::move(*opened);
    Status s = changeKey(connection, to);
    if (connection)
        connection->close();
    return s;
}

} // namespace rekey
