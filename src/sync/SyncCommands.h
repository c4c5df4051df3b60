#pragma once

#include "Pg.h"
#include "Sync.h"
#include "ui/AppContext.h"

#include <QObject>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

class ConflictCopiesWindow;
class QAction;
class QMenu;

// "Sincronizza" and "Server dell'agenzia…" of the Archivio menu, and the automatic sync at start
// and every few minutes. The sync runs on a thread of its own, with its own connection to the
// file, so the window goes on answering; its outcome comes back to the window's thread.
// "Annulla sincronizzazione" stops it; so does the end of the program, which waits for it a few
// seconds at most.
class SyncCommands : public QObject {
    Q_OBJECT
public:
    SyncCommands(AppContext& ctx, std::function<void()> refreshPanels, QObject* parent = nullptr);
    ~SyncCommands() override;

    void addTo(QMenu* menu);
    void Sincronizza_Click();
    void AnnullaSincronizzazione_Click();
    void ServerAgenzia_Click();
    // "Copie in conflitto…": the copies kept on the server of orders changed on two machines.
    void CopieInConflitto_Click();
    ConflictCopiesWindow* copiesWindow() const { return m_copies.get(); }
    // After start-up: a first sync when a server is set, then one every few minutes.
    void startAutomatic();
    bool running() const { return m_running; }
    // Stops a sync that runs and waits for its end, a few seconds at most: a sync still waiting
    // on the network then is left to end with the program. No sync starts afterwards.
    void stop();
    // What the status bar tells of the sync: the last one and what waits to go up.
    QString statusLine();

Q_SIGNALS:
    // A sync ended, whatever its outcome.
    void finished();

private:
    struct Outcome {
        bool connected = false;
        Result<agencysync::Report> report = makeError(QString());
    };
    struct Job;
    void launch(bool manual);
    // The agent's password into `server`, from where it is kept, or asked when it cannot be
    // read and `mayAsk`; false when it is wanted and was not given.
    bool withPassword(pg::Settings& server, bool mayAsk);
    void done(bool manual, const Outcome& outcome);
    void applyTimer(int minutes);

    AppContext& ctx;
    std::function<void()> m_refresh;
    std::unique_ptr<ConflictCopiesWindow> m_copies;
    std::thread m_worker;
    std::shared_ptr<Job> m_job;
    std::atomic<bool> m_running{false};
    // The password was asked for an automatic sync and not given: the next ones do not ask.
    bool m_declined = false;
    bool m_stopped = false;
    QAction* m_cancel = nullptr;
    QTimer m_timer;
};
