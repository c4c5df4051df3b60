#include "BackupCommands.h"

#include "data/Backup.h"
#include "data/ItalianText.h"
#include "data/Schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kBackupTitle = QStringLiteral("Copia di sicurezza");
const QString kRestoreTitle = QStringLiteral("Ripristina da copia");

QString capitalised(QString s) {
    if (!s.isEmpty())
        s[0] = s[0].toUpper();
    return s;
}

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// The chosen copy, byte for byte, into a new owner-only file: what is checked and put in place
// is this file, never the one the user chose, which stays as it is.
Status stageCopy(const QString& from, const QString& to) {
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return makeError(QStringLiteral("il file non si può leggere"));
    QFile::remove(to);
    const int fd =
        ::open(QFile::encodeName(to).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return makeError(QStringLiteral("la cartella del database non si può scrivere"));
    QFile out;
    if (!out.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle))
        return makeError(QStringLiteral("la cartella del database non si può scrivere"));
    QByteArray chunk;
    while (!(chunk = in.read(1 << 20)).isEmpty())
        if (out.write(chunk) != chunk.size()) {
            out.close();
            QFile::remove(to);
            return makeError(QStringLiteral("il disco è pieno"));
        }
    const bool synced = ::fsync(fd) == 0;
    out.close();
    if (in.error() != QFileDevice::NoError || !synced) {
        QFile::remove(to);
        return makeError(QStringLiteral("il file non si può leggere"));
    }
    return {};
}

void removeWithJournals(const QString& path) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(path + QLatin1String(suffix));
}

// Opens the shared connection on the file as start-up does.
Status openShared(AppContext& ctx, const QString& path) {
    auto opened = Database::open(path, schema::password());
    if (!opened)
        return opened.error();
    Status s = schema::verify(**opened);
    if (s) {
        (*opened)->keepOwnerOnly();
        s = schema::ensureIndexes(**opened);
    }
    if (s)
        ctx.connection = std::move(*opened);
    return s;
}

} // namespace

void BackupCommands::CopiaSicurezza_Click() {
    if (!ctx.connected())
        return;
    const QString start =
        m_lastFolder.isEmpty() ? QFileInfo(ctx.db().path()).absolutePath() : m_lastFolder;
    const auto folder = ctx.dialogs.chooseFolder(
        QStringLiteral("Copia di sicurezza: scegliere la cartella"), start);
    if (!folder)
        return;
    m_lastFolder = *folder;
    auto made = backup::copyInto(ctx.db(), *folder, ctx.clock.now());
    if (!made) {
        ctx.dialogs.message(QStringLiteral("La copia di sicurezza non è stata fatta.\n\n%1.")
                                .arg(capitalised(made.error().text)),
                            kBackupTitle, BoxIcon::Exclamation);
        return;
    }
    ctx.dialogs.message(
        QStringLiteral("Copia di sicurezza effettuata e controllata:\n%1").arg(shown(*made)),
        kBackupTitle, BoxIcon::Information);
}

