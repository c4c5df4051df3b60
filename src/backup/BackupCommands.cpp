#include "BackupCommands.h"

#include "Backup.h"
#include "PasswordsMoved.h"
#include "data/DatabaseSwap.h"
#include "data/Rekey.h"
#include "data/Schema.h"
#include "files/FolderNames.h"
#include "text/ItalianText.h"
#include "ui/KeyPrompt.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString kBackupTitle = QStringLiteral("Copia di sicurezza");
const QString kRestoreTitle = QStringLiteral("Ripristina da copia");

// The chosen copy, byte for byte, into a new owner-only file: what is checked and put in place
// is this file, never the one the user chose, which stays as it is.
Status stageCopy(const QString& from, const QString& to) {
    QFile::remove(to);
    return backup::copyFile(from, to);
}

// Opens a connection on the file as start-up does, with the key it had.
Result<std::unique_ptr<Database>> openShared(const QString& path, const FileKey& key) {
    auto opened = Database::open(path, key);
    if (!opened)
        return opened.error();
    if (Status s = schema::prepareOpened(**opened); !s)
        return s.error();
    return opened;
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
                                .arg(itext::capitalised(made.error().text)),
                            kBackupTitle, BoxIcon::Exclamation);
        return;
    }
    ctx.dialogs.message(QStringLiteral("Copia di sicurezza effettuata e controllata:\n%1")
                            .arg(folders::shownNative(*made)),
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
    if (QFileInfo(*chosen).absoluteFilePath() == QFileInfo(path).absoluteFilePath() ||
        QFileInfo(*chosen).canonicalFilePath() == QFileInfo(path).canonicalFilePath()) {
        ctx.dialogs.message(QStringLiteral("Il file scelto è il database in uso, non una copia."),
                            kRestoreTitle, BoxIcon::Exclamation);
        return;
    }
    // Beside the file itself (a link's target), so that it takes the file's place in one step.
    const QString staged = backup::stagedName(path);
    auto refuse = [&](const Error& e) {
        Database::removeFiles(staged);
        ctx.dialogs.message(QStringLiteral("La copia non si può ripristinare:\n%1\n\n%2.\n\n"
                                           "Il database non è stato cambiato.")
                                .arg(folders::shownNative(*chosen), itext::capitalised(e.text)),
                            kRestoreTitle, BoxIcon::Exclamation);
    };
    if (Status s = stageCopy(*chosen, staged); !s)
        return refuse(s.error());
    // A copy made under another key (another password, or none) is put under the file's own,
    // or keeps its own, as the user chooses.
    auto copyKey = keyprompt::keyOfCopy(ctx.dialogs, staged, ctx.db().key(), kRestoreTitle);
    if (!copyKey)
        return refuse(copyKey.error());
    FileKey key = ctx.db().key();
    bool keptOwnKey = false;
    if (!(*copyKey == key)) {
        if (askToTakeTheFileKey(*copyKey, key)) {
            if (Status s = rekey::changeKey(staged, *copyKey, key); !s) {
                copyKey->clear();
                return refuse(s.error());
            }
        } else {
            key = *copyKey;
            keptOwnKey = true;
        }
    }
    copyKey->clear();
    auto contents = backup::verifyMending(staged, key);
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
            .arg(folders::shownNative(*chosen))
            .arg(contents->customers)
            .arg(contents->articles)
            .arg(contents->orders)
            .arg(last);
    if (!ctx.dialogs.questionDefaultNo(question, kRestoreTitle)) {
        Database::removeFiles(staged);
        return;
    }
    // Another program with the file open would write its pages of the file as it was into the
    // restored one: the file is ours alone from here to the end of the swap.
    if (Status alone = ctx.db().holdAlone(); !alone) {
        Database::removeFiles(staged);
        if (!Database::heldByAnother(alone.error()))
            return refuse(alone.error());
        ctx.dialogs.message(QStringLiteral("Il ripristino non è stato fatto: il database\n%1\n"
                                           "è in uso da un altro programma (un'altra copia di "
                                           "Gestione Ordini o un programma che legge il "
                                           "database). Chiudere quel programma e riprovare.\n\n"
                                           "Il database non è stato cambiato.")
                                .arg(folders::shownNative(path)),
                            kRestoreTitle, BoxIcon::Exclamation);
        return;
    }
    auto saved = backup::saveBeforeRestore(ctx.db(), ctx.clock.now(), *chosen);
    if (!saved) {
        ctx.db().letGo();
        return refuse(makeError(QStringLiteral("i dati attuali non si possono salvare in una "
                                               "copia: %1")
                                    .arg(saved.error().text)));
    }
    if (!saved->damage.isEmpty())
        ctx.dialogs.message(QStringLiteral("Il database in uso non supera il controllo (%1). "
                                           "I suoi dati sono stati salvati comunque nella "
                                           "copia\n%2\n\nIl ripristino prosegue.")
                                .arg(saved->damage, folders::shownNative(saved->path)),
                            kRestoreTitle, BoxIcon::Exclamation);
    if (Status s = replaceWith(staged, key); !s) {
        Database::removeFiles(staged);
        m_refresh();
        ctx.dialogs.message(QStringLiteral("Il ripristino non è riuscito.\n\n%1.\n\n"
                                           "Il database è quello di prima.")
                                .arg(itext::capitalised(s.error().text)),
                            kRestoreTitle, BoxIcon::Exclamation);
        return;
    }
    m_refresh();
    QString done = QStringLiteral("Ripristino effettuato. I dati di prima sono nella copia\n%1")
                       .arg(folders::shownNative(saved->path));
    if (keptOwnKey)
        done += key.personal ? QStringLiteral("\n\nIl database ha ora la password personale "
                                              "della copia: il programma la chiederà a ogni "
                                              "avvio.")
                             : QStringLiteral("\n\nIl database ora si apre senza password "
                                              "personale.");
    key.clear();
    ctx.dialogs.message(done, kRestoreTitle, BoxIcon::Information);
    // A copy made by an earlier version may hold the accounts' passwords: they leave it now,
    // before any copy of it is made.
    passwordsmoved::tidy(ctx);
}

