#include "WorkbookFiles.h"

#include "Workbook.h"
#include "XlsxWriter.h"
#include "data/FolderNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sheets {
namespace {

Error fileError(const QString& what, const QString& path, int err) {
    return makeError(
        QStringLiteral("%1 \"%2\": %3.")
            .arg(what, QDir::toNativeSeparators(folders::shown(path)), describeSystemError(err)),
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

Status saveWorkbook(Workbook& wb, const QString& path) {
    const QFileInfo target(path);
    QTemporaryFile temp(target.absolutePath() + QStringLiteral("/.") + target.completeBaseName() +
                        QStringLiteral("-XXXXXX.tmp"));
    temp.setAutoRemove(false);
    if (!temp.open())
        return fileError(QStringLiteral("Impossibile salvare la cartella di lavoro"), path,
                         errno ? errno : EACCES);
    const QString tempPath = temp.fileName();
    temp.close();
    auto discard = [&]() { QFile::remove(tempPath); };

    if (Status s = writeXlsx(wb, tempPath); !s) {
        discard();
        Error e = s.error();
        e.text.replace(QDir::toNativeSeparators(folders::shown(tempPath)),
                       QDir::toNativeSeparators(folders::shown(path)));
        return e;
    }
    const QByteArray native = QFile::encodeName(path);
    const QByteArray nativeTemp = QFile::encodeName(tempPath);
    // The agent's data: readable by the owner only, also when it replaces an earlier file.
    ::chmod(nativeTemp.constData(), 0600);
    if (::rename(nativeTemp.constData(), native.constData()) != 0) {
        const int err = errno;
        discard();
        return fileError(QStringLiteral("Impossibile salvare la cartella di lavoro"), path, err);
    }
    wb.path = path;
    return {};
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
                         .arg(base, QDir::toNativeSeparators(folders::shown(dir))),
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
