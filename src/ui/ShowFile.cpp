#include "ShowFile.h"

#include "BusyPointer.h"
#include "Titles.h"
#include "files/FolderNames.h"

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
