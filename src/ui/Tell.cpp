#include "Tell.h"

namespace tell {

void refusal(Dialogs& dialogs, const QString& text, const QString& title) {
    dialogs.message(text, title, BoxIcon::Exclamation);
}

void error(Dialogs& dialogs, const Error& e, const QString& title) {
    if (e.code != 0)
        ShowErrMsg(dialogs, e);
    else
        refusal(dialogs, e.text, title);
}

bool mayGoOn(Dialogs& dialogs, const Result<Refusal>& checked, const QString& title) {
    if (!checked) {
        ShowErrMsg(dialogs, checked.error());
        return false;
    }
    if (*checked) {
        refusal(dialogs, **checked, title);
        return false;
    }
    return true;
}

} // namespace tell
