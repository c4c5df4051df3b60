#include "PopupClicks.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QMouseEvent>
#include <QPointer>

namespace {

// The element under a point of the screen, in the program's own windows other than the list.
QWidget* elementAt(const QPoint& global, const QWidget* list) {
    if (QWidget* w = QApplication::widgetAt(global))
        return w;
    // Where the platform cannot tell (a window reaching past the screen's edge), the windows
    // are asked themselves, the active one first.
    QWidgetList tops = QApplication::topLevelWidgets();
    if (QWidget* active = QApplication::activeWindow())
        tops.prepend(active);
    for (QWidget* top : tops) {
        if (top == list || !top->isVisible() || top->windowType() == Qt::Popup ||
            !top->geometry().contains(global))
            continue;
        QWidget* child = top->childAt(top->mapFromGlobal(global));
        return child ? child : top;
    }
    return nullptr;
}

// Watches the list before the completer does: the completer would hide the list and drop the
// click that lies outside it.
class OutsideClicks : public QObject {
public:
    explicit OutsideClicks(QWidget* popup) : QObject(popup) {
        // The press is passed on here, once: the toolkit does not replay it as well.
        popup->setAttribute(Qt::WA_NoMouseReplay);
        popup->installEventFilter(this);
    }

    bool eventFilter(QObject* obj, QEvent* e) override {
        if (e->type() != QEvent::MouseButtonPress && e->type() != QEvent::MouseButtonDblClick)
            return false;
        auto* popup = static_cast<QWidget*>(obj);
        auto* m = static_cast<QMouseEvent*>(e);
        if (popup->rect().contains(m->position().toPoint()))
            return false;
        const QPointF global = m->globalPosition();
        popup->hide();
        QPointer<QWidget> target = elementAt(global.toPoint(), popup);
        if (!target || target == popup || popup->isAncestorOf(target))
            return true;
        // The element clicked takes the focus, as a press from the mouse gives it, so that the
        // keys typed next land there; then the press goes where it was aimed.
        for (QWidget* f = target; f; f = f->parentWidget()) {
            if (f->isEnabled() && (f->focusPolicy() & Qt::ClickFocus)) {
                f->setFocus(Qt::MouseFocusReason);
                break;
            }
            if (f->isWindow())
                break;
        }
        if (!target)
            return true;
        // The toolkit drops the release that follows a press which closed a list: the click is
        // passed on whole.
        const QPointF at = target->mapFromGlobal(global);
        QMouseEvent press(QEvent::MouseButtonPress, at, global, m->button(), m->buttons(),
                          m->modifiers());
        QCoreApplication::sendEvent(target, &press);
        if (target) {
            QMouseEvent release(QEvent::MouseButtonRelease, at, global, m->button(),
                                m->buttons() & ~m->button(), m->modifiers());
            QCoreApplication::sendEvent(target, &release);
        }
        return true;
    }
};

} // namespace

void passOutsideClicks(QCompleter* completer) {
    if (!completer || !completer->popup())
        return;
    new OutsideClicks(completer->popup());
}
