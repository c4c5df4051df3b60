#include "Dialogs.h"

void ShowErrMsg(Dialogs& dialogs, const Error& error) {
    dialogs.message(QString::number(error.code) + QStringLiteral(":\r\n") + error.text,
                    QStringLiteral("Errore"), BoxIcon::Critical);
}
