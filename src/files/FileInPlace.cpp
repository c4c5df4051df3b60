#include "FileInPlace.h"

#include "FolderNames.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace inplace {
namespace {

constexpr const char* kJournalSuffixes[] = {"-wal", "-shm", "-journal"};

QByteArray folderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

QByteArray nameOf(const QByteArray& path) {
    return path.mid(path.lastIndexOf('/') + 1);
}

// The start of the hidden names for `target`: its name as UTF-8 (a name that is not becomes
// one that is), so that the engine can be given the work file's name.
QByteArray workPrefix(const QByteArray& target) {
    return "." + QFile::encodeName(QFile::decodeName(nameOf(target))) + ".nuovo-";
}

QString shown(const QByteArray& path) {
    return folders::shownNative(QFile::decodeName(path));
}

Error failed(const QString& what, int error) {
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return makeError(QStringLiteral("%1: il disco è pieno").arg(what));
    case EROFS:
    case EACCES:
    case EPERM:
        return makeError(QStringLiteral("%1: la cartella è di sola lettura").arg(what));
    default:
        return makeError(
            QStringLiteral("%1 (%2)").arg(what, QString::fromLocal8Bit(::strerror(error))));
    }
}

void removeWithJournals(const QByteArray& path) {
    ::unlink(path.constData());
    for (const char* suffix : kJournalSuffixes)
        ::unlink((path + suffix).constData());
}

// A work file no process holds: the engine's connection that made it held a lock on it.
bool abandoned(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

void removeAbandoned(const QByteArray& target) {
    const QByteArray folder = folderOf(target);
    const QByteArray prefix = workPrefix(target);
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return;
    QList<QByteArray> names;
    while (const dirent* e = ::readdir(dir))
        if (QByteArray(e->d_name).startsWith(prefix))
            names << QByteArray(e->d_name);
    ::closedir(dir);
    for (QByteArray name : names) {
        for (const char* suffix : kJournalSuffixes)
            if (name.endsWith(suffix))
                name.chop(qsizetype(qstrlen(suffix)));
        const QByteArray path = folder + "/" + name;
        if (!exists(path))
            removeWithJournals(path);
        else if (abandoned(path))
            removeWithJournals(path);
    }
}

} // namespace

QByteArray workFor(const QByteArray& target) {
    removeAbandoned(target);
    const quint64 n = QRandomGenerator::system()->generate64();
    return folderOf(target) + "/" + workPrefix(target) + QByteArray::number(n, 16);
}

