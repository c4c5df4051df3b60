#include "XlsConvert.h"

#include "files/ChildProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

namespace pricelists {

Converted convertXls(const QString& path, const QString& workDir, const ReadLimits& limits,
                     ReadProgress* progress) {
    Converted out;
    QByteArray program = limits.officeProgram;
    if (program.isEmpty())
        program = QFile::encodeName(QStandardPaths::findExecutable(QStringLiteral("soffice")));
    if (program.isEmpty()) {
        out.why = QStringLiteral("LibreOffice non è installato");
        return out;
    }
    const QString folder = workDir + QStringLiteral("/libreoffice");
    QDir(folder).removeRecursively();
    out.folder = folder;
    if (!QDir().mkpath(folder + QStringLiteral("/foglio"))) {
        out.why = QStringLiteral("la cartella di lavoro per LibreOffice non si crea");
        return out;
    }
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // A profile of its own: not the user's, which an open LibreOffice would hold.
    const QByteArray profile = "-env:UserInstallation=" +
                               QUrl::fromLocalFile(folder + QStringLiteral("/profilo")).toEncoded();
    const child::Watch watch{limits.officeTotalMs, limits.officeTotalMs,
                             progress ? &progress->cancel : nullptr};
    const std::optional<child::Outcome> done =
        child::run(program,
                   // Its Excel filter only: where that refuses the file, LibreOffice would take the
                   // bytes of a damaged one as a text.
                   {profile, "--headless", "--norestore", "--nologo", "--infilter=MS Excel 97",
                    "--convert-to", "xlsx", "--outdir",
                    QFile::encodeName(folder + QStringLiteral("/foglio")), QFile::encodeName(path)},
                   watch, [](const char*, qsizetype) { return true; });
    const QString xlsx = folder + QStringLiteral("/foglio/") + QFileInfo(path).completeBaseName() +
                         QStringLiteral(".xlsx");
    if (!done) {
        out.why = QStringLiteral("LibreOffice (%1) non si avvia").arg(QFile::decodeName(program));
    } else if (done->end == child::Outcome::End::Cancelled) {
        out.cancelled = true;
    } else if (done->end == child::Outcome::End::Hung) {
        out.why = QStringLiteral("la conversione con LibreOffice non è finita entro %1 secondi")
                      .arg((done->limitMs + 999) / 1000);
    } else if (!done->succeeded() || !QFileInfo(xlsx).isFile()) {
        out.why = QStringLiteral("la conversione con LibreOffice non è riuscita");
    } else {
        out.xlsx = xlsx;
    }
    return out;
}

} // namespace pricelists
