#include "FolderNames.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QStringList>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <vector>

namespace folders {
namespace {

struct Alias {
    QString prefix; // "/proc/self/fd/N"
    QByteArray bytes;
    QString name;
};

std::vector<Alias>& aliases() {
    static std::vector<Alias> list;
    return list;
}

bool isUtf8(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8(bytes);
    return !utf8.hasError();
}

// Each folder of the path as UTF-8 where it is, as Latin-1 where it is not.
QString readableName(const QByteArray& native) {
    QStringList parts;
    for (const QByteArray& part : native.split('/'))
        parts << (isUtf8(part) ? QString::fromUtf8(part) : QString::fromLatin1(part));
    return parts.join(QLatin1Char('/'));
}

// The alias whose prefix starts the path, as a whole folder name.
const Alias* aliasOf(const QString& path) {
    for (const Alias& a : aliases())
        if (path.startsWith(a.prefix) &&
            (path.size() == a.prefix.size() || path[a.prefix.size()] == QLatin1Char('/')))
            return &a;
    return nullptr;
}

} // namespace

QString usable(const QByteArray& native) {
    if (isUtf8(native))
        return QFile::decodeName(native);
    for (const Alias& a : aliases())
        if (a.bytes == native)
            return a.prefix;
    const int fd = ::open(native.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return {};
    Alias a{QStringLiteral("/proc/self/fd/%1").arg(fd), native, readableName(native)};
    aliases().push_back(a);
    return a.prefix;
}

QString programFolder() {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf);
    if (n <= 0 || n >= ssize_t(sizeof buf))
        return {};
    QByteArray exe(buf, n);
    const qsizetype slash = exe.lastIndexOf('/');
    return usable(slash > 0 ? exe.left(slash) : QByteArray("/"));
}

QString shown(const QString& path) {
    if (const Alias* a = aliasOf(path))
        return a->name + path.mid(a->prefix.size());
    return path;
}

QByteArray native(const QString& path) {
    if (const Alias* a = aliasOf(path))
        return a->bytes + QFile::encodeName(path.mid(a->prefix.size()));
    return QFile::encodeName(path);
}

QString shownNative(const QString& path) {
    return QDir::toNativeSeparators(shown(path));
}

QString usablePath(const QByteArray& native) {
    if (isUtf8(native))
        return QFile::decodeName(native);
    // The deepest folder of the path that exists, and what is missing below it.
    for (qsizetype end = native.size(); end > 0; end = native.lastIndexOf('/', end - 1)) {
        const QByteArray head = native.left(end);
        const QByteArray rest = native.mid(end);
        struct stat st;
        if (::stat(head.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
            continue;
        if (!isUtf8(rest))
            return {};
        const QString folder = usable(head);
        return folder.isEmpty() ? QString() : folder + QFile::decodeName(rest);
    }
    return {};
}

Exposure exposure(const QString& path) {
    const QByteArray bytes = native(path);
    const uid_t me = ::geteuid();
    struct stat st;
    if (::lstat(bytes.constData(), &st) != 0)
        return Exposure::None;
    if (S_ISLNK(st.st_mode)) {
        if (st.st_uid != me)
            return Exposure::OtherOwner;
        if (::stat(bytes.constData(), &st) != 0)
            return Exposure::None;
    }
    if (st.st_uid != me)
        return Exposure::OtherOwner;
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return Exposure::OthersWrite;
    return Exposure::None;
}

int makeOwnerOnly(const QString& folder, QString* failed) {
    const QByteArray bytes = native(folder);
    for (qsizetype i = 1; i <= bytes.size(); ++i) {
        if (i < bytes.size() && bytes[i] != '/')
            continue;
        const QByteArray part = bytes.left(i);
        if (::mkdir(part.constData(), 0700) != 0 && errno != EEXIST) {
            const int err = errno;
            if (failed)
                *failed = QFile::decodeName(part);
            return err;
        }
    }
    return 0;
}

} // namespace folders
