#include "Panel.h"

Panel::Panel(AppContext& c, const char* name, const QString& caption, QWidget* parent)
    : QGroupBox(caption, parent), ctx(c) {
    setObjectName(QLatin1String(name));
    setAutoFillBackground(true);
}
