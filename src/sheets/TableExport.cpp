#include "TableExport.h"

#include "SpreadsheetSession.h"
#include "Workbook.h"
#include "WorkbookFiles.h"
#include "data/Database.h"
#include "files/FolderNames.h"
#include "text/ItalianText.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <cstring>

namespace tableexport {
namespace {

using namespace sheets;

// A column the table declares as a date holds yyyy-mm-dd texts: they go in as dates.
std::vector<bool> dateColumns(const Statement& rs) {
    std::vector<bool> dates(size_t(rs.columnCount()), false);
    for (int i = 0; i < rs.columnCount(); ++i) {
        const QByteArray type = rs.declaredType(i).toUpper();
        dates[size_t(i)] = type == "DATE" || type == "DATETIME";
    }
    return dates;
}

// The current row of the statement into the table, as the spreadsheet's bulk copy of a record
// set writes it: numbers as numbers, dates as dates, texts as texts, nulls as empty cells.
void addRow(TableBlock& block, const Statement& rs, const std::vector<bool>& dates) {
    for (int i = 0; i < block.columns(); ++i) {
        switch (rs.type(i)) {
        case Statement::kInteger:
            block.addNumber(double(rs.int64(i)));
            break;
        case Statement::kReal:
            block.addNumber(rs.real(i));
            break;
        case Statement::kText: {
            const std::string_view text = rs.utf8(i);
            if (dates[size_t(i)]) {
                if (auto d = itext::parseIsoDate(text))
                    if (auto serial = serialOf(*d)) {
                        block.addDate(*serial);
                        break;
                    }
            }
            block.addText(text);
            break;
        }
        default:
            block.addEmpty();
            break;
        }
    }
}

// The table the statement reads, for the messages; the sheet's name when it reads none.
QString tableOf(const Statement& rs, const QString& sheetName) {
    const QString table = rs.columnCount() > 0 ? rs.tableName(0) : QString();
    return table.isEmpty() ? sheetName : table;
}

// The rows of the statement, all of them, as long as a sheet holds them.
Result<std::unique_ptr<TableBlock>> readRows(Statement& rs, const Format& format,
                                             const QString& sheetName) {
    auto block = std::make_unique<TableBlock>(rs.columnCount(), format);
    const auto dates = dateColumns(rs);
    std::int64_t rows = 0;
    do {
        if (++rows > kMaxDataRows) {
            // The rows past the limit are only counted, for the message.
            block.reset();
            while (rs.next())
                ++rows;
            if (!rs.status())
                return rs.status().error();
            return makeError(*tooManyRows(tableOf(rs, sheetName), rows));
        }
        addRow(*block, rs, dates);
    } while (rs.next());
    if (!rs.status())
        return rs.status().error();
    return block;
}

// Where the export of a sheet is saved: in the application directory, whatever the name holds.
Result<QString> exportPath(const QString& appDir, const QString& sheetName) {
    const QString dir = QDir(appDir).absolutePath();
    const QString path = dir + QLatin1Char('/') + sheetName + QStringLiteral(".xlsx");
    if (sheetName.contains(QChar(0)) || sheetName.contains(QLatin1Char('/')) ||
        QFileInfo(path).absolutePath() != dir)
        return makeError(
            QStringLiteral("Il nome \"%1\" non è un nome di file valido.").arg(sheetName));
    return path;
}

} // namespace

Result<std::optional<QString>> checkSize(Database& db, Table table) {
    auto count = table == Table::Articles ? db.prepare(kContaArticoli) : db.prepare(kContaClienti);
    if (!count)
        return count.error();
    const bool counted = count->next();
    if (!count->status())
        return count->status().error();
    return tooManyRows(QLatin1String(table == Table::Articles ? "ARTICOLO" : "CLIENTE"),
                       counted ? count->int64(0) : 0);
}

Result<QString> exportTable(Database& db, SpreadsheetSession& session, const QString& folder,
                            Table table) {
    auto rs = table == Table::Articles ? db.prepare(kArticoli) : db.prepare(kClienti);
    if (!rs)
        return rs.error();
    QString name = QStringLiteral("Foglio");
    return Ado2excel(session, folder, *rs, name);
}

QString freeSheetName(Workbook& wb, const Sheet& sheet, QString name) {
    auto taken = [&](const QString& candidate) {
        const Sheet* other = wb.findSheet(candidate);
        return other && other != &sheet;
    };
    // More of the same suffix while the name has room for it...
    while (taken(name)) {
        const QString longer = (name + QStringLiteral("-nuovo")).left(kMaxSheetName);
        if (longer == name || longer.endsWith(QLatin1Char('\'')))
            break;
        name = longer;
    }
    // ...then a number in brackets, with the name's beginning cut to leave room for it: the
    // workbook has only so many sheets, so a free number is always found.
    const QString base = name;
    for (int n = 2; taken(name); ++n) {
        const QString number = QStringLiteral(" (%1)").arg(n);
        name = base.left(kMaxSheetName - number.size()) + number;
    }
    return name;
}

QString cleanSheetName(QString name) {
    for (QChar c : {u':', u'\\', u'/', u'?', u'*', u'[', u']'})
        name.remove(c);
    return name;
}

std::optional<QString> tooManyRows(const QString& table, std::int64_t rows) {
    if (rows <= kMaxDataRows)
        return std::nullopt;
    const QLocale italian(QLocale::Italian, QLocale::Italy);
    return QStringLiteral("La tabella %1 ha %2 righe: un foglio di lavoro ne contiene al massimo "
                          "%3 sotto la riga con i nomi delle colonne.\nL'esportazione non è "
                          "stata fatta e nessun file è stato scritto.")
        .arg(itext::shortened(table), italian.toString(qlonglong(rows)),
             italian.toString(qlonglong(kMaxDataRows)));
}

QString titleLine() {
    return QStringLiteral("Gestione Ordini  %1.%2.%3 - Esportazione Dati.")
        .arg(GESTIONE_VERSION_MAJOR)
        .arg(GESTIONE_VERSION_MINOR)
        .arg(GESTIONE_VERSION_PATCH);
}

Result<QString> Ado2excel(SpreadsheetSession& session, const QString& folder, Statement& rs,
                          QString& sheetName) {
    sheetName = cleanSheetName(sheetName);

    Workbook& wb = session.attach();
    const int wasActive = wb.activeSheet();
    Sheet& sheet = wb.addSheet();
    // A failure takes the new sheet away again: the workbook stays as it was.
    auto fail = [&](Error e) -> Result<QString> {
        wb.removeSheet(wb.indexOf(sheet));
        wb.activate(wasActive);
        return e;
    };

    // One pass over the sheets as they were counted before it; a name made by the suffix is
    // compared only with the sheets after.
    const int count = wb.sheetCount();
    for (int i = 0; i < count; ++i)
        if (wb.sheet(i).name() == sheetName)
            sheetName += QStringLiteral("-nuovo");
    sheetName = sheetName.left(kMaxSheetName);
    // Past that pass the name can still be taken (the third export of a table in one session
    // meets the "-nuovo" of the second).
    sheetName = freeSheetName(wb, sheet, sheetName);

    sheet.clear();
    sheet.setValue("A1", Value::ofText(titleLine()));
    sheet.setValue("A2",
                   Value::ofText(QStringLiteral("Attendere, lettura dati in corso: ") + sheetName));

    const int fields = rs.columnCount();
    const bool hasRows = rs.next();
    if (!rs.status())
        return fail(rs.status().error());
    if (hasRows && fields > 0) {
        for (int i = 0; i < fields; ++i)
            sheet.setValue(0, i, Value::ofText(rs.columnName(i)));
        sheet.format(Range{0, 0, 0, fields - 1}, Patch::makeBold());
        auto rows = readRows(rs, wb.formats().at(sheet.columnFormat(0)), sheetName);
        if (!rows)
            return fail(rows.error());
        sheet.placeTable(1, std::move(*rows));
        sheet.select("A2");
        sheet.autofit(0, fields - 1);
        if (Status s = wb.rename(sheet, sheetName); !s)
            return fail(s.error());
    } else {
        sheet.setValue("A4", Value::ofText("NESSUN dato disponibile"));
        sheet.format("A4", Patch::makeBold());
    }
    // On paper as the order sheet: one page wide, landscape, the pages numbered.
    paperPage(sheet.page());

    auto path = exportPath(folder, sheetName);
    if (!path)
        return fail(path.error());
    if (Status saved = saveWorkbook(wb, *path); !saved)
        return fail(saved.error());
    return *path;
}

} // namespace tableexport
