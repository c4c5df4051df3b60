#include "Keys.h"

#include "ui/Dialogs.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QShortcut>
#include <QVariant>
#include <QWidget>

namespace keys {

namespace {

// Closes a suggestion list or drop-down list open over the panel; true when there was one.
bool closeOpenList(QWidget* panel) {
    bool closed = false;
    if (QWidget* popup = QApplication::activePopupWidget()) {
        popup->close();
        closed = true;
    }
    for (QLineEdit* e : panel->findChildren<QLineEdit*>()) {
        QCompleter* c = e->completer();
        if (c && c->popup() && c->popup()->isVisible()) {
            c->popup()->hide();
            closed = true;
        }
    }
    for (QComboBox* c : panel->findChildren<QComboBox*>()) {
        if (c->view() && c->view()->isVisible()) {
            c->hidePopup();
            closed = true;
        }
    }
    return closed;
}

bool editable(QObject* w) {
    if (auto* e = qobject_cast<QLineEdit*>(w))
        return !e->isReadOnly();
    if (auto* e = qobject_cast<QPlainTextEdit*>(w))
        return !e->isReadOnly();
    if (auto* e = qobject_cast<QAbstractSpinBox*>(w))
        return !e->isReadOnly();
    // An editable combo takes the keys itself and hands them to its edit field directly.
    if (auto* c = qobject_cast<QComboBox*>(w))
        return c->isEditable();
    return false;
}

bool typing(const QKeyEvent* k) {
    if (k->key() == Qt::Key_Backspace || k->key() == Qt::Key_Delete)
        return true;
    if (k->matches(QKeySequence::Paste) || k->matches(QKeySequence::Cut))
        return true;
    const QString t = k->text();
    return !t.isEmpty() && t.at(0).isPrint() && !(k->modifiers() & Qt::ControlModifier);
}

// Notes whether the user typed in the panel's fields (or picked from a list) since the last
// write to the database. Closing the panel forgets it.
class TypedWork : public QObject {
public:
    TypedWork(QWidget* panel, std::function<std::int64_t()> writes)
        : QObject(panel), m_writes(std::move(writes)) {
        panel->installEventFilter(this);
        for (QWidget* w : panel->findChildren<QWidget*>())
            if (editable(w))
                w->installEventFilter(this);
        for (QComboBox* c : panel->findChildren<QComboBox*>())
            QObject::connect(c, &QComboBox::activated, this, [this] { noteTyped(); });
    }

    bool unsaved() const { return m_typed && m_writes() == m_typedAt; }

    bool eventFilter(QObject* obj, QEvent* e) override {
        if (e->type() == QEvent::Hide && obj == parent())
            m_typed = false;
        else if (e->type() == QEvent::KeyPress && editable(obj) &&
                 typing(static_cast<QKeyEvent*>(e)))
            noteTyped();
        return false;
    }

private:
    void noteTyped() {
        m_typed = true;
        m_typedAt = m_writes();
    }

    std::function<std::int64_t()> m_writes;
    bool m_typed = false;
    std::int64_t m_typedAt = 0;
};

QShortcut* escapeShortcut(QWidget* panel) {
    auto* shortcut = new QShortcut(QKeySequence(Qt::Key_Escape), panel);
    shortcut->setObjectName(QStringLiteral("esc"));
    shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    return shortcut;
}

} // namespace

QString unsavedQuestion() {
    return QStringLiteral("I dati inseriti non sono stati salvati. Chiudere comunque?");
}

void escapeCloses(QWidget* panel, std::function<void()> close) {
    QObject::connect(escapeShortcut(panel), &QShortcut::activated, panel,
                     [panel, close = std::move(close)] {
                         if (!closeOpenList(panel))
                             close();
                     });
}

void escapeClosesAsking(QWidget* panel, Dialogs& dialogs, std::function<std::int64_t()> writes,
                        std::function<void()> close) {
    auto* work = new TypedWork(panel, std::move(writes));
    QObject::connect(
        escapeShortcut(panel), &QShortcut::activated, panel,
        [panel, work, &dialogs, close = std::move(close)] {
            if (closeOpenList(panel))
                return;
            if (work->unsaved() &&
                !dialogs.questionDefaultNo(unsavedQuestion(), QStringLiteral("Gestione Ordini") +
                                                                  QString(20, QLatin1Char('.'))))
                return;
            close();
        });
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
