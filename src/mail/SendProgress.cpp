#include "SendProgress.h"

#include "ui/OffThread.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>

namespace {

const QString kTitle = QStringLiteral("Invio");

// What the window's thread and the sending thread share.
struct Shared {
    std::atomic<bool> cancel{false};
    std::atomic<int> step{int(mail::SendStep::Connecting)};
    std::optional<Result<mail::SendReceipt>> result;
    // The record of the attempt: none while it is being written, then whether it was.
    std::mutex mutex;
    std::condition_variable recorded;
    std::optional<bool> record;

    void setRecord(bool done) {
        {
            std::lock_guard lock(mutex);
            record = done;
        }
        recorded.notify_all();
    }
    // On the sending thread, before any of the message goes.
    bool awaitRecord() {
        std::unique_lock lock(mutex);
        recorded.wait(lock, [&] { return record.has_value(); });
        return *record;
    }
};

QString stepText(mail::SendStep step, bool cancelling) {
    if (cancelling)
        return QStringLiteral("Annullamento dell'invio…");
    switch (step) {
    case mail::SendStep::Connecting:
        return QStringLiteral("Connessione al server di posta…");
    case mail::SendStep::Message:
        return QStringLiteral("Invio del messaggio…");
    case mail::SendStep::Confirming:
        return QStringLiteral("Il messaggio è al server di posta: attesa della sua conferma (può "
                              "richiedere alcuni minuti).\nAnnullando ora, non si saprà se il "
                              "server l'ha ricevuto.");
    }
    return {};
}

// The busy box: the step, a bar without end, "Annulla". Closing it is "Annulla" too.
class SendingBox : public QDialog {
public:
    SendingBox(QWidget* parent, Shared& shared) : QDialog(parent), m_shared(shared) {
        setObjectName(QStringLiteral("InvioInCorso"));
        setWindowTitle(kTitle);
        setWindowModality(Qt::ApplicationModal);
        Fase = new QLabel(stepText(mail::SendStep::Connecting, false), this);
        Fase->setObjectName(QStringLiteral("InvioFase"));
        Fase->setWordWrap(true);
        auto* bar = new QProgressBar(this);
        bar->setObjectName(QStringLiteral("InvioBarra"));
        bar->setRange(0, 0);
        bar->setTextVisible(false);
        Annulla = new QPushButton(QStringLiteral("Annulla"), this);
        Annulla->setObjectName(QStringLiteral("InvioInCorsoAnnulla"));
        auto* buttons = new QHBoxLayout;
        buttons->addStretch();
        buttons->addWidget(Annulla);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(Fase);
        layout->addWidget(bar);
        layout->addLayout(buttons);
        setMinimumWidth(420);
        connect(Annulla, &QPushButton::clicked, this, &SendingBox::cancel);
    }
    void reject() override { cancel(); }
    void cancel() {
        m_shared.cancel = true;
        Annulla->setEnabled(false);
        refresh();
    }
    void refresh() {
        Fase->setText(stepText(mail::SendStep(m_shared.step.load()), m_shared.cancel.load()));
    }

    QLabel* Fase;
    QPushButton* Annulla;

private:
    Shared& m_shared;
};

} // namespace

Result<mail::SendReceipt> sendWithProgress(QWidget* parent, const SendFunction& send,
                                           const mail::MailServer& server,
                                           const mail::MailMessage& message,
                                           const std::function<Status()>& record) {
    Shared shared;
    if (!record)
        shared.setRecord(true);
    SendingBox box(parent, shared);
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &box, [&] { box.refresh(); });
    tick.start(100);
    // A sending that ends at once shows no box; until the box shows, what the user does waits
    // for it, so that nothing reaches the windows behind it meanwhile.
    QTimer::singleShot(300, &box, [&] { box.show(); });
    std::optional<Error> unrecorded;
    offthread::run(
        [&] {
            mail::SendControl control;
            control.cancel = &shared.cancel;
            control.step = [&shared](mail::SendStep s) { shared.step = int(s); };
            control.beforeMessage = [&shared] { return shared.awaitRecord(); };
            shared.result.emplace(send(server, message, control));
        },
        &box,
        // The record is written while the connection opens: the message waits for it.
        [&] {
            if (!record)
                return;
            const Status written = record();
            if (!written) {
                unrecorded = written.error();
                shared.cancel = true;
            }
            shared.setRecord(bool(written));
        });
    box.hide();
    if (unrecorded)
        return makeError(QStringLiteral("L'invio non si può registrare (%1): messaggio non "
                                        "inviato.")
                             .arg(unrecorded->text));
    return std::move(*shared.result);
}
