#include "PrintOrder.h"

#include "files/FolderNames.h"
#include "sheets/OrderSheet.h"
#include "ui/AppContext.h"
#include "ui/ShowFile.h"
#include "ui/Titles.h"

#include <QDir>

namespace {

bool connectedOrTold(AppContext& ctx) {
    if (ctx.connected())
        return true;
    ShowErrMsg(ctx.dialogs, makeError(QStringLiteral("Il database non è aperto.")));
    return false;
}

// Says where the file went: a documents folder that could not be used in a warning naming it
// and the folder used instead, the file in the status bar; then opens it.
void tellWritten(AppContext& ctx, const sheets::Written& w, const QString& what) {
    const QString shown = folders::shownNative(w.path);
    if (!w.refused.isEmpty())
        ctx.dialogs.message(
            QStringLiteral("%1: %2 è stato scritto in\n%3").arg(w.refused, what, shown),
            titles::t18(), BoxIcon::Exclamation);
    ctx.showStatus(QStringLiteral("Salvato: %1").arg(shown));
    showFile(ctx, w.path, what);
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
