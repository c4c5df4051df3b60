#include "StartupRecovery.h"

#include "Backup.h"
#include "data/Database.h"
#include "files/FolderNames.h"
#include "text/ItalianText.h"
#include "ui/KeyPrompt.h"

#include <algorithm>

namespace startuprecovery {
namespace {

const QString kTitle = QStringLiteral("Gestione Ordini");

} // namespace

bool damaged(const Error& e) {
    return isNotADatabase(e) || isDamagedFile(e);
}

std::optional<FileKey> offerCopy(AppContext& ctx, const QString& path, const Error& failure,
                                 const std::optional<FileKey>& fileKey) {
    if (!damaged(failure))
        return std::nullopt;
    QStringList all = backup::copies(path, backup::automaticFolder(path));
    std::reverse(all.begin(), all.end());
    const QString staged = backup::stagedName(path);
    std::optional<FileKey> key = fileKey;
    for (const QString& copy : all) {
        Database::removeFiles(staged);
        if (!backup::copyFile(copy, staged))
            continue;
        if (!key) {
            auto found = keyprompt::keyOfCopy(ctx.dialogs, staged, FileKey::builtIn(), kTitle);
            if (!found && found.error().code == keyprompt::kGivenUp)
                break;
            if (!found)
                continue;
            key = *found;
        }
        // A copy under another key than the file's is passed over, never offered.
        auto contents = backup::verifyMending(staged, *key);
        if (!contents)
            continue;
        const QString last = contents->lastOrder.isValid()
                                 ? QStringLiteral("l'ultimo ordine è del %1")
                                       .arg(itext::formatDate(contents->lastOrder))
                                 : QStringLiteral("nessun ordine ha una data");
        const QString question =
            QStringLiteral("Il database\n%1\nnon si può aprire: %2.\n\n"
                           "La copia automatica più recente che supera il controllo è\n%3\n"
                           "e contiene %4 clienti, %5 articoli e %6 ordini; %7.\n\n"
                           "Ripristinare i dati da questa copia? Il file attuale viene "
                           "conservato così com'è nella cartella delle copie.")
                .arg(folders::shownNative(path), failure.text, folders::shownNative(copy))
                .arg(contents->customers)
                .arg(contents->articles)
                .arg(contents->orders)
                .arg(last);
        if (!ctx.dialogs.question(question, kTitle)) {
            Database::removeFiles(staged);
            return std::nullopt;
        }
        auto kept = backup::replaceUnopened(path, staged, ctx.clock.now());
        if (!kept) {
            Database::removeFiles(staged);
            ctx.dialogs.message(QStringLiteral("Il ripristino della copia non è riuscito.\n\n%1.")
                                    .arg(itext::capitalised(kept.error().text)),
                                kTitle, BoxIcon::Exclamation);
            return std::nullopt;
        }
        ctx.dialogs.message(QStringLiteral("I dati sono stati ripristinati dalla copia\n%1\n\n"
                                           "Il file danneggiato è conservato in\n%2")
                                .arg(folders::shownNative(copy), folders::shownNative(*kept)),
                            kTitle, BoxIcon::Information);
        return key;
    }
    Database::removeFiles(staged);
    return std::nullopt;
}

} // namespace startuprecovery
