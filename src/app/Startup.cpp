#include "Startup.h"

#include "backup/StartupRecovery.h"
#include "data/Database.h"
#include "data/Rekey.h"
#include "data/Schema.h"
#include "files/FolderNames.h"
#include "oldarchive/ArchiveStartup.h"
#include "text/ItalianText.h"
#include "ui/KeyPrompt.h"

#include <optional>

namespace startup {

Status openFile(AppContext& ctx, const QString& path) {
    if (!archivestartup::offerConversion(ctx, path))
        return makeError(QStringLiteral("conversione dell'archivio non riuscita"));
    // A change of password cut short leaves its new file beside the database, which is whole.
    rekey::removeLeftover(path);
    std::optional<FileKey> damagedUnder;
    auto opened = keyprompt::openAsking(ctx.dialogs, path, &damagedUnder);
    // A file shown to be damaged gets the offer of the newest good copy under its own key; a
    // file whose password was not given is no damaged file.
    if (!opened && opened.error().code != keyprompt::kGivenUp) {
        if (auto key = startuprecovery::offerCopy(ctx, path, opened.error(), damagedUnder))
            opened = Database::open(path, *key);
    }
    if (!opened && opened.error().code == keyprompt::kGivenUp) {
        ctx.dialogs.message(opened.error().text, QStringLiteral("Gestione Ordini"),
                            BoxIcon::Critical);
        return opened.error();
    }
    Status status = opened ? Status() : Status(opened.error());
    if (opened) {
        ctx.connection = std::move(*opened);
        // Nothing is written into a file before it is found to be the program's: one refused
        // (a newer program's among them) is left as it was.
        status = schema::prepareOpened(ctx.db());
        if (!status)
            ctx.connection.reset();
    }
    if (!status) {
        const QString cause = itext::capitalised(status.error().text);
        const QString text = QStringLiteral("Impossibile aprire il database\n%1\n\n%2.\n\n"
                                            "Il programma verrà chiuso.")
                                 .arg(folders::shownNative(path), cause);
        ctx.dialogs.message(text, QStringLiteral("Gestione Ordini"), BoxIcon::Critical);
        return makeError(text, status.error().code);
    }

    return {};
}

} // namespace startup
