#pragma once

#include "AppContext.h"

#include <QGroupBox>

// A panel of the window: a framed group of elements with its own handlers.
class Panel : public QGroupBox {
    Q_OBJECT
public:
    Panel(AppContext& ctx, const char* name, const QString& caption, QWidget* parent);
    // The boxes of the panel, for its elements' own refusals.
    Dialogs& boxes() { return ctx.dialogs; }

protected:
    AppContext& ctx;
    Dialogs& dialogs() { return ctx.dialogs; }
    Database& db() { return ctx.db(); }
    // The writes made to the database so far: a count that grows with each.
    std::int64_t writesSoFar() const {
        return ctx.connected() ? ctx.connection->totalChanges() : 0;
    }
};
