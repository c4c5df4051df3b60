#include "ShowFile.h"

#include "BusyPointer.h"
#include "Titles.h"
#include "files/FolderNames.h"
#include "sheets/OrderSheet.h"

#include <QDir>

void showFile(AppContext& ctx, const QString& path, const QString& what, BusyPointer* busy) {
    const Status shown = ctx.opener.open(path);
    if (busy)
        busy->release();
    if (!shown)
        ctx.dialogs.message(QStringLiteral("Nessun programma ha potuto aprire %1.\nIl file si "
                                           "trova in:\n%2")
                                    .arg(what, folders::shownNative(path)) +
                                openerCause(shown.error()),
                            titles::t18(), BoxIcon::Information);
}

void tellWritten(AppContext& ctx, const sheets::Written& w, const QString& what) {
    const QString shown = folders::shownNative(w.path);
    if (!w.refused.isEmpty())
        ctx.dialogs.message(
            QStringLiteral("%1: %2 è stato scritto in\n%3").arg(w.refused, what, shown),
            titles::t18(), BoxIcon::Exclamation);
    ctx.showStatus(QStringLiteral("Salvato: %1").arg(shown));
    showFile(ctx, w.path, what);
}
