#include "Display.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#ifdef GESTIONE_HAVE_X11
#include <X11/Xlib.h>
#endif

namespace {

QByteArray platformName(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return QByteArray(argv[i + 1]);
    return qgetenv("QT_QPA_PLATFORM");
}

QtMessageHandler g_previous = nullptr;

void handler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg && (text.contains(QLatin1String("platform plugin")) ||
                               text.contains(QLatin1String("display")))) {
        std::fputs(noDisplayMessage(), stderr);
        std::fflush(stderr);
        ::_exit(1);
    }
    if (g_previous)
        g_previous(type, context, text);
}

} // namespace

const char* noDisplayMessage() {
    return "Gestione Ordini: nessuno schermo grafico trovato (la variabile DISPLAY non è "
           "impostata o il server grafico non risponde).\n"
           "Avviare il programma dalla sessione grafica del desktop.\n";
}

bool displayAvailable(int argc, char** argv) {
    const QByteArray platform = platformName(argc, argv);
    // offscreen, minimal, vnc...: the platform needs no display of the desktop.
    if (!platform.isEmpty() && !platform.startsWith("xcb") && !platform.startsWith("wayland"))
        return true;
    if (!platform.startsWith("xcb") && !qgetenv("WAYLAND_DISPLAY").isEmpty())
        return true;
    const QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty())
        return false;
#ifdef GESTIONE_HAVE_X11
    Display* d = XOpenDisplay(display.constData());
    if (!d)
        return false;
    XCloseDisplay(d);
#endif
    return true;
}

void endQuietlyWithoutDisplay() {
    g_previous = qInstallMessageHandler(handler);
}
