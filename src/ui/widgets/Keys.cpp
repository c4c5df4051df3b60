#include "Keys.h"

#include <QEvent>
#include <QKeySequence>
#include <QPointer>
#include <QShortcut>
#include <QVariant>
#include <QWidget>

namespace keys {

void escapeCloses(QWidget* panel, std::function<void()> close) {
    auto* shortcut = new QShortcut(QKeySequence(Qt::Key_Escape), panel);
    shortcut->setObjectName(QStringLiteral("esc"));
    shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(shortcut, &QShortcut::activated, panel, std::move(close));
}

namespace {

constexpr const char* kPolicy = "focusPolicyUncovered";

// Watches the cover and the panel and takes the covered elements out of the Tab chain.
class CoverWatch : public QObject {
public:
    CoverWatch(QWidget* panel, QWidget* cover) : QObject(cover), m_panel(panel), m_cover(cover) {
        cover->installEventFilter(this);
        panel->installEventFilter(this);
    }

    bool eventFilter(QObject*, QEvent* e) override {
        switch (e->type()) {
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::Move:
        case QEvent::Resize:
            update();
            break;
        default:
            break;
        }
        return false;
    }

private:
    void update() {
        if (!m_panel || !m_cover)
            return;
        const bool shown = m_cover->isVisibleTo(m_panel);
        const QRect over(m_cover->mapTo(m_panel, QPoint(0, 0)), m_cover->size());
        for (QWidget* w : m_panel->findChildren<QWidget*>()) {
            if (w == m_cover || m_cover->isAncestorOf(w))
                continue;
            const QVariant saved = w->property(kPolicy);
            if (!saved.isValid() && w->focusPolicy() == Qt::NoFocus)
                continue;
            const QRect at(w->mapTo(m_panel, QPoint(0, 0)), w->size());
            if (shown && over.contains(at)) {
                if (!saved.isValid())
                    w->setProperty(kPolicy, int(w->focusPolicy()));
                w->setFocusPolicy(Qt::NoFocus);
                if (w->hasFocus())
                    w->clearFocus();
            } else if (saved.isValid()) {
                w->setFocusPolicy(Qt::FocusPolicy(saved.toInt()));
                w->setProperty(kPolicy, QVariant());
            }
        }
    }

    QPointer<QWidget> m_panel;
    QPointer<QWidget> m_cover;
};

} // namespace

void skipCovered(QWidget* panel, QWidget* cover) {
    new CoverWatch(panel, cover);
}

} // namespace keys
