#include "IdleLock.h"

#include "PasswordCommands.h"

#include "IdleLockSetting.h"
#include "text/ItalianText.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

#include <time.h>
#include <utility>

namespace {

const QString kTitle = QStringLiteral("Blocco dopo inattività");
const QString kApp = QStringLiteral("Gestione Ordini");
constexpr int kTries = 3;

// Milliseconds since the machine started, the time it was suspended included: a laptop closed
// for an hour comes back locked, and a change of the date and time moves nothing.
qint64 sinceBoot() {
    struct timespec ts {};
    ::clock_gettime(CLOCK_BOOTTIME, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

QString inMinutes(int minutes) {
    return minutes == 1 ? QStringLiteral("1 minuto") : QStringLiteral("%1 minuti").arg(minutes);
}

} // namespace

IdleLock::IdleLock(AppContext& c, QMainWindow* window, std::function<void()> endProgram)
    : QObject(window), ctx(c), m_window(window), m_end(std::move(endProgram)), m_ticks(sinceBoot) {
    m_lastUse = m_ticks();
    m_cover = new QWidget(window);
    m_cover->setObjectName(QStringLiteral("Bloccato"));
    m_cover->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(m_cover);
    layout->addStretch();
    auto* said = new QLabel(QStringLiteral("Il programma è bloccato: i dati sono nascosti.\n"
                                           "Per continuare serve la password personale."),
                            m_cover);
    said->setAlignment(Qt::AlignCenter);
    layout->addWidget(said);
    m_unlock = new QPushButton(QStringLiteral("Sblocca…"), m_cover);
    m_unlock->setObjectName(QStringLiteral("Sblocca"));
    layout->addWidget(m_unlock, 0, Qt::AlignCenter);
    layout->addStretch();
    m_cover->hide();
    connect(m_unlock, &QPushButton::clicked, this, &IdleLock::Sblocca_Click);
}

void IdleLock::setTicks(std::function<qint64()> ticks) {
    m_ticks = std::move(ticks);
    m_lastUse = m_ticks();
}

void IdleLock::reload() {
    m_minutes = 0;
    if (!ctx.connected())
        return;
    if (auto read = idlelock::minutes(ctx.db()))
        m_minutes = *read;
}

bool IdleLock::filter(QObject* obj, QEvent* e) {
    switch (e->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
        m_lastUse = m_ticks();
        break;
    case QEvent::FocusIn:
    case QEvent::FocusOut:
        // The fields hidden and shown again never learn that the focus left them: what they do
        // when it leaves (a number written out in full, a date completed) would change what
        // was typed.
        return m_quiet && hiddenByTheLock(obj);
    case QEvent::Shortcut:
        // The menus' shortcuts (Ctrl+F) would open what the lock hides.
        return m_locked && qobject_cast<QAction*>(obj);
    default:
        break;
    }
    return false;
}

bool IdleLock::hiddenByTheLock(QObject* obj) const {
    auto* w = qobject_cast<QWidget*>(obj);
    if (!w || w == m_cover || m_cover->isAncestorOf(w))
        return false;
    const QWidget* top = w->window();
    if (top == m_window)
        return true;
    for (const QPointer<QWidget>& h : m_hidden)
        if (h == top)
            return true;
    return false;
}

void IdleLock::check() {
    if (m_locked || m_minutes <= 0 || !ctx.connected() || !ctx.db().key().personal)
        return;
    // A box waiting for an answer is left to its answer: hiding it would answer it.
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget())
        return;
    if (m_ticks() - m_lastUse < qint64(m_minutes) * 60 * 1000)
        return;
    lock();
}

void IdleLock::lock() {
    m_locked = true;
    m_wrong = 0;
    m_focus = QApplication::focusWidget();
    m_hidden.clear();
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != m_window && w->isVisible())
            m_hidden << w;
    m_quiet = true;
    for (const QPointer<QWidget>& w : std::as_const(m_hidden))
        w->hide();
    QWidget* client = m_window->centralWidget();
    m_cover->setGeometry(client->geometry());
    m_cover->show();
    m_cover->raise();
    client->hide();
    m_window->menuBar()->setEnabled(false);
    // A passing line may name a file just written.
    if (QStatusBar* bar = m_window->statusBar())
        bar->clearMessage();
    m_unlock->setFocus(Qt::OtherFocusReason);
    Sblocca_Click();
}

