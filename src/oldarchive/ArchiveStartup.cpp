#include "ArchiveStartup.h"

#include "ArchiveImport.h"
#include "files/FileInPlace.h"
#include "files/FolderNames.h"
#include "oldarchive/jet/JetFile.h"
#include "text/ItalianText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace archivestartup {
namespace {

const QString kTitle = QStringLiteral("Gestione Ordini");

} // namespace

QString keptName() {
    return QStringLiteral("Ordine (vecchio formato).mdb");
}

bool offerConversion(AppContext& ctx, const QString& path) {
    if (jet::formatOf(path) == jet::Format::NotJet)
        return true;
    if (!ctx.dialogs.question(
            QStringLiteral("Il file\n%1\nè un archivio Access del programma precedente.\n\n"
                           "Convertirlo nel formato di questo programma? L'archivio resta com'è, "
                           "con il nome \"%2\".")
                .arg(folders::shownNative(path), keptName()),
            kTitle))
        return true;
    const QString kept = QFileInfo(path).absoluteDir().filePath(keptName());
    auto stop = [&](const QString& cause) {
        ctx.dialogs.message(QStringLiteral("La conversione dell'archivio non è riuscita.\n\n"
                                           "%1.\n\nIl programma verrà chiuso.")
                                .arg(itext::capitalised(cause)),
                            kTitle, BoxIcon::Critical);
        return false;
    };
    // A second name that is the archive itself was left by a conversion stopped before the
    // new file took the archive's name.
    if (QFileInfo::exists(kept) &&
        !inplace::sameFile(QFile::encodeName(path), QFile::encodeName(kept)))
        return stop(QStringLiteral("esiste già un file %1").arg(folders::shownNative(kept)));
    // The archive keeps its name until the new file is whole and takes it.
    auto archive = jet::open(path);
    if (!archive)
        return stop(QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), archive.error().text));
    archiveimport::Placing placing;
    placing.keepExistingAs = kept;
    auto report = archiveimport::run(**archive, path, keptName(), placing);
    if (!report)
        return stop(report.error().text);
    const QString summary = archiveimport::summary(*report);
    if (report->leftOut.isEmpty())
        ctx.dialogs.message(QStringLiteral("Archivio convertito.\n\n%1").arg(summary), kTitle,
                            BoxIcon::Information);
    else
        ctx.dialogs.message(QStringLiteral("Archivio convertito, ma alcune righe non si sono "
                                           "potute importare.\n\n%1")
                                .arg(summary),
                            kTitle, BoxIcon::Exclamation);
    return true;
}

} // namespace archivestartup
