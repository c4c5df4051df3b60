#include "OrderArchive.h"

#include "WorkbookFiles.h"
#include "files/FolderNames.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace sheets::archive {
namespace {

// The part of a name that comes from a field: letters and digits only.
QString namePart(const QString& text) {
    QString out;
    for (QChar c : text)
        if (c.isLetterOrNumber() && c.unicode() < 128)
            out += c;
    return out.isEmpty() ? QStringLiteral("0") : out.left(20);
}

// A folder the program writes in: a folder of this user's that the user can write, made
// owner-only when missing. A link is followed only for the first (the user's own documents
// folder or home); the folders the program makes must be plain folders.
Status useFolder(const QString& path, bool mayBeLink) {
    const QByteArray native = QFile::encodeName(path);
    struct stat st;
    if (::lstat(native.constData(), &st) != 0) {
        if (errno != ENOENT)
            return makeError(QStringLiteral("La cartella \"%1\" non è utilizzabile: %2")
                                 .arg(folders::shownNative(path), describeSystemError(errno)),
                             errno);
        if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
            return makeError(QStringLiteral("Impossibile creare la cartella \"%1\": %2")
                                 .arg(folders::shownNative(path), describeSystemError(errno)),
                             errno);
        if (::lstat(native.constData(), &st) != 0)
            return makeError(QStringLiteral("La cartella \"%1\" non è utilizzabile: %2")
                                 .arg(folders::shownNative(path), describeSystemError(errno)),
                             errno);
    }
    if (S_ISLNK(st.st_mode)) {
        if (!mayBeLink)
            return makeError(QStringLiteral("La cartella \"%1\" è un collegamento")
                                 .arg(folders::shownNative(path)),
                             EPERM);
        if (::stat(native.constData(), &st) != 0)
            return makeError(QStringLiteral("La cartella \"%1\" non è utilizzabile: %2")
                                 .arg(folders::shownNative(path), describeSystemError(errno)),
                             errno);
    }
    if (!S_ISDIR(st.st_mode))
        return makeError(
            QStringLiteral("\"%1\" non è una cartella").arg(folders::shownNative(path)), ENOTDIR);
    if (st.st_uid != ::getuid())
        return makeError(QStringLiteral("La cartella \"%1\" non appartiene all'utente")
                             .arg(folders::shownNative(path)),
                         EPERM);
    if (::access(native.constData(), W_OK | X_OK) != 0)
        return makeError(
            QStringLiteral("La cartella \"%1\" non è scrivibile").arg(folders::shownNative(path)),
            EACCES);
    if (!mayBeLink && (st.st_mode & 077) != 0)
        ::chmod(native.constData(), 0700);
    return {};
}

// root/Gestione Ordini/<parts...>, each folder checked or made in turn.
Result<QString> under(const QString& root, const QStringList& parts) {
    if (root.isEmpty() || !QDir::isAbsolutePath(root))
        return makeError(QStringLiteral("La cartella dei documenti non è nota"), ENOENT);
    if (Status s = useFolder(root, true); !s)
        return s.error();
    QString path = root;
    for (const QString& part : QStringList{QStringLiteral("Gestione Ordini")} + parts) {
        path = QDir(path).filePath(part);
        if (Status s = useFolder(path, false); !s)
            return s.error();
    }
    return path;
}

// The folder under documents, else under home.
Result<Folder> folderOf(const QString& documents, const QString& home, const QStringList& parts,
                        const QString& notWritten) {
    auto first = under(documents, parts);
    if (first)
        return Folder{*first, QString()};
    if (QDir::cleanPath(documents) != QDir::cleanPath(home)) {
        if (auto second = under(home, parts))
            return Folder{*second, first.error().text};
        else
            return makeError(first.error().text + QStringLiteral("; ") + second.error().text +
                                 notWritten,
                             second.error().code);
    }
    return makeError(first.error().text + notWritten, first.error().code);
}

} // namespace

Result<Folder> yearFolder(const QString& documents, const QString& home, const QString& year) {
    return folderOf(documents, home, {QStringLiteral("Ordini"), namePart(year)},
                    QStringLiteral(": il foglio non è stato scritto."));
}

Result<Folder> sectionFolder(const QString& documents, const QString& home, const QString& name) {
    return folderOf(documents, home, {namePart(name)},
                    QStringLiteral(": il file non è stato scritto."));
}

Result<Folder> sectionFolder(const QString& name) {
    return sectionFolder(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation),
                         QDir::homePath(), name);
}

Result<Folder> yearFolder(const QString& year) {
    return yearFolder(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation),
                      QDir::homePath(), year);
}

QString baseName(const QString& year, const QString& number) {
    return QStringLiteral("Ordine %1-%2").arg(namePart(year), namePart(number));
}

} // namespace sheets::archive
