#include "PasswordCommands.h"

#include "backup/Backup.h"
#include "backup/PasswordsMoved.h"
#include "data/Rekey.h"
#include "files/FolderNames.h"
#include "masterdata/AgentStore.h"
#include "masterdata/MasterDataMessages.h"
#include "oldarchive/ArchiveStartup.h"
#include "text/ItalianText.h"
#include "ui/BusyPointer.h"
#include "ui/Titles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

const QString kTitle = QStringLiteral("Password personale");

QString warning(const QString& question) {
    return QStringLiteral(
               "Con una password personale il database si apre solo scrivendo la password: "
               "senza di essa né questo programma né altri possono leggerlo, neppure su un "
               "altro computer. Le copie automatiche accanto al database prendono la stessa "
               "password; le copie fatte con \"Copia di sicurezza…\" in altre cartelle restano "
               "come sono.\n\n"
               "ATTENZIONE: una password dimenticata non si può recuperare in alcun modo, e "
               "con essa si perdono i dati.\n\n"
               "I fogli degli ordini, i PDF e le esportazioni restano file normali, leggibili "
               "da chiunque li riceva.\n\n%1")
        .arg(question);
}

} // namespace

void PasswordCommands::PasswordPersonale_Click() {
    if (!ctx.connected())
        return;
    const std::optional<QString> code = ctx.dialogs.input(mdmsg::accessCodePrompt(), titles::t13());
    // An empty or cancelled box is the user changing their mind, not a wrong code.
    if (!code || code->trimmed().isEmpty())
        return;
    if (!agent::isAccessCode(*code)) {
        ctx.dialogs.message(mdmsg::wrongAccessCode(), mdmsg::wrongAccessCodeTitle(),
                            BoxIcon::Exclamation);
        return;
    }

    if (!ctx.db().key().personal) {
        if (!ctx.dialogs.question(warning(QStringLiteral("Impostare una password personale?")),
                                  kTitle, BoxIcon::Exclamation))
            return;
        std::optional<QString> typed =
            askNew(QStringLiteral("La password personale non è stata impostata."));
        if (!typed)
            return;
        FileKey key = FileKey::personalPassword(*typed);
        typed->fill(QLatin1Char(' '));
        changeTo(std::move(key), QStringLiteral("Password personale impostata.\n\nDa ora il "
                                                "programma la chiede a ogni avvio."));
        return;
    }

    if (!currentPasswordGiven(ctx, kTitle))
        return;
    if (ctx.dialogs.question(QStringLiteral("Cambiare la password personale?\n\n"
                                            "Sì: sceglierne una nuova.\n"
                                            "No: toglierla."),
                             kTitle)) {
        if (!ctx.dialogs.question(warning(QStringLiteral("Cambiare la password personale?")),
                                  kTitle, BoxIcon::Exclamation))
            return;
        std::optional<QString> typed =
            askNew(QStringLiteral("La password personale non è stata cambiata."));
        if (!typed)
            return;
        FileKey key = FileKey::personalPassword(*typed);
        typed->fill(QLatin1Char(' '));
        changeTo(std::move(key), QStringLiteral("Password personale cambiata."));
        return;
    }
    if (!ctx.dialogs.question(
            QStringLiteral("Togliere la password personale?\n\nIl database tornerà ad aprirsi "
                           "con la chiave comune del programma: chiunque abbia il file, o una "
                           "copia fatta da ora in poi, potrà leggerlo."),
            kTitle, BoxIcon::Exclamation))
        return;
    changeTo(FileKey::builtIn(),
             QStringLiteral("Password personale tolta.\n\nIl database si apre di nuovo senza "
                            "password. Le copie fatte finora restano protette dalla password "
                            "tolta: per ripristinarne una il programma la chiederà."));
}

std::optional<QString> PasswordCommands::askNew(const QString& notDone) {
    std::optional<QString> first = ctx.dialogs.password(
        QStringLiteral("Nuova password personale (%1)").arg(passwordRule()), kTitle);
    if (!first)
        return std::nullopt;
    if (const auto weak = weakPassword(*first)) {
        first->fill(QLatin1Char(' '));
        ctx.dialogs.message(QStringLiteral("%1\n\n%2").arg(*weak, notDone), kTitle,
                            BoxIcon::Exclamation);
        return std::nullopt;
    }
    std::optional<QString> again =
        ctx.dialogs.password(QStringLiteral("Ripetere la nuova password personale"), kTitle);
    if (!again) {
        first->fill(QLatin1Char(' '));
        return std::nullopt;
    }
    const bool same = *again == *first;
    again->fill(QLatin1Char(' '));
    if (!same) {
        first->fill(QLatin1Char(' '));
        ctx.dialogs.message(QStringLiteral("Le due password non coincidono.\n\n%1").arg(notDone),
                            kTitle, BoxIcon::Exclamation);
        return std::nullopt;
    }
    return first;
}

