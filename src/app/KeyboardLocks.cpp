#include "KeyboardLocks.h"

#include <QGuiApplication>

#ifdef GESTIONE_HAVE_X11
#include <X11/XKBlib.h>
#endif

std::optional<KeyboardLocks> readKeyboardLocks() {
#ifdef GESTIONE_HAVE_X11
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display)
        return std::nullopt;
    unsigned int state = 0;
    if (XkbGetIndicatorState(display, XkbUseCoreKbd, &state) != Success)
        return std::nullopt;
    KeyboardLocks locks;
    locks.capsLock = (state & 0x01) != 0;
    locks.numLock = (state & 0x02) != 0;
    return locks;
#else
    return std::nullopt;
#endif
}