void IdleLock::Sblocca_Click() {
    if (!m_locked)
        return;
    bool wrong = false;
    while (m_wrong < kTries) {
        const QString prompt = (wrong ? QStringLiteral("Password errata.\n\n") : QString()) +
                               QStringLiteral("Il programma è bloccato: i dati sono nascosti."
                                              "\n\nPassword personale");
        std::optional<QString> typed = ctx.dialogs.password(prompt, kApp);
        // Cancelled: the program stays locked, and the tries made still count.
        if (!typed)
            return;
        FileKey given = FileKey::personalPassword(*typed);
        typed->fill(QLatin1Char(' '));
        const bool right =
            !given.secret.isEmpty() && ctx.connection && given == ctx.connection->key();
        given.clear();
        if (right) {
            unlock();
            return;
        }
        wrong = true;
        ++m_wrong;
    }
    ctx.dialogs.message(QStringLiteral("Password personale errata per tre volte.\n\n"
                                       "Il programma verrà chiuso."),
                        kApp, BoxIcon::Critical);
    m_end();
}

void IdleLock::unlock() {
    m_locked = false;
    m_wrong = 0;
    m_window->centralWidget()->show();
    m_cover->hide();
    m_window->menuBar()->setEnabled(true);
    for (const QPointer<QWidget>& w : std::as_const(m_hidden))
        if (w)
            w->show();
    if (m_focus) {
        m_focus->activateWindow();
        m_focus->setFocus(Qt::OtherFocusReason);
    }
    m_quiet = false;
    m_hidden.clear();
    m_lastUse = m_ticks();
}

void IdleLock::BloccoInattivita_Click() {
    if (!ctx.connected())
        return;
    if (!ctx.db().key().personal) {
        ctx.dialogs.message(QStringLiteral("Il blocco dopo inattività nasconde i dati e chiede "
                                           "la password personale: si usa solo con una password "
                                           "personale, da impostare prima con \"Password "
                                           "personale…\" del menu Archivio."),
                            kTitle, BoxIcon::Information);
        return;
    }
    if (!currentPasswordGiven(ctx, kTitle))
        return;
    const QString now = m_minutes > 0
                            ? QStringLiteral("dopo %1 senza uso").arg(inMinutes(m_minutes))
                            : QStringLiteral("nessun blocco");
    const std::optional<QString> typed = ctx.dialogs.input(
        QStringLiteral("Minuti senza uso dopo i quali il programma nasconde i dati e chiede di "
                       "nuovo la password personale (da 1 a %1; 0 per non bloccarlo).\n\n"
                       "Impostazione attuale: %2.")
            .arg(idlelock::kMaxMinutes)
            .arg(now),
        kTitle);
    if (!typed || typed->trimmed().isEmpty())
        return;
    const QString text = typed->trimmed();
    bool digits = text.size() <= 3;
    for (QChar c : text)
        digits = digits && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    const int minutes = digits ? text.toInt() : -1;
    if (minutes < 0 || minutes > idlelock::kMaxMinutes) {
        const QString shown = text.size() > 20 ? text.left(20) + QStringLiteral("…") : text;
        ctx.dialogs.message(QStringLiteral("«%1» non è un numero di minuti da 0 a %2.\n\n"
                                           "Il blocco non è stato cambiato.")
                                .arg(shown)
                                .arg(idlelock::kMaxMinutes),
                            kTitle, BoxIcon::Exclamation);
        return;
    }
    if (Status s = idlelock::setMinutes(ctx.db(), minutes); !s) {
        ctx.dialogs.message(QStringLiteral("Il blocco non è stato cambiato.\n\n%1.")
                                .arg(itext::capitalised(s.error().text)),
                            kTitle, BoxIcon::Exclamation);
        return;
    }
    m_minutes = minutes;
    m_lastUse = m_ticks();
    ctx.dialogs.message(minutes > 0
                            ? QStringLiteral("Da ora il programma si blocca dopo %1 senza uso: "
                                             "nasconde i dati e chiede la password personale.")
                                  .arg(inMinutes(minutes))
                            : QStringLiteral("Da ora il programma non si blocca più."),
                        kTitle, BoxIcon::Information);
}
