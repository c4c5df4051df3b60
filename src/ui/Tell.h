#pragma once

#include "Dialogs.h"
#include "data/Refusal.h"

// The one way the panels tell the user why an action stops: an engine error (with its code)
// in the error box, the program's own conditions and refusals in a warning titled as the
// panel's messages are.
namespace tell {

// A refusal or a condition of the program: a warning box.
void refusal(Dialogs& dialogs, const QString& text, const QString& title);
// An error: the error box when the engine gave a code, else a warning with its text.
void error(Dialogs& dialogs, const Error& error, const QString& title);
// A checked action: the error box for a database error, a warning for a refusal. True when
// there is nothing to tell and the action may go on.
bool mayGoOn(Dialogs& dialogs, const Result<Refusal>& checked, const QString& title);

} // namespace tell
