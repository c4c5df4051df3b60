#include "PrintOrder.h"

#include "sheets/OrderSheet.h"
#include "ui/AppContext.h"
#include "ui/ShowFile.h"

void StampaOrdineV(AppContext& ctx, const QString& year, const QString& number,
                   const QString& customerCode) {
    if (!ctx.connected()) {
        ShowErrMsg(ctx.dialogs, makeError(QStringLiteral("Il database non è aperto.")));
        return;
    }
    auto path = sheets::writeOrderSheet(ctx.db(), ctx.session(), year, number, customerCode);
    if (!path) {
        ShowErrMsg(ctx.dialogs, path.error());
        return;
    }
    showFile(ctx, *path, QStringLiteral("il foglio dell'ordine"));
}
