#include "StatsFiles.h"

#include "sheets/OrderArchive.h"
#include "sheets/Workbook.h"
#include "sheets/WorkbookFiles.h"

#include <QFile>

namespace stats {
namespace {

const char* const kSection = "Statistiche";

// The file's name: the view's title, letters, digits and spaces only.
QString baseOf(const Table& t) {
    QString out;
    for (QChar c : t.title)
        if (c.isLetterOrNumber() || c == QLatin1Char(' ') || c == QLatin1Char('-'))
            out += c;
    out = out.simplified().left(60);
    return out.isEmpty() ? QStringLiteral("Statistiche") : out;
}

} // namespace

Result<sheets::Written> saveWorkbook(const Table& t, const QString& documents,
                                     const QString& home) {
    auto folder = sheets::archive::sectionFolder(documents, home, QLatin1String(kSection));
    if (!folder)
        return folder.error();
    auto wb = workbookOf(t);
    auto path = sheets::saveAsNew(*wb, folder->path, baseOf(t));
    if (!path)
        return path.error();
    return sheets::Written{*path, folder->refused};
}

Result<sheets::Written> savePdf(const Table& t, const sheets::CoverPage& chart,
                                const QString& documents, const QString& home) {
    auto folder = sheets::archive::sectionFolder(documents, home, QLatin1String(kSection));
    if (!folder)
        return folder.error();
    auto wb = workbookOf(t);
    auto path = sheets::claimNewName(folder->path, baseOf(t), QStringLiteral(".pdf"));
    if (!path)
        return path.error();
    if (Status s = sheets::writePdf(wb->sheet(0), *path, t.title, chart); !s) {
        QFile::remove(*path);
        return s.error();
    }
    return sheets::Written{*path, folder->refused};
}

} // namespace stats
