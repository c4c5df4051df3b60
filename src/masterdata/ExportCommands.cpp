#include "ExportCommands.h"

#include "sheets/TableExport.h"
#include "ui/AppContext.h"
#include "ui/BusyPointer.h"
#include "ui/ShowFile.h"
#include "ui/Titles.h"

namespace tableexport {
namespace {

const QString kWhat = QStringLiteral("la cartella di lavoro esportata");

void exportTable(AppContext& ctx, Table table) {
    if (!ctx.connected()) {
        ShowErrMsg(ctx.dialogs, makeError(QStringLiteral("Il database non è aperto.")));
        return;
    }
    // A table larger than a sheet is refused before anything is read or written.
    auto refusal = checkSize(ctx.db(), table);
    if (!refusal) {
        ShowErrMsg(ctx.dialogs, refusal.error());
        return;
    }
    if (*refusal) {
        ctx.dialogs.message(**refusal, titles::t18(), BoxIcon::Exclamation);
        return;
    }
    BusyPointer busy;
    auto path = exportTable(ctx.db(), ctx.session(), ctx.appDir, table);
    if (!path) {
        busy.release();
        ShowErrMsg(ctx.dialogs, path.error());
        return;
    }
    showFile(ctx, *path, kWhat, &busy);
}

} // namespace

void Esporta(AppContext& ctx) {
    exportTable(ctx, Table::Articles);
}

void StampaArticolo(AppContext& ctx) {
    exportTable(ctx, Table::Articles);
}

void StampaClienti(AppContext& ctx) {
    exportTable(ctx, Table::Customers);
}

Status Ado2excel(AppContext& ctx, Statement& rs, QString& sheetName) {
    BusyPointer busy;
    auto path = Ado2excel(ctx.session(), ctx.appDir, rs, sheetName);
    if (!path)
        return path.error();
    showFile(ctx, *path, kWhat, &busy);
    return {};
}

} // namespace tableexport