bool BackupCommands::askToTakeTheFileKey(const FileKey& copy, const FileKey& file) {
    const QString keep = QStringLiteral("No: la copia tiene la sua password, che da ora il "
                                        "programma chiederà a ogni avvio.");
    if (copy.personal && file.personal)
        return ctx.dialogs.question(
            QStringLiteral("La copia è protetta da un'altra password personale.\n\n"
                           "Ripristinarla con la password del database in uso?\n\n"
                           "Sì: la copia prende la password del database in uso.\n%1")
                .arg(keep),
            kRestoreTitle);
    if (file.personal)
        return ctx.dialogs.question(
            QStringLiteral("La copia non ha una password personale: è stata fatta prima che la "
                           "password fosse impostata.\n\n"
                           "Ripristinarla con la password del database in uso?\n\n"
                           "Sì: la copia prende la password del database in uso.\n"
                           "No: la copia resta senza password personale e chiunque abbia il "
                           "file potrà leggerlo."),
            kRestoreTitle);
    // The database in use has none: keeping the copy's password is the safer answer.
    return ctx.dialogs.questionDefaultNo(
        QStringLiteral("La copia è protetta da una password personale, il database in uso no."
                       "\n\nRipristinarla senza password personale, come il database in uso?"
                       "\n\nSì: la copia si apre senza password, e chiunque abbia il file potrà "
                       "leggerlo.\n%1")
            .arg(keep),
        kRestoreTitle);
}

Status BackupCommands::replaceWith(const QString& staged, const FileKey& newKey) {
    const QString path = ctx.db().path();
    // A link stays a link: what is replaced is the file it leads to. The file as it was keeps a
    // second name until the copy is open in its place.
    return inplace::replaceOpen(ctx.connection, QFile::encodeName(staged),
                                QFile::encodeName(backup::realFile(path)),
                                QFile::encodeName(backup::heldName(path)), newKey,
                                [&](const FileKey& key) { return openShared(path, key); });
}

void BackupCommands::copyAtStart(const QString& path) {
    if (!ctx.connected())
        return;
    // The file is ours now (no other copy of the program has it): what a copy or a restore cut
    // short left behind goes.
    backup::removeLeftovers(path);
    if (!backup::startupCopyDue(path, ctx.clock.now()))
        return;
    if (auto made = backup::automaticCopy(ctx.db(), ctx.clock.now()); !made)
        tellAutomaticFailure(made.error());
}

void BackupCommands::copyAtExit() {
    if (!ctx.connected())
        return;
    if (auto made = backup::automaticCopy(ctx.db(), ctx.clock.now()); !made)
        tellAutomaticFailure(made.error());
}

void BackupCommands::tellAutomaticFailure(const Error& e) {
    ctx.dialogs.message(QStringLiteral("La copia automatica del database non è stata fatta.\n\n"
                                       "%1.\n\nLe copie precedenti sono rimaste.")
                            .arg(itext::capitalised(e.text)),
                        kBackupTitle, BoxIcon::Exclamation);
}
