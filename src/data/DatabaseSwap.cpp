#include "DatabaseSwap.h"

#include "Database.h"
#include "files/FileInPlace.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace inplace {

Status replaceOpen(std::unique_ptr<Database>& connection, const QByteArray& work,
                   const QByteArray& target, const QByteArray& keep, const FileKey& newKey,
                   const OpenDatabase& open) {
    if (!connection || !connection->isOpen())
        return makeError(QStringLiteral("il database non è aperto"), SQLITE_MISUSE);
    const FileKey oldKey = connection->key();
    // The connection on the file as it was stays open, holding its locks, until the new file
    // is open in its place: no other program opens the old file meanwhile.
    std::unique_ptr<Database> old = std::move(connection);
    auto backOnTheOld = [&](Status failure) -> Status {
        old.reset();
        auto again = open(oldKey);
        if (!again)
            return again.error();
        connection = std::move(*again);
        return failure;
    };

    // Held alone, the file has no log: one left there belongs to another program, and a log
    // of the old file must never be read with the new one.
    const QByteArray wal = target + "-wal";
    struct stat log {};
    if (::stat(wal.constData(), &log) == 0 && log.st_size > 0)
        return backOnTheOld(makeError(QStringLiteral("il giornale del database è ancora in uso "
                                                     "da un altro programma"),
                                      SQLITE_BUSY));
    ::unlink(wal.constData());
    ::unlink((target + "-shm").constData());

    std::optional<Kept> kept;
    if (!keep.isEmpty()) {
        // A second name left by a run cut short is not the file as it is now.
        ::unlink(keep.constData());
        kept = keepAside(target, keep);
        if (!kept)
            return backOnTheOld(
                makeError(QStringLiteral("la cartella del database non si può scrivere")));
    }
    if (::rename(work.constData(), target.constData()) != 0) {
        const int error = errno;
        if (kept)
            putBack(keep, target, *kept);
        return backOnTheOld(error == ENOSPC || error == EDQUOT
                                ? makeError(QStringLiteral("il disco è pieno"), SQLITE_FULL)
                                : makeError(QStringLiteral("il database non si può sostituire (%1)")
                                                .arg(QString::fromLocal8Bit(::strerror(error))),
                                            SQLITE_IOERR));
    }
    // The new name on the disk too, before anything else is written.
    (void)syncFolder(target);
    auto opened = open(newKey);
    old.reset();
    if (!opened) {
        if (!kept)
            return opened.error();
        putBack(keep, target, *kept);
        return backOnTheOld(opened.error());
    }
    connection = std::move(*opened);
    if (kept)
        ::unlink(keep.constData());
    return {};
}

} // namespace inplace
