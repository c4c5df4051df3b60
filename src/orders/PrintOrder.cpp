#include "PrintOrder.h"

#include "sheets/OrderSheet.h"
#include "ui/AppContext.h"
#include "ui/ShowFile.h"

#include <QDir>

namespace {

bool connectedOrTold(AppContext& ctx) {
    if (ctx.connected())
        return true;
    ShowErrMsg(ctx.dialogs, makeError(QStringLiteral("Il database non è aperto.")));
    return false;
}

} // namespace

void StampaOrdineV(AppContext& ctx, const QString& year, const QString& number,
                   const QString& customerCode) {
    if (!connectedOrTold(ctx))
        return;
    auto written = sheets::writeOrderSheet(ctx.db(), ctx.session(), year, number, customerCode);
    if (!written) {
        ShowErrMsg(ctx.dialogs, written.error());
        return;
    }
    tellWritten(ctx, *written, QStringLiteral("il foglio dell'ordine"));
}

void SalvaOrdinePdf(AppContext& ctx, const QString& year, const QString& number,
                    const QString& customerCode) {
    if (!connectedOrTold(ctx))
        return;
    auto written = sheets::writeOrderPdf(ctx.db(), year, number, customerCode);
    if (!written) {
        ShowErrMsg(ctx.dialogs, written.error());
        return;
    }
    tellWritten(ctx, *written, QStringLiteral("il PDF dell'ordine"));
}
