#include "WindowZoom.h"

#include "ViewSettings.h"
#include "ui/widgets/Zoom.h"

#include <QAction>
#include <QCoreApplication>
#include <QLayout>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>

WindowZoom::WindowZoom(QMainWindow* window, std::function<void(const QString&)> tell)
    : QObject(window), m_window(window), m_tell(std::move(tell)) {}

void WindowZoom::addMenu(QMenuBar* bar, QAction* before) {
    auto* menu = new QMenu(QStringLiteral("&Visualizza"), bar);
    menu->setObjectName(QStringLiteral("MVisualizza"));
    menu->menuAction()->setObjectName(QStringLiteral("MVisualizzaMenu"));
    bar->insertMenu(before, menu);
    const auto add = [&](const char* name, const QString& caption, QList<QKeySequence> keys,
                         void (WindowZoom::*handler)()) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        a->setShortcuts(keys);
        a->setShortcutContext(Qt::WindowShortcut);
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    // Plus is a key of its own on an Italian keyboard; on others it is Shift and "=".
    m_in = add("Ingrandisci", QStringLiteral("Ingrandisci"),
               {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)},
               &WindowZoom::Ingrandisci_Click);
    m_out = add("Riduci", QStringLiteral("Riduci"), {QKeySequence(Qt::CTRL | Qt::Key_Minus)},
                &WindowZoom::Riduci_Click);
    m_normal = add("DimensioneNormale", QStringLiteral("Dimensione normale"),
                   {QKeySequence(Qt::CTRL | Qt::Key_0)}, &WindowZoom::DimensioneNormale_Click);
    updateActions();
}

void WindowZoom::applyKept() {
    m_window->layout()->activate();
    m_size100 = needed();
    m_need = m_size100;
    const viewsettings::View kept = viewsettings::load();
    m_chosen = kept.zoom;
    m_keptMaximised = kept.maximised;
    show(m_chosen);
}

int WindowZoom::percent() const {
    return zoom::percentOf(m_window);
}

int WindowZoom::fitting(QSize size100, QSize room) {
    for (int p = zoom::kLargest; p > zoom::kSmallest; p -= zoom::kStep)
        if (zoom::scaled(size100.width(), p) <= room.width() &&
            zoom::scaled(size100.height(), p) <= room.height())
            return p;
    return zoom::kSmallest;
}

bool WindowZoom::maximised() const {
    return m_window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen);
}

void WindowZoom::Ingrandisci_Click() {
    if (m_in->isEnabled())
        choose(percent() + zoom::kStep);
}

void WindowZoom::Riduci_Click() {
    if (m_out->isEnabled())
        choose(percent() - zoom::kStep);
}

void WindowZoom::DimensioneNormale_Click() {
    choose(zoom::kSmallest);
}

void WindowZoom::choose(int p) {
    m_chosen = zoom::nearestStep(p);
    show(m_chosen);
    keep();
}

void WindowZoom::keep() {
    QString error;
    if (!viewsettings::save({m_chosen, maximised()}, &error) && m_tell)
        m_tell(error);
}

// The window at `p`: what it needs at that zoom is its least size; a window of its own size
// takes that size.
void WindowZoom::show(int p) {
    zoom::apply(m_window, p);
    m_window->setContentsMargins(0, 0, 0, 0);
    m_window->setMinimumSize(0, 0);
    m_window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    m_window->layout()->invalidate();
    m_need = needed();
    m_window->setMinimumSize(m_need);
    if (!maximised())
        resizeInPlace();
    recentre();
    updateActions();
}

// The client area as wide as it is, under the menu bar as high as it is at that width, above the
// status bar.
QSize WindowZoom::needed() const {
    const QWidget* client = m_window->centralWidget();
    const QMenuBar* menu = m_window->menuBar();
    const int width = client->width();
    const int menuHeight = menu->heightForWidth(width);
    return QSize(width, (menuHeight > 0 ? menuHeight : menu->sizeHint().height()) +
                            client->height() + m_window->statusBar()->height());
}

// The window keeps its middle where it was, its corner in sight.
void WindowZoom::resizeInPlace() {
    const QPoint middle = m_window->frameGeometry().center();
    m_window->resize(m_need);
    if (!m_window->isVisible())
        return;
    QRect frame = m_window->frameGeometry();
    frame.moveCenter(middle);
    QRect room = frame;
    if (const QScreen* s = m_window->screen())
        room = s->availableGeometry();
    m_window->move(qMax(frame.left(), room.left()), qMax(frame.top(), room.top()));
}

// A window wider than its layout shows it in the middle.
void WindowZoom::recentre() {
    const int spare = qMax(0, m_window->width() - m_need.width());
    const QMargins margins(spare / 2, 0, spare - spare / 2, 0);
    if (m_window->contentsMargins() != margins)
        m_window->setContentsMargins(margins);
}

void WindowZoom::follow() {
    if (m_following)
        return;
    m_following = true;
    if (maximised()) {
        // Once for each size the maximised window takes: a step chosen afterwards stays.
        if (!m_fitted || m_fittedTo != m_window->size()) {
            m_fitted = true;
            m_fittedTo = m_window->size();
            int p = fitting(m_size100, m_fittedTo);
            show(p);
            // The menu bar's height does not grow quite in step with its font.
            while (p > zoom::kSmallest &&
                   (m_need.width() > m_fittedTo.width() || m_need.height() > m_fittedTo.height()))
                show(p -= zoom::kStep);
            m_chosen = p;
            keep();
        }
    } else if (m_fitted) {
        m_fitted = false;
        keep();
        // Given back its size, the window keeps the zoom it had and takes the size that zoom
        // needs, once the platform has ended the maximised state (it ignores sizes till then).
        QTimer::singleShot(0, this, [this]() {
            if (!maximised())
                resizeInPlace();
        });
    }
    recentre();
    updateActions();
    m_following = false;
}

void WindowZoom::updateActions() {
    if (!m_in)
        return;
    const int p = percent();
    bool larger = p < zoom::kLargest;
    // A maximised window grows no larger than its room.
    if (larger && maximised())
        larger = fitting(m_size100, m_window->size()) > p;
    m_in->setEnabled(larger);
    m_out->setEnabled(p > zoom::kSmallest);
    m_normal->setEnabled(p != zoom::kSmallest);
}
