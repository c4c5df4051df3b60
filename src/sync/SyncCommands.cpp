#include "SyncCommands.h"

#include "ConflictCopiesWindow.h"
#include "OwnCustomers.h"
#include "Pg.h"
#include "SyncSettings.h"
#include "SyncSettingsDialog.h"
#include "text/ItalianText.h"
#include "ui/AccountPassword.h"

#include <QAction>
#include <QDateTime>
#include <QMenu>
#include <QTimeZone>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {
const QString kTitle = QStringLiteral("Sincronizzazione");
const QString kNotSet = QStringLiteral("Il server dell'agenzia non è impostato: indicarlo in "
                                       "\"Server dell'agenzia…\" del menu Archivio.");
// The end of the program waits this long for a sync it stopped.
constexpr auto kEndWait = std::chrono::seconds(4);
} // namespace

// What the window and a sync's thread share: the thread may outlive the window when the program
// ends while it still waits on the network.
struct SyncCommands::Job {
    pg::Interrupt interrupt;
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    // Null once the window no longer waits for the outcome.
    SyncCommands* owner = nullptr;
    // The agent asked to stop it.
    std::atomic<bool> cancelled{false};
};

SyncCommands::SyncCommands(AppContext& c, std::function<void()> refreshPanels, QObject* parent)
    : QObject(parent), ctx(c), m_refresh(std::move(refreshPanels)) {
    connect(&m_timer, &QTimer::timeout, this, [this]() {
        if (!m_running)
            launch(false);
    });
}

SyncCommands::~SyncCommands() {
    stop();
}

void SyncCommands::stop() {
    m_stopped = true;
    m_timer.stop();
    if (!m_worker.joinable())
        return;
    std::shared_ptr<Job> job = m_job;
    job->interrupt.raise();
    std::unique_lock<std::mutex> lock(job->mutex);
    const bool ended = job->ended.wait_for(lock, kEndWait, [&] { return job->done; });
    job->owner = nullptr;
    lock.unlock();
    if (ended)
        m_worker.join();
    else
        m_worker.detach();
    m_running = false;
}

void SyncCommands::addTo(QMenu* menu) {
    QAction* now = menu->addAction(QStringLiteral("Sincronizza"));
    now->setObjectName(QStringLiteral("Sincronizza"));
    connect(now, &QAction::triggered, this, [this]() { Sincronizza_Click(); });
    m_cancel = menu->addAction(QStringLiteral("Annulla sincronizzazione"));
    m_cancel->setObjectName(QStringLiteral("AnnullaSincronizzazione"));
    m_cancel->setEnabled(m_running);
    connect(m_cancel, &QAction::triggered, this, [this]() { AnnullaSincronizzazione_Click(); });
    QAction* server = menu->addAction(QStringLiteral("Server dell'agenzia…"));
    server->setObjectName(QStringLiteral("ServerAgenzia"));
    connect(server, &QAction::triggered, this, [this]() { ServerAgenzia_Click(); });
    QAction* copies = menu->addAction(QStringLiteral("Copie in conflitto…"));
    copies->setObjectName(QStringLiteral("CopieInConflitto"));
    connect(copies, &QAction::triggered, this, [this]() { CopieInConflitto_Click(); });
}

void SyncCommands::CopieInConflitto_Click() {
    auto settings = syncsettings::load(ctx.db());
    if (!settings || !settings->has_value()) {
        ctx.dialogs.message(kNotSet, kTitle, BoxIcon::Exclamation);
        return;
    }
    pg::Settings server = (*settings)->server;
    if (!withPassword(server, true))
        return;
    // A copy taken is a change of the order: it goes up at once when no sync is running.
    auto window = std::make_unique<ConflictCopiesWindow>(ctx, server, [this]() {
        if (m_refresh)
            m_refresh();
        if (!m_running)
            launch(false);
    });
    if (!window->reload())
        return;
    if (window->copies() == 0) {
        ctx.dialogs.message(QStringLiteral("Sul server non ci sono copie in conflitto."),
                            QStringLiteral("Copie in conflitto"), BoxIcon::Information);
        return;
    }
    m_copies = std::move(window);
    m_copies->show();
}

void SyncCommands::Sincronizza_Click() {
    if (m_running) {
        if (ctx.dialogs.question(QStringLiteral("Una sincronizzazione è già in corso: annullarla?"),
                                 kTitle, BoxIcon::Exclamation, BoxDefault::No))
            AnnullaSincronizzazione_Click();
        return;
    }
    launch(true);
}

