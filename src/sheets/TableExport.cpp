#include "TableExport.h"

#include "BusyPointer.h"
#include "SpreadsheetSession.h"
#include "Workbook.h"
#include "WorkbookFiles.h"
#include "app/AppContext.h"
#include "app/Titles.h"
#include "data/Database.h"
#include "data/FolderNames.h"
#include "data/ItalianText.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <sqlite3.h>

#include <cstring>

namespace tableexport {
namespace {

using namespace sheets;

// A column the table declares as a date holds yyyy-mm-dd texts: they go in as dates.
std::vector<bool> dateColumns(const Statement& rs) {
    std::vector<bool> dates(size_t(rs.columnCount()), false);
    for (int i = 0; i < rs.columnCount(); ++i) {
        const char* type = sqlite3_column_decltype(rs.handle(), i);
        dates[size_t(i)] =
            type && (strcasecmp(type, "DATE") == 0 || strcasecmp(type, "DATETIME") == 0);
    }
    return dates;
}

// The current row of the statement into the table, as the spreadsheet's bulk copy of a record
// set writes it: numbers as numbers, dates as dates, texts as texts, nulls as empty cells.
void addRow(TableBlock& block, const Statement& rs, const std::vector<bool>& dates) {
    sqlite3_stmt* st = rs.handle();
    for (int i = 0; i < block.columns(); ++i) {
        switch (sqlite3_column_type(st, i)) {
        case SQLITE_INTEGER:
            block.addNumber(double(sqlite3_column_int64(st, i)));
            break;
        case SQLITE_FLOAT:
            block.addNumber(sqlite3_column_double(st, i));
            break;
        case SQLITE_TEXT: {
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
    const char* table = rs.columnCount() > 0 ? sqlite3_column_table_name(rs.handle(), 0) : nullptr;
    return table && *table ? QString::fromUtf8(table) : sheetName;
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

// A whole table: its name, the export's query and the count of its rows.
void exportTable(AppContext& ctx, const char* table, const char* sql, const char* countSql) {
    if (!ctx.connected()) {
        ShowErrMsg(ctx.dialogs, makeError(QStringLiteral("Il database non è aperto.")));
        return;
    }
    // A table larger than a sheet is refused before anything is read or written.
    auto count = ctx.db().prepare(countSql);
    if (!count) {
        ShowErrMsg(ctx.dialogs, count.error());
        return;
    }
    const bool counted = count->next();
    if (!count->status()) {
        ShowErrMsg(ctx.dialogs, count->status().error());
        return;
    }
    if (auto refusal = tooManyRows(QLatin1String(table), counted ? count->int64(0) : 0)) {
        ctx.dialogs.message(*refusal, titles::t18(), BoxIcon::Exclamation);
        return;
    }
    *count = Statement();

    auto rs = ctx.db().prepare(sql);
    if (!rs) {
        ShowErrMsg(ctx.dialogs, rs.error());
        return;
    }
    QString name = QStringLiteral("Foglio");
    if (Status s = Ado2excel(ctx, *rs, name); !s)
        ShowErrMsg(ctx.dialogs, s.error());
}

} // namespace

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

Status Ado2excel(AppContext& ctx, Statement& rs, QString& sheetName) {
    BusyPointer busy;
    sheetName = cleanSheetName(sheetName);

    SpreadsheetSession& app = session(ctx);
    Workbook& wb = app.attach();
    const int wasActive = wb.activeSheet();
    Sheet& sheet = wb.addSheet();
    // A failure takes the new sheet away again: the workbook stays as it was.
    auto fail = [&](Error e) -> Status {
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

    auto path = exportPath(ctx.appDir, sheetName);
    if (!path)
        return fail(path.error());
    if (Status s = saveWorkbook(wb, *path); !s)
        return fail(s.error());
    const Status shown = ctx.opener.open(*path);
    busy.release();
    if (!shown)
        ctx.dialogs.message(QStringLiteral("Nessun programma ha potuto aprire la cartella di "
                                           "lavoro esportata.\nIl file si trova in:\n%1")
                                    .arg(QDir::toNativeSeparators(folders::shown(*path))) +
                                openerCause(shown.error()),
                            titles::t18(), BoxIcon::Information);
    return {};
}

void Esporta(AppContext& ctx) {
    exportTable(ctx, "ARTICOLO", kArticoli, kContaArticoli);
}

void StampaArticolo(AppContext& ctx) {
    exportTable(ctx, "ARTICOLO", kArticoli, kContaArticoli);
}

void StampaClienti(AppContext& ctx) {
    exportTable(ctx, "CLIENTE", kClienti, kContaClienti);
}

} // namespace tableexport
