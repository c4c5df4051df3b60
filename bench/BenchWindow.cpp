#include "BenchWindow.h"

#include <QCoreApplication>

#include <cstdio>

namespace bench {

BenchWindow::BenchWindow(const QString& dir) : ctx(dialogs, clock, opener, dir) {
    window = std::make_unique<Gestione>(ctx);
    started = window->Form_Load();
    window->show();
    settle();
}

BenchWindow::~BenchWindow() {
    window.reset();
}

QString BenchWindow::problem() const {
    if (!started)
        return started.error().text;
    return dialogs.boxes.join(QStringLiteral(" | "));
}

bool BenchWindow::ready() const {
    if (ok())
        return true;
    fail(problem());
    return false;
}

void fail(const QString& what) {
    std::fprintf(stderr, "%s\n", qPrintable(what));
}

void settle() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

} // namespace bench