void SyncCommands::AnnullaSincronizzazione_Click() {
    if (!m_running || !m_job)
        return;
    // The server is asked to stop the statement it works on; what it had begun is rolled back.
    m_job->cancelled = true;
    m_job->interrupt.raise();
    ctx.showStatus(QStringLiteral("Annullamento della sincronizzazione…"));
}

void SyncCommands::ServerAgenzia_Click() {
    auto current = syncsettings::load(ctx.db());
    if (!current) {
        ctx.dialogs.message(QStringLiteral("Le impostazioni del server non si leggono: %1")
                                .arg(current.error().text),
                            kTitle, BoxIcon::Critical);
        return;
    }
    syncsettings::Settings shown = current->value_or(syncsettings::Settings{});
    const secrets::Found kept = ctx.secrets.find(ctx.db(), secrets::Account::Server, true);
    shown.server.password = kept.password.value_or(QString());
    SyncSettingsDialog dialog(shown, secrets::Vault::placeText(secrets::Account::Server, kept));
    dialog.setWindowTitle(QStringLiteral("Server dell'agenzia"));
    while (dialog.exec() == QDialog::Accepted) {
        const syncsettings::Settings chosen = dialog.settings();
        if (Status s = syncsettings::save(ctx.db(), chosen); !s) {
            ctx.dialogs.message(QStringLiteral("Impostazioni non salvate: %1").arg(s.error().text),
                                kTitle, BoxIcon::Exclamation);
            continue;
        }
        if (chosen.server.password != shown.server.password) {
            auto placed =
                ctx.secrets.keep(ctx.db(), secrets::Account::Server, chosen.server.password);
            if (!placed) {
                ctx.dialogs.message(QStringLiteral("Impostazioni salvate, ma la password non è "
                                                   "stata conservata: %1")
                                        .arg(placed.error().text),
                                    kTitle, BoxIcon::Exclamation);
                continue;
            }
            shown.server.password = chosen.server.password;
            m_declined = false;
        }
        applyTimer(chosen.minutes);
        ctx.dialogs.message(QStringLiteral("Impostazioni del server salvate."), kTitle,
                            BoxIcon::Information);
        return;
    }
}

void SyncCommands::startAutomatic() {
    auto settings = syncsettings::load(ctx.db());
    if (!settings || !settings->has_value())
        return;
    applyTimer((*settings)->minutes);
    launch(false);
}

void SyncCommands::applyTimer(int minutes) {
    if (minutes > 0)
        m_timer.start(minutes * 60 * 1000);
    else
        m_timer.stop();
}

void SyncCommands::launch(bool manual) {
    auto settings = syncsettings::load(ctx.db());
    if (!settings || !settings->has_value()) {
        if (manual)
            ctx.dialogs.message(kNotSet, kTitle, BoxIcon::Exclamation);
        return;
    }
    if (m_stopped)
        return;
    pg::Settings server = (*settings)->server;
    // An automatic sync asks at most once in a run; a cancelled box leaves it to "Sincronizza".
    if (!withPassword(server, manual || !m_declined)) {
        ctx.showStatus(QStringLiteral("Sincronizzazione non fatta: manca la password del server "
                                      "dell'agenzia (la chiede \"Sincronizza\")."));
        return;
    }
    if (m_worker.joinable())
        m_worker.join();
    m_running = true;
    if (m_cancel)
        m_cancel->setEnabled(true);
    ctx.showStatus(QStringLiteral("Sincronizzazione in corso…"));
    const QString path = ctx.db().path();
    const FileKey key = ctx.db().key();
    m_job = std::make_shared<Job>();
    m_job->owner = this;
    m_worker = std::thread([job = m_job, manual, path, key, server]() {
        Outcome out;
        {
            Database::Options options;
            options.exclusive = false;
            auto db = Database::open(path, key, options);
            if (!db) {
                out.report = db.error();
            } else if (auto c = pg::Connection::open(server, &job->interrupt); !c) {
                out.report = c.error();
            } else {
                out.connected = true;
                out.report = agencysync::run(**db, **c);
            }
        }
        std::lock_guard<std::mutex> lock(job->mutex);
        job->done = true;
        if (SyncCommands* owner = job->owner)
            QMetaObject::invokeMethod(
                owner, [owner, manual, out]() { owner->done(manual, out); }, Qt::QueuedConnection);
        job->ended.notify_all();
    });
}

