#include "ArchiveStartup.h"

#include "data/ArchiveImport.h"
#include "data/FolderNames.h"
#include "data/ItalianText.h"
#include "data/jet/JetFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

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
    if (QFileInfo::exists(kept))
        return stop(QStringLiteral("esiste già un file %1").arg(folders::shownNative(kept)));
    // Opened before it is renamed, so that an archive that does not open keeps its name; the
    // open archive reads on under the new one.
    auto archive = jet::open(path);
    if (!archive)
        return stop(QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), archive.error().text));
    if (std::rename(QFile::encodeName(path).constData(), QFile::encodeName(kept).constData()) != 0)
        return stop(QStringLiteral("l'archivio non si può rinominare (la cartella è di sola "
                                   "lettura?)"));
    auto report = archiveimport::run(**archive, path, keptName());
    if (!report) {
        std::rename(QFile::encodeName(kept).constData(), QFile::encodeName(path).constData());
        return stop(report.error().text);
    }
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
