#include "Zoom.h"

#include <QFont>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <QTreeView>
#include <QVariant>
#include <QWidget>

#include <cmath>

namespace zoom {

namespace {

constexpr char kPercent[] = "gestioneZoom";
constexpr char kBaseFont[] = "gestioneZoomFont";

// The 100 % length behind one shown at `percent`. Shown lengths are rounded from whole 100 %
// lengths, so the division finds them again exactly.
int unscaled(int length, int percent) {
    return int(std::lround(double(length) * 100.0 / percent));
}

int rescale(int length, int from, int to) {
    return scaled(unscaled(length, from), to);
}

QRect rescale(const QRect& r, int from, int to) {
    return QRect(rescale(r.x(), from, to), rescale(r.y(), from, to), rescale(r.width(), from, to),
                 rescale(r.height(), from, to));
}

void scaleFont(QWidget* w, int to) {
    if (!w->testAttribute(Qt::WA_SetFont))
        return;
    QVariant stored = w->property(kBaseFont);
    if (!stored.isValid()) {
        stored = QVariant::fromValue(w->font());
        w->setProperty(kBaseFont, stored);
    }
    QFont f = stored.value<QFont>();
    if (f.pointSizeF() > 0)
        f.setPointSizeF(f.pointSizeF() * to / 100.0);
    if (f.letterSpacingType() == QFont::AbsoluteSpacing && f.letterSpacing() != 0)
        f.setLetterSpacing(QFont::AbsoluteSpacing, f.letterSpacing() * to / 100.0);
    w->setFont(f);
}

// A width or height the widget is held to (its least and greatest equal).
void scaleFixed(QWidget* w, int from, int to) {
    const QSize least = w->minimumSize();
    const QSize most = w->maximumSize();
    if (least.width() == most.width() && least.width() > 0)
        w->setFixedWidth(rescale(least.width(), from, to));
    if (least.height() == most.height() && least.height() > 0)
        w->setFixedHeight(rescale(least.height(), from, to));
}

// Glyphs do not grow quite in step with their size: a caption that filled its box at 100 % may
// need a pixel or two more at another zoom, and is drawn that much tighter rather than cut.
void keepCaptionWhole(QLabel* label, int to) {
    const QString text = label->text();
    if (text.size() < 2 || label->wordWrap())
        return;
    QFont f = label->font();
    const qreal need = QFontMetricsF(f).horizontalAdvance(text);
    const qreal room = label->contentsRect().width();
    if (need <= room || need > room * 1.05)
        return;
    // A caption in its panel's font gets one of its own, kept at 100 % for the next zoom.
    if (!label->property(kBaseFont).isValid()) {
        QFont base = f;
        base.setPointSizeF(f.pointSizeF() * 100.0 / to);
        label->setProperty(kBaseFont, QVariant::fromValue(base));
    }
    const qreal spacing =
        f.letterSpacingType() == QFont::AbsoluteSpacing ? f.letterSpacing() : qreal(0);
    f.setLetterSpacing(QFont::AbsoluteSpacing,
                       spacing - (need - room) / qreal(text.size() - 1) - 0.05);
    label->setFont(f);
}

void scaleColumns(QTreeView* list, int from, int to) {
    QHeaderView* h = list->header();
    for (int c = 0; c < h->count(); ++c)
        if (!h->isSectionHidden(c))
            h->resizeSection(c, rescale(h->sectionSize(c), from, to));
}

// The elements placed inside a panel or the central widget, and those of its sub-panels.
void scalePlaced(QWidget* container, int from, int to) {
    for (QWidget* c : container->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (c->isWindow())
            continue;
        c->setGeometry(rescale(c->geometry(), from, to));
        if (auto* label = qobject_cast<QLabel*>(c))
            keepCaptionWhole(label, to);
        if (auto* list = qobject_cast<QTreeView*>(c)) {
            scaleColumns(list, from, to);
            // Rows as high as the new font.
            list->doItemsLayout();
        }
        if (qobject_cast<QGroupBox*>(c))
            scalePlaced(c, from, to);
    }
}

void scaleFonts(QWidget* w, int to) {
    scaleFont(w, to);
    for (QWidget* c : w->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (!c->isWindow())
            scaleFonts(c, to);
}

} // namespace

int percentOf(const QWidget* w) {
    const QVariant v = w ? w->window()->property(kPercent) : QVariant();
    return v.isValid() ? v.toInt() : 100;
}

int scaled(int length, int percent) {
    return int(std::lround(double(length) * percent / 100.0));
}

int nearestStep(int percent) {
    const int step = (percent - kSmallest + kStep / 2) / kStep * kStep + kSmallest;
    return qBound(kSmallest, step, kLargest);
}

void apply(QWidget* window, int percent) {
    const int from = percentOf(window);
    const int to = nearestStep(percent);
    if (from == to)
        return;
    window->setProperty(kPercent, to);
    scaleFonts(window, to);
    if (auto* main = qobject_cast<QMainWindow*>(window)) {
        if (QWidget* client = main->centralWidget()) {
            scaleFixed(client, from, to);
            scalePlaced(client, from, to);
        }
        if (QWidget* bar = main->statusBar()) {
            scaleFixed(bar, from, to);
            for (QWidget* c : bar->findChildren<QWidget*>())
                scaleFixed(c, from, to);
        }
    }
}

} // namespace zoom
