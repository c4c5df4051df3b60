#include "SendProgress.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <memory>
#include <optional>

namespace {

const QString kTitle = QStringLiteral("Invio");

} // namespace

Result<mail::SendReceipt> sendWithProgress(QWidget* parent, const SendFunction& send,
                                           const mail::MailServer& server,
                                           const mail::MailMessage& message) {
    struct Shared {
        std::atomic<bool> cancel{false};
        std::atomic<qint64> sent{0};
        std::atomic<qint64> total{0};
        std::optional<Result<mail::SendReceipt>> result;
    };
    auto shared = std::make_shared<Shared>();
    auto sender = send;
    QThread* thread = QThread::create([shared, sender, server, message] {
        mail::SendControl control;
        control.cancel = &shared->cancel;
        control.progress = [shared](qint64 now, qint64 total) {
            shared->sent = now;
            shared->total = total;
        };
        shared->result.emplace(sender(server, message, control));
    });
    QProgressDialog progress(QStringLiteral("Invio del messaggio in corso…"),
                             QStringLiteral("Annulla"), 0, 0, parent);
    progress.setObjectName(QStringLiteral("InvioInCorso"));
    progress.setWindowTitle(kTitle);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    QObject::connect(&progress, &QProgressDialog::canceled, &progress,
                     [shared] { shared->cancel = true; });
    QEventLoop loop;
    QObject::connect(thread, &QThread::finished, &loop, &QEventLoop::quit);
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &progress, [&] {
        const qint64 total = shared->total;
        if (total > 0) {
            progress.setMaximum(int(std::min<qint64>(total, 1 << 30)));
            progress.setValue(int(std::min<qint64>(shared->sent, total)));
        }
    });
    tick.start(50);
    thread->start();
    loop.exec();
    thread->wait();
    delete thread;
    progress.reset();
    return std::move(*shared->result);
}
