#include "KeyPrompt.h"

#include "data/CipherPages.h"

#include <QFile>

#include <set>

namespace keyprompt {
namespace {

constexpr int kTries = 3;

bool wrongKey(const Error& e) {
    return isNotADatabase(e);
}

// Opens the file with a key only to learn whether the key fits.
Status opensWith(const QString& path, const FileKey& key) {
    Database::Options options;
    options.exclusive = false;
    auto opened = Database::open(path, key, options);
    if (!opened)
        return opened.error();
    return {};
}

} // namespace

bool looksEncrypted(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = f.size();
    const QByteArray head = f.read(16);
    // A plain database, or an archive of the earlier program, has a heading of its own.
    if (size < 4096 || size % 1024 != 0 || head.size() != 16 ||
        head == QByteArray("SQLite format 3\0", 16) ||
        head.mid(4).startsWith(QByteArray("Standard ")))
        return false;
    // The first bytes are the cipher's random salt: a file of a repeated byte is no database.
    std::set<char> distinct(head.begin(), head.end());
    return distinct.size() >= 8;
}

Result<std::unique_ptr<Database>> openAsking(Dialogs& dialogs, const QString& path,
                                             std::optional<FileKey>* damagedUnder) {
    auto note = [&](const FileKey& key) {
        if (damagedUnder)
            *damagedUnder = key;
    };
    auto opened = Database::open(path, FileKey::builtIn());
    if (opened)
        return opened;
    if (!wrongKey(opened.error())) {
        // It decrypted, and a page did not read.
        if (isDamagedFile(opened.error()))
            note(FileKey::builtIn());
        return opened;
    }
    if (!looksEncrypted(path))
        return opened;
    // The first page is damaged, and the rest is under the built-in key: no password was ever
    // set, and none is asked.
    if (cipherpages::otherPagesFit(path, FileKey::builtIn()) == cipherpages::Fit::Fits) {
        note(FileKey::builtIn());
        return damagedFile();
    }
    const QString title = QStringLiteral("Gestione Ordini");
    for (int tries = 0; tries < kTries; ++tries) {
        const QString prompt = tries == 0
                                   ? QStringLiteral("Password personale")
                                   : QStringLiteral("Password errata.\n\nPassword personale");
        std::optional<QString> typed = dialogs.password(prompt, title);
        if (!typed) {
            return makeError(QStringLiteral("Senza la password personale il database non si "
                                            "apre.\n\nIl programma verrà chiuso."),
                             kGivenUp);
        }
        // An empty password is no password: the engine would take it for a plain file.
        if (typed->isEmpty())
            continue;
        FileKey key = FileKey::personalPassword(*typed);
        typed->fill(QLatin1Char(' '));
        opened = Database::open(path, key);
        if (opened) {
            key.clear();
            return opened;
        }
        if (!wrongKey(opened.error())) {
            if (isDamagedFile(opened.error()))
                note(key);
            key.clear();
            return opened;
        }
        // The right password on a file whose first page is damaged.
        if (cipherpages::otherPagesFit(path, key) == cipherpages::Fit::Fits) {
            note(key);
            key.clear();
            return damagedFile();
        }
        key.clear();
    }
    return makeError(QStringLiteral("Password personale errata per tre volte.\n\n"
                                    "Il programma verrà chiuso."),
                     kGivenUp);
}

Result<FileKey> keyOfCopy(Dialogs& dialogs, const QString& path, const FileKey& current,
                          const QString& title) {
    Status s = opensWith(path, current);
    if (s)
        return current;
    if (!wrongKey(s.error()))
        return s.error();
    if (current.personal) {
        // A copy made before the password was set.
        s = opensWith(path, FileKey::builtIn());
        if (s)
            return FileKey::builtIn();
        if (!wrongKey(s.error()))
            return s.error();
    }
    if (!looksEncrypted(path))
        return s.error();
    for (int tries = 0; tries < kTries; ++tries) {
        const QString prompt =
            (tries == 0 ? QString() : QStringLiteral("Password errata.\n\n")) +
            QStringLiteral("La copia è protetta da un'altra password personale.\n\n"
                           "Password della copia");
        std::optional<QString> typed = dialogs.password(prompt, title);
        if (!typed)
            return makeError(QStringLiteral("la password della copia non è stata data"), kGivenUp);
        if (typed->isEmpty())
            continue;
        FileKey key = FileKey::personalPassword(*typed);
        typed->fill(QLatin1Char(' '));
        s = opensWith(path, key);
        if (s)
            return key;
        key.clear();
        if (!wrongKey(s.error()))
            return s.error();
    }
    return notADatabase(QStringLiteral("la password della copia è errata"));
}

} // namespace keyprompt
