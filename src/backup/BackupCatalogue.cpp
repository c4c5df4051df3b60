#include "Backup.h"
#include "BackupShared.h"

#include "data/Database.h"
#include "files/FileInPlace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <sys/stat.h>

namespace backup {

using detail::freeName;
using detail::kRecordName;
using detail::makeChecked;
using detail::makeFolder;
using detail::renameInto;
using detail::writeFailure;

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

} // namespace

QString automaticFolder(const QString& databasePath) {
    return QFileInfo(databasePath).absoluteDir().filePath(QStringLiteral("backup"));
}

QString copyName(const QString& databasePath, const QDateTime& when) {
    return QStringLiteral("%1_%2.mdb")
        .arg(baseOf(databasePath), when.toString(QLatin1String(kStamp)));
}

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

} // namespace backup
