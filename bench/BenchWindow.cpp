#include "BenchWindow.h"

#include <QCoreApplication>

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

void settle() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

} // namespace bench
