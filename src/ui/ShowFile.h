#pragma once

#include "AppContext.h"

#include <QString>

class BusyPointer;

namespace sheets {
struct Written;
}

// Opens a written file in the desktop's application; when nothing opens it, a box says that
// nothing could open `what` ("il foglio dell'ordine"), where the file is, and why. A busy
// pointer shown meanwhile goes before the box.
void showFile(AppContext& ctx, const QString& path, const QString& what,
              BusyPointer* busy = nullptr);

// Says where a written file went: a documents folder that could not be used in a warning naming
// it and the folder used instead, the file in the status bar; then opens it.
void tellWritten(AppContext& ctx, const sheets::Written& w, const QString& what);