bool SyncCommands::withPassword(pg::Settings& server, bool mayAsk) {
    std::optional<QString> password = accountpassword::get(
        ctx, secrets::Account::Server, server.user, server.host, kTitle, mayAsk);
    // A box cancelled: the automatic syncs of this run ask no more.
    if (mayAsk)
        m_declined = !password;
    if (!password)
        return false;
    server.password = *password;
    password->fill(QLatin1Char(' '));
    return true;
}

void SyncCommands::done(bool manual, const Outcome& out) {
    // The program is ending: what the sync did is told no more.
    if (m_stopped)
        return;
    m_running = false;
    if (m_cancel)
        m_cancel->setEnabled(false);
    if (m_worker.joinable())
        m_worker.join();
    const bool cancelled = m_job && m_job->cancelled;
    m_job.reset();
    ctx.showStatus(statusLine());
    if (!out.report && cancelled &&
        serverfailure::is(out.report.error(), serverfailure::Cancelled)) {
        ctx.dialogs.message(QStringLiteral("Sincronizzazione annullata: quello che non è stato "
                                           "inviato o ricevuto lo sarà con la prossima."),
                            kTitle, BoxIcon::Information);
        Q_EMIT finished();
        return;
    }
    if (!out.report) {
        // An automatic sync that finds no server says so in the status bar alone.
        if (manual || out.connected)
            ctx.dialogs.message(
                QStringLiteral("Sincronizzazione non riuscita: %1").arg(out.report.error().text),
                kTitle, BoxIcon::Critical);
        Q_EMIT finished();
        return;
    }
    const agencysync::Report& r = *out.report;
    const int received = r.ordersReceived + r.articlesReceived + r.principalsReceived +
                         r.pricesReceived + r.customersReceived;
    if (received > 0 && m_refresh)
        m_refresh();
    if (manual) {
        QString text = QStringLiteral("Sincronizzazione completata: %1 ordini inviati, %2 ordini "
                                      "ricevuti, %3 articoli e %4 mandanti aggiornati.")
                           .arg(r.ordersSent)
                           .arg(r.ordersReceived)
                           .arg(r.articlesReceived)
                           .arg(r.principalsReceived);
        // Customers and requests are told only when some moved.
        if (r.customersSent + r.customersReceived > 0)
            text += QStringLiteral(" Clienti: %1 inviati, %2 ricevuti.")
                        .arg(r.customersSent)
                        .arg(r.customersReceived);
        if (r.requestsSent > 0)
            text +=
                QStringLiteral(" Richieste di modifica inviate alla sede: %1.").arg(r.requestsSent);
        ctx.dialogs.message(text, kTitle, BoxIcon::Information);
    }
    if (!r.conflicts.isEmpty())
        ctx.dialogs.message(r.conflicts.join(QLatin1Char('\n')), kTitle, BoxIcon::Exclamation);
    if (!r.refused.isEmpty())
        ctx.dialogs.message((r.refused.size() == 1
                                 ? QStringLiteral("Sincronizzazione completata tranne un ordine, "
                                                  "che resta da inviare:\n")
                                 : QStringLiteral("Sincronizzazione completata tranne %1 ordini, "
                                                  "che restano da inviare:\n")
                                       .arg(r.refused.size())) +
                                r.refused.join(QLatin1Char('\n')),
                            kTitle, BoxIcon::Exclamation);
    Q_EMIT finished();
}

QString SyncCommands::statusLine() {
    auto pending = agencysync::pendingOrders(ctx.db());
    const QString last = agencysync::lastSync(ctx.db());
    QString when = QStringLiteral("mai");
    if (!last.isEmpty()) {
        const QDateTime t = QDateTime::fromString(last, Qt::ISODate).toLocalTime();
        when = itext::formatDate(t.date()) + QLatin1Char(' ') +
               t.time().toString(QStringLiteral("HH:mm"));
    }
    QString line = QStringLiteral("Ultima sincronizzazione: %1; ordini da inviare: %2")
                       .arg(when)
                       .arg(pending ? QString::number(*pending) : QStringLiteral("?"));
    // Customers are named only when some wait.
    auto customers = customersync::pendingCustomers(ctx.db());
    if (!customers)
        line += QStringLiteral("; clienti da inviare: ?");
    else if (*customers > 0)
        line += QStringLiteral("; clienti da inviare: %1").arg(*customers);
    return line;
}