void PasswordCommands::changeTo(FileKey key, const QString& done) {
    const FileKey old = ctx.db().key();
    QString told = done;
    Status s;
    std::optional<copykeys::Outcome> copies;
    {
        BusyPointer busy;
        if (!key.personal) {
            // Passwords kept in the file for want of a keyring never stay under the built-in
            // key: they leave it first.
            auto moved = ctx.secrets.leaveFile(ctx.db());
            if (!moved)
                s = moved.error();
            else if (moved->has_value())
                told += QStringLiteral("\n\n") + passwordsmoved::text(**moved, false);
        }
        // Copies under the built-in key that the change leaves behind are taken up at the next
        // start, whenever it is cut short.
        const bool mark = s && key.personal && !old.personal;
        if (mark)
            s = copykeys::markPending(ctx.db());
        if (s)
            s = rekey::changeKey(ctx.connection, key);
        if (!s && mark && ctx.connected())
            (void)copykeys::clearPending(ctx.db());
        if (s && key.personal) {
            copies = copykeys::changeAll(ctx.db().path(), old, key);
            if (!copies->builtInLeft)
                (void)copykeys::clearPending(ctx.db());
            // Passwords held in memory for want of a keyring may now be kept in the file.
            if (auto moved = ctx.secrets.tidy(ctx.db()); moved && moved->has_value())
                told += QStringLiteral("\n\n") + passwordsmoved::text(**moved, false);
        }
    }
    key.clear();
    m_refresh();
    if (!ctx.connected()) {
        ctx.dialogs.message(QStringLiteral("Il database non si può riaprire.\n\n%1.\n\n"
                                           "Il programma verrà chiuso.")
                                .arg(itext::capitalised(s ? QStringLiteral("errore del database")
                                                          : s.error().text)),
                            kTitle, BoxIcon::Critical);
        QCoreApplication::exit(1);
        return;
    }
    if (!s) {
        ctx.dialogs.message(QStringLiteral("La password personale non è stata cambiata.\n\n%1."
                                           "\n\nIl database è quello di prima.")
                                .arg(itext::capitalised(s.error().text)),
                            kTitle, BoxIcon::Exclamation);
        return;
    }
    if (copies)
        told += QStringLiteral("\n\n") + copiesText(*copies, old, true);
    const bool troubled = copies && !copies->failed.isEmpty();
    ctx.dialogs.message(told, kTitle, troubled ? BoxIcon::Exclamation : BoxIcon::Information);
}

QString PasswordCommands::copiesText(const copykeys::Outcome& outcome, const FileKey& old,
                                     bool elsewhere) const {
    const QString path = ctx.db().path();
    QStringList parts;
    const QString folder = folders::shownNative(backup::automaticFolder(path));
    if (!outcome.changed.isEmpty())
        parts << QStringLiteral("Copie automatiche nella cartella\n%1\nprotette con la stessa "
                                "password: %2.")
                     .arg(folder)
                     .arg(outcome.changed.size());
    if (!outcome.failed.isEmpty()) {
        QStringList lines;
        for (const auto& [copy, why] : outcome.failed)
            lines << QStringLiteral("%1 (%2)").arg(QFileInfo(copy).fileName(), why);
        parts << QStringLiteral("Queste copie non si sono potute proteggere: restano %1.\n%2%3")
                     .arg(old.personal ? QStringLiteral("con la password di prima")
                                       : QStringLiteral("leggibili con la chiave comune del "
                                                        "programma"),
                          lines.join(QLatin1Char('\n')),
                          outcome.builtInLeft
                              ? QStringLiteral("\nIl programma riprova a ogni avvio; cancellarle "
                                               "se non servono.")
                              : QString());
    }
    if (!outcome.otherKey.isEmpty()) {
        QStringList names;
        for (const QString& copy : outcome.otherKey)
            names << QFileInfo(copy).fileName();
        parts << QStringLiteral("Queste copie hanno un'altra password personale e restano con "
                                "quella:\n%1")
                     .arg(names.join(QLatin1Char('\n')));
    }
    if (!elsewhere)
        return parts.join(QStringLiteral("\n\n"));
    parts << (old.personal ? QStringLiteral("Le copie fatte con \"Copia di sicurezza…\" in altre "
                                            "cartelle o su altri dischi non sono cambiate: "
                                            "restano con la password di prima.")
                           : QStringLiteral("Le copie fatte con \"Copia di sicurezza…\" in altre "
                                            "cartelle o su altri dischi non sono cambiate: "
                                            "chiunque le abbia può leggerle con la chiave comune "
                                            "del programma. Cancellarle, o rifarle da ora."));
    // The file the old archive was converted from stays beside the database as it was.
    const QString archive = QFileInfo(path).absoluteDir().filePath(archivestartup::keptName());
    if (QFileInfo::exists(archive))
        parts << QStringLiteral("Il vecchio archivio\n%1\nnon è protetto: chiunque lo abbia può "
                                "leggerlo.")
                     .arg(folders::shownNative(archive));
    return parts.join(QStringLiteral("\n\n"));
}

void PasswordCommands::finishCopies() {
    if (!ctx.connected() || !ctx.db().key().personal || !copykeys::pending(ctx.db()))
        return;
    copykeys::Outcome done;
    {
        BusyPointer busy;
        done = copykeys::changeAll(ctx.db().path(), FileKey::builtIn(), ctx.db().key());
    }
    if (!done.builtInLeft) {
        (void)copykeys::clearPending(ctx.db());
        return;
    }
    ctx.dialogs.message(copiesText(done, FileKey::builtIn(), false), kTitle, BoxIcon::Exclamation);
}

bool currentPasswordGiven(AppContext& ctx, const QString& title) {
    std::optional<QString> current = ctx.dialogs.password(
        QStringLiteral("Il database ha una password personale.\n\nPassword personale attuale"),
        title);
    if (!current)
        return false;
    FileKey given = FileKey::personalPassword(*current);
    current->fill(QLatin1Char(' '));
    const bool right = given == ctx.db().key();
    given.clear();
    if (!right)
        ctx.dialogs.message(QStringLiteral("Password personale errata.\n\nNulla è stato cambiato."),
                            title, BoxIcon::Exclamation);
    return right;
}
