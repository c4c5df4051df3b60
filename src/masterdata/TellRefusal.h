#pragma once

#include "Refusal.h"
#include "app/Dialogs.h"
#include "app/Titles.h"

// Tells the user why an action stops: a database error in the error box, a refusal in a
// warning. True when there is nothing to tell and the action may go on.
inline bool mayGoOn(Dialogs& dialogs, const Result<Refusal>& checked) {
    if (!checked) {
        ShowErrMsg(dialogs, checked.error());
        return false;
    }
    if (*checked) {
        dialogs.message(**checked, titles::t18(), BoxIcon::Exclamation);
        return false;
    }
    return true;
}
