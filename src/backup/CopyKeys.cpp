#include "CopyKeys.h"

#include "Backup.h"
#include "data/CipherPages.h"
#include "data/Database.h"
#include "data/Rekey.h"
#include "files/FolderNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <sys/stat.h>
#include <unistd.h>

namespace copykeys {
namespace {

constexpr const char* kPending = "copie.chiave_comune";

bool opensWith(const QString& path, const FileKey& key, Error* why = nullptr) {
    Database::Options options;
    options.exclusive = false;
    auto opened = Database::open(path, key, options);
    if (!opened && why)
        *why = opened.error();
    return bool(opened);
}

// A folder without any write right is taken as its owner meant it, whoever runs the program.
bool writableFolder(const QString& folder) {
    struct stat st {};
    const QByteArray local = QFile::encodeName(folder);
    return ::stat(local.constData(), &st) == 0 && ::access(local.constData(), W_OK | X_OK) == 0 &&
           (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

} // namespace

QStringList programCopies(const QString& databasePath) {
    const QString folder = backup::automaticFolder(databasePath);
    const QRegularExpression named(
        QStringLiteral("^%1_\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d(-\\d+)?(_danneggiato)?"
                       "(-\\d+)?\\.mdb$")
            .arg(QRegularExpression::escape(QFileInfo(databasePath).completeBaseName())));
    QStringList out;
    for (const QString& n : QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
        struct stat st {};
        const QString path = QDir(folder).filePath(n);
        if (named.match(n).hasMatch() && ::lstat(QFile::encodeName(path).constData(), &st) == 0 &&
            S_ISREG(st.st_mode))
            out << path;
    }
    return out;
}

Outcome changeAll(const QString& databasePath, const FileKey& from, const FileKey& to) {
    Outcome out;
    const QString folder = backup::automaticFolder(databasePath);
    const bool writable = writableFolder(folder);
    QList<FileKey> olds{from};
    if (from.personal)
        olds << FileKey::builtIn();
    for (const QString& copy : programCopies(databasePath)) {
        std::optional<FileKey> old;
        std::optional<FileKey> damagedUnder;
        Error why;
        for (const FileKey& k : olds) {
            if (opensWith(copy, k, &why)) {
                old = k;
                break;
            }
            // It decrypted, and a page did not read.
            if (!isNotADatabase(why)) {
                damagedUnder = k;
                break;
            }
        }
        if (!old) {
            // A copy whose first page is damaged still shows its key in the others.
            for (const FileKey& k : olds)
                if (!damagedUnder &&
                    cipherpages::otherPagesFit(copy, k) == cipherpages::Fit::Fits) {
                    damagedUnder = k;
                    why = makeError(QStringLiteral("la copia è danneggiata"));
                }
            if (damagedUnder) {
                out.failed.append({copy, why.text});
                out.builtInLeft = out.builtInLeft || !damagedUnder->personal;
            } else if (opensWith(copy, to)) {
                out.changed << copy;
            } else {
                out.otherKey << copy;
            }
            continue;
        }
        if (*old == to) {
            out.changed << copy;
            continue;
        }
        Status s = writable ? rekey::changeKey(copy, *old, to)
                            : Status(makeError(QStringLiteral("la cartella %1 non si può scrivere")
                                                   .arg(folders::shownNative(folder))));
        if (s) {
            out.changed << copy;
            continue;
        }
        out.failed.append({copy, s.error().text});
        out.builtInLeft = out.builtInLeft || !old->personal;
    }
    return out;
}

Status markPending(Database& db) {
    return db.write([&]() -> Status {
        auto st =
            db.prepare("INSERT OR REPLACE INTO PROTEZIONE (CHIAVE, VALORE) VALUES (?1, '1');");
        if (!st)
            return st.error();
        return st->bind(1, kPending).run();
    });
}

Status clearPending(Database& db) {
    return db.write([&]() -> Status {
        auto st = db.prepare("DELETE FROM PROTEZIONE WHERE CHIAVE = ?1;");
        if (!st)
            return st.error();
        return st->bind(1, kPending).run();
    });
}

bool pending(Database& db) {
    auto st = db.prepare("SELECT 1 FROM PROTEZIONE WHERE CHIAVE = ?1;");
    if (!st)
        return false;
    st->bind(1, kPending);
    return st->next();
}

} // namespace copykeys