void BackupCommands::Ripristina_Click() {
    if (!ctx.connected())
        return;
    const QString path = ctx.db().path();
    const auto chosen = ctx.dialogs.chooseFile(
        QStringLiteral("Ripristina da copia: scegliere la copia"), backup::automaticFolder(path),
        QStringLiteral("Copie del database (*.mdb)"));
    if (!chosen)
        return;
    if (QFileInfo(*chosen).absoluteFilePath() == QFileInfo(path).absoluteFilePath()) {
        ctx.dialogs.message(QStringLiteral("Il file scelto è il database in uso, non una copia."),
                            kRestoreTitle, BoxIcon::Exclamation);
        return;
    }
    const QFileInfo db(path);
    const QString staged =
        db.absoluteDir().filePath(QStringLiteral(".%1.ripristino").arg(db.fileName()));
    auto refuse = [&](const Error& e) {
        removeWithJournals(staged);
        ctx.dialogs.message(QStringLiteral("La copia non si può ripristinare:\n%1\n\n%2.\n\n"
                                           "Il database non è stato cambiato.")
                                .arg(shown(*chosen), capitalised(e.text)),
                            kRestoreTitle, BoxIcon::Exclamation);
    };
    if (Status s = stageCopy(*chosen, staged); !s)
        return refuse(s.error());
    auto contents = backup::verify(staged);
    if (!contents)
        return refuse(contents.error());
    const QString last =
        contents->lastOrder.isValid()
            ? QStringLiteral("l'ultimo ordine è del %1").arg(itext::formatDate(contents->lastOrder))
            : QStringLiteral("nessun ordine ha una data");
    const QString question =
        QStringLiteral("La copia\n%1\ncontiene %2 clienti, %3 articoli e %4 ordini; %5.\n\n"
                       "Sostituire i dati attuali con quelli della copia? I dati attuali "
                       "vengono prima salvati in una copia.")
            .arg(shown(*chosen))
            .arg(contents->customers)
            .arg(contents->articles)
            .arg(contents->orders)
            .arg(last);
    if (!ctx.dialogs.question(question, kRestoreTitle)) {
        removeWithJournals(staged);
        return;
    }
    auto saved = backup::automaticCopy(ctx.db(), ctx.clock.now());
    if (!saved)
        return refuse(makeError(QStringLiteral("i dati attuali non si possono salvare in una "
                                               "copia: %1")
                                    .arg(saved.error().text)));
    if (Status s = replaceWith(staged); !s) {
        removeWithJournals(staged);
        m_refresh();
        ctx.dialogs.message(QStringLiteral("Il ripristino non è riuscito.\n\n%1.\n\n"
                                           "Il database è quello di prima.")
                                .arg(capitalised(s.error().text)),
                            kRestoreTitle, BoxIcon::Exclamation);
        return;
    }
    m_refresh();
    ctx.dialogs.message(QStringLiteral("Ripristino effettuato. I dati di prima sono nella "
                                       "copia\n%1")
                            .arg(shown(*saved)),
                        kRestoreTitle, BoxIcon::Information);
}

Status BackupCommands::replaceWith(const QString& staged) {
    const QString path = ctx.db().path();
    const QByteArray local = QFile::encodeName(path);
    const QFileInfo db(path);
    const QByteArray held = QFile::encodeName(
        db.absoluteDir().filePath(QStringLiteral(".%1.precedente").arg(db.fileName())));
    ctx.connection.reset();
    // The file as it was keeps a second name until the copy is open in its place.
    ::unlink(held.constData());
    if (::link(local.constData(), held.constData()) != 0) {
        const Status reopened = openShared(ctx, path);
        return reopened ? makeError(QStringLiteral("la cartella del database non si può "
                                                   "scrivere"))
                        : reopened;
    }
    Status s;
    if (::rename(QFile::encodeName(staged).constData(), local.constData()) != 0)
        s = makeError(QStringLiteral("il database non si può sostituire"));
    if (s)
        s = openShared(ctx, path);
    if (!s) {
        ctx.connection.reset();
        ::rename(held.constData(), local.constData());
        if (Status back = openShared(ctx, path); !back)
            return back;
        return s;
    }
    ::unlink(held.constData());
    return {};
}

void BackupCommands::copiaAvvio(const QString& path) {
    if (!ctx.connected() || !backup::startupCopyDue(path, ctx.clock.now()))
        return;
    if (auto made = backup::automaticCopy(ctx.db(), ctx.clock.now()); !made)
        tellAutomaticFailure(made.error());
}

void BackupCommands::copiaUscita() {
    if (!ctx.connected())
        return;
    if (auto made = backup::automaticCopy(ctx.db(), ctx.clock.now()); !made)
        tellAutomaticFailure(made.error());
}

void BackupCommands::tellAutomaticFailure(const Error& e) {
    ctx.dialogs.message(QStringLiteral("La copia automatica del database non è stata fatta.\n\n"
                                       "%1.\n\nLe copie precedenti sono rimaste.")
                            .arg(capitalised(e.text)),
                        kBackupTitle, BoxIcon::Exclamation);
}
