#pragma once

#include "AppContext.h"

#include <QString>

class BusyPointer;

// Opens a written file in the desktop's application; when nothing opens it, a box says that
// nothing could open `what` ("il foglio dell'ordine"), where the file is, and why. A busy
// pointer shown meanwhile goes before the box.
void showFile(AppContext& ctx, const QString& path, const QString& what,
              BusyPointer* busy = nullptr);