Status syncFolder(const QByteArray& path) {
    const int fd = ::open(folderOf(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return {};
    const int rc = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    // Some file systems cannot sync a folder; the rename is then as safe as they make it.
    if (rc != 0 && error != EINVAL && error != EROFS)
        return failed(QStringLiteral("il nuovo file non si può registrare sul disco"), error);
    return {};
}

bool exists(const QByteArray& path) {
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0;
}

bool sameFile(const QByteArray& a, const QByteArray& b) {
    struct stat sa {
    }, sb{};
    return ::stat(a.constData(), &sa) == 0 && ::stat(b.constData(), &sb) == 0 &&
           sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

Status syncFile(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return failed(QStringLiteral("il nuovo file non si può rileggere"), errno);
    const int rc = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    if (rc != 0)
        return failed(QStringLiteral("il nuovo file non si può registrare sul disco"), error);
    return {};
}

int writeAll(int fd, const char* data, size_t size) {
    for (size_t done = 0; done < size;) {
        const ssize_t w = ::write(fd, data + done, size - done);
        if (w < 0 && errno == EINTR)
            continue;
        if (w < 0)
            return errno;
        if (w == 0)
            return ENOSPC;
        done += size_t(w);
    }
    return 0;
}

int flush(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int rc = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    return rc == 0 ? 0 : error;
}

int replaceWith(const QByteArray& target, const QByteArray& bytes) {
    const QByteArray work = workFor(target);
    const int fd = ::open(work.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno;
    // Held while it is made: another run's clean-up of abandoned work files leaves it alone.
    (void)::flock(fd, LOCK_EX | LOCK_NB);
    int error = writeAll(fd, bytes);
    if (!error && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && !error)
        error = errno;
    if (!error && ::rename(work.constData(), target.constData()) != 0)
        error = errno;
    if (error) {
        ::unlink(work.constData());
        return error;
    }
    (void)flush(folderOf(target));
    return 0;
}

Status put(const QByteArray& work, const QByteArray& target) {
    const QString cannot =
        QStringLiteral("il nuovo file non si può chiamare %1").arg(shown(target));
    const Error taken = makeError(QStringLiteral("il file %1 esiste già").arg(shown(target)));
    if (::renameat2(AT_FDCWD, work.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) !=
        0) {
        if (errno == EEXIST)
            return taken;
        if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
            return failed(cannot, errno);
        // A file system that cannot rename without replacing: a second name, which is never
        // given over an existing one, then the work name goes.
        if (::link(work.constData(), target.constData()) == 0) {
            ::unlink(work.constData());
        } else if (errno == EEXIST) {
            return taken;
        } else {
            // Nor has it second names: the name is checked just before.
            if (exists(target))
                return taken;
            if (::rename(work.constData(), target.constData()) != 0)
                return failed(cannot, errno);
        }
    }
    return syncFolder(target);
}

std::optional<Kept> keepAside(const QByteArray& target, const QByteArray& keep) {
    if (::link(target.constData(), keep.constData()) == 0)
        return Kept::Linked;
    if (errno == EEXIST) {
        if (sameFile(target, keep))
            return Kept::Linked;
        errno = EEXIST;
        return std::nullopt;
    }
    if (errno != EPERM && errno != EOPNOTSUPP && errno != EMLINK && errno != ENOSYS)
        return std::nullopt;
    if (exists(keep)) {
        errno = EEXIST;
        return std::nullopt;
    }
    if (::rename(target.constData(), keep.constData()) != 0)
        return std::nullopt;
    return Kept::Moved;
}

void putBack(const QByteArray& keep, const QByteArray& target, Kept kept) {
    // Renaming one name of a file over another of the same file does nothing: the second name
    // then goes by itself.
    ::rename(keep.constData(), target.constData());
    if (kept == Kept::Linked)
        ::unlink(keep.constData());
}

Status replaceKeeping(const QByteArray& work, const QByteArray& target, const QByteArray& keep) {
    const QString cannot =
        QStringLiteral("il nuovo file non si può chiamare %1").arg(shown(target));
    // The old file gets its second name first; the new one then takes the first name in one
    // step.
    const std::optional<Kept> kept = keepAside(target, keep);
    if (!kept)
        return errno == EEXIST ? makeError(QStringLiteral("esiste già un file %1").arg(shown(keep)))
                               : failed(QStringLiteral("l'archivio non si può rinominare"), errno);
    if (::rename(work.constData(), target.constData()) != 0) {
        const int error = errno;
        putBack(keep, target, *kept);
        return failed(cannot, error);
    }
    return syncFolder(target);
}

namespace {

// The n-th choice of a name for `path`: itself, then "name (2).ext", "name (3).ext" ...
QByteArray nthName(const QByteArray& path, int n) {
    const qsizetype dot = nameOf(path).lastIndexOf('.');
    const qsizetype cut = dot > 0 ? path.size() - nameOf(path).size() + dot : path.size();
    return n == 1 ? path : path.left(cut) + " (" + QByteArray::number(n) + ")" + path.mid(cut);
}

constexpr int kNameChoices = 1000;

} // namespace

QByteArray firstFree(const QByteArray& path) {
    for (int n = 1; n <= kNameChoices; ++n)
        if (!exists(nthName(path, n)))
            return nthName(path, n);
    return path;
}

Result<QByteArray> putFree(const QByteArray& work, const QByteArray& path) {
    for (int n = 1; n <= kNameChoices; ++n) {
        const QByteArray name = nthName(path, n);
        if (exists(name))
            continue;
        Status s = put(work, name);
        if (s)
            return name;
        if (exists(name) && !sameFile(work, name))
            continue;
        return s.error();
    }
    return makeError(QStringLiteral("il file %1 e mille altri con lo stesso nome esistono già")
                         .arg(shown(path)));
}

Result<Created> createFree(const QByteArray& path) {
    for (int n = 1; n <= kNameChoices; ++n) {
        const QByteArray name = nthName(path, n);
        // With O_EXCL a link at the name counts as taken and is never followed.
        const int fd =
            ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                   S_IRUSR | S_IWUSR);
        if (fd >= 0) {
            ::fchmod(fd, S_IRUSR | S_IWUSR);
            return Created{fd, name};
        }
        if (errno != EEXIST)
            return failed(QStringLiteral("il file %1 non si può creare").arg(shown(name)), errno);
    }
    return makeError(QStringLiteral("il file %1 e mille altri con lo stesso nome esistono già")
                         .arg(shown(path)));
}

} // namespace inplace
