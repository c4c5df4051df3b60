#include "Twips.h"

#include "Zoom.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cmath>

namespace twips {

double pixelsPerTwip() {
    double dpi = 96.0;
    if (const QScreen* s = QGuiApplication::primaryScreen())
        dpi = s->logicalDotsPerInchX();
    return dpi / 1440.0;
}

int px(int twips) {
    return int(std::lround(twips * pixelsPerTwip()));
}

int px(const QWidget* in, int twips) {
    return zoom::scaled(px(twips), zoom::percentOf(in));
}

QRect rect(int left, int top, int width, int height) {
    return QRect(px(left), px(top), px(width), px(height));
}

void place(QWidget* w, int left, int top, int width, int height) {
    w->setGeometry(rect(left, top, width, height));
}

QFont arial(double points, bool bold) {
    QFont f(QStringLiteral("Arial"));
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

} // namespace twips
