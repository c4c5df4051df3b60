#include "WorkbookFiles.h"

#include "Workbook.h"
#include "XlsxWriter.h"
#include "files/FolderNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace sheets {
namespace {

Error fileError(const QString& what, const QString& path, int err) {
    return makeError(QStringLiteral("%1 \"%2\": %3.")
                         .arg(what, folders::shownNative(path), describeSystemError(err)),
                     err);
}

} // namespace

QString describeSystemError(int err) {
    switch (err) {
    case ENOSPC:
        return QStringLiteral("spazio esaurito sul disco");
    case EDQUOT:
        return QStringLiteral("quota del disco superata");
    case EACCES:
    case EPERM:
        return QStringLiteral("permesso negato");
    case EROFS:
        return QStringLiteral("il disco è in sola lettura");
    case ENOENT:
        return QStringLiteral("la cartella non esiste");
    case ENOTDIR:
        return QStringLiteral("il percorso non è una cartella");
    case EISDIR:
        return QStringLiteral("esiste una cartella con lo stesso nome");
    case ENAMETOOLONG:
        return QStringLiteral("il nome è troppo lungo");
    case EIO:
        return QStringLiteral("errore di lettura o scrittura sul disco");
    default:
        return QString::fromLocal8Bit(std::strerror(err));
    }
}

Status replaceFile(const QString& path, const QString& what,
                   const std::function<Status(const QString& tempPath)>& write) {
    const QFileInfo target(path);
    QTemporaryFile temp(target.absolutePath() + QStringLiteral("/.") + target.completeBaseName() +
                        QStringLiteral("-XXXXXX.tmp"));
    temp.setAutoRemove(false);
    if (!temp.open())
        return fileError(what, path, errno ? errno : EACCES);
    const QString tempPath = temp.fileName();
    temp.close();
    if (Status s = write(tempPath); !s) {
        QFile::remove(tempPath);
        return s;
    }
    const QByteArray native = QFile::encodeName(path);
    const QByteArray nativeTemp = QFile::encodeName(tempPath);
    // The agent's data: readable by the owner only, also when it replaces an earlier file.
    ::chmod(nativeTemp.constData(), 0600);
    if (::rename(nativeTemp.constData(), native.constData()) != 0) {
        const int err = errno;
        QFile::remove(tempPath);
        return fileError(what, path, err);
    }
    return {};
}

bool diskNearlyFull(const QString& path) {
    struct statvfs fs;
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    return ::statvfs(folder.constData(), &fs) == 0 &&
           std::uint64_t(fs.f_bavail) * fs.f_frsize < (std::uint64_t(1) << 20);
}

Status saveWorkbook(Workbook& wb, const QString& path) {
    Status s =
        replaceFile(path, QStringLiteral("Impossibile salvare la cartella di lavoro"),
                    [&](const QString& tempPath) -> Status {
                        Status written = writeXlsx(wb, tempPath);
                        if (written)
                            return written;
                        // The messages name the file the user knows.
                        Error e = written.error();
                        e.text.replace(folders::shownNative(tempPath), folders::shownNative(path));
                        return e;
                    });
    if (s)
        wb.path = path;
    return s;
}

Result<QString> claimNewName(const QString& dir, const QString& base, const QString& ext) {
    for (int n = 1; n < 100000; ++n) {
        const QString name = n == 1 ? base : QStringLiteral("%1 (%2)").arg(base).arg(n);
        const QString path = QDir(dir).filePath(name + ext);
        // The name is taken before anything is written, so that two sheets of the same order
        // never share a file.
        const int fd =
            ::open(QFile::encodeName(path).constData(), O_CREAT | O_EXCL | O_WRONLY, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return fileError(QStringLiteral("Impossibile scrivere il file"), path, errno);
        }
        ::close(fd);
        return path;
    }
    return makeError(QStringLiteral("Troppi file con il nome \"%1\" nella cartella \"%2\".")
                         .arg(base, folders::shownNative(dir)),
                     EEXIST);
}

Result<QString> saveAsNew(Workbook& wb, const QString& dir, const QString& base) {
    auto path = claimNewName(dir, base, QStringLiteral(".xlsx"));
    if (!path)
        return path.error();
    if (Status s = saveWorkbook(wb, *path); !s) {
        QFile::remove(*path);
        return s.error();
    }
    return *path;
}

} // namespace sheets
