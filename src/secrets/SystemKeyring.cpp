#include "SystemKeyring.h"

#include <qt6keychain/keychain.h>

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace secrets {
namespace {

using std::chrono::milliseconds;

// Runs the events (painting, timers; not the user's input) until `signal` of `sender` comes or
// `limit` passes; whether it came.
template <class Sender, class Signal>
bool waitFor(Sender* sender, Signal signal, milliseconds limit) {
    QEventLoop loop;
    bool came = false;
    QObject::connect(sender, signal, &loop, [&]() {
        came = true;
        loop.quit();
    });
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(std::max(limit, milliseconds(1)));
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return came;
}

milliseconds left(const QDeadlineTimer& deadline) {
    return milliseconds(std::max<qint64>(deadline.remainingTime(), 0));
}

} // namespace

SystemKeyring::SystemKeyring(milliseconds limit) : m_limit(limit) {}

QString SystemKeyring::service() {
    return QStringLiteral("Gestione Ordini");
}

QString SystemKeyring::tooSlow() const {
    const qint64 ms = m_limit.count();
    return ms % 1000 == 0 ? QStringLiteral("il portachiavi del computer non ha risposto entro %1 "
                                           "secondi")
                                .arg(ms / 1000)
                          : QStringLiteral("il portachiavi del computer non ha risposto entro %1 "
                                           "millisecondi")
                                .arg(ms);
}

std::optional<KeyringAnswer> SystemKeyring::refusal(milliseconds limit) {
    if (m_late)
        return KeyringAnswer::unavailable(tooSlow());
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return KeyringAnswer::unavailable(
            QStringLiteral("nessun portachiavi risponde: la sessione del computer non ha un bus "
                           "D-Bus (Dettaglio: %1)")
                .arg(bus.lastError().message()));
    // The default collection of the Secret Service, where new secrets go: a locked one would
    // ask its password in a prompt of the desktop.
    QDBusMessage get = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.secrets"),
        QStringLiteral("/org/freedesktop/secrets/aliases/default"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QStringLiteral("org.freedesktop.Secret.Collection") << QStringLiteral("Locked");
    QDBusPendingCallWatcher watcher(
        bus.asyncCall(get, int(std::max<std::int64_t>(limit.count(), 1))));
    if (!watcher.isFinished() &&
        !waitFor(&watcher, &QDBusPendingCallWatcher::finished, limit + milliseconds(50)))
        return KeyringAnswer::unavailable(tooSlow());
    const QDBusMessage reply = watcher.reply();
    if (reply.type() == QDBusMessage::ErrorMessage) {
        const QDBusError error(reply);
        // No Secret Service in this session: the keyring may be KWallet's own, which QtKeychain
        // reaches without it.
        if (error.type() == QDBusError::ServiceUnknown)
            return std::nullopt;
        if (error.type() == QDBusError::NoReply || error.type() == QDBusError::Timeout ||
            error.type() == QDBusError::TimedOut)
            return KeyringAnswer::unavailable(tooSlow());
        return KeyringAnswer::unavailable(
            QStringLiteral("il portachiavi del computer non ha una raccolta predefinita in cui "
                           "tenere le password (Dettaglio: %1)")
                .arg(error.message()));
    }
    const QVariant locked = reply.arguments().value(0).value<QDBusVariant>().variant();
    if (locked.toBool())
        return KeyringAnswer::unavailable(
            QStringLiteral("il portachiavi del computer è bloccato: sbloccarlo (per esempio "
                           "con \"Password e chiavi\") perché il programma possa usarlo"));
    return std::nullopt;
}

KeyringAnswer SystemKeyring::run(Op op, const QString& name, const QString& secret) {
    // A call made while another waits (a timer's work during the wait) is not queued behind it.
    if (m_waiting)
        return KeyringAnswer::unavailable(
            QStringLiteral("il portachiavi del computer è occupato da un'altra richiesta"));
    m_waiting = true;
    const QDeadlineTimer deadline(m_limit);
    KeyringAnswer answer;
    if (auto refused = refusal(left(deadline))) {
        m_waiting = false;
        return *refused;
    }
    QKeychain::Job* job = nullptr;
    switch (op) {
    case Op::Read:
        job = new QKeychain::ReadPasswordJob(service());
        break;
    case Op::Write: {
        auto* w = new QKeychain::WritePasswordJob(service());
        w->setTextData(secret);
        job = w;
        break;
    }
    case Op::Remove:
        job = new QKeychain::DeletePasswordJob(service());
        break;
    }
    // Never a plain settings file in place of the keyring.
    job->setInsecureFallback(false);
    // The job deletes itself once it has answered, even when that is after the limit: the
    // library's callbacks still point at it until then.
    job->setAutoDelete(true);
    job->setKey(name);
    bool finished = false;
    QKeychain::Error error = QKeychain::NoError;
    QString errorText;
    QString read;
    QObject::connect(job, &QKeychain::Job::finished, job, [&, job](QKeychain::Job*) {
        if (!finished) {
            finished = true;
            error = job->error();
            errorText = job->errorString();
            if (op == Op::Read && error == QKeychain::NoError)
                read = static_cast<QKeychain::ReadPasswordJob*>(job)->textData();
        }
    });
    job->start();
    if (!waitFor(job, &QKeychain::Job::finished, left(deadline)) && !finished) {
        // What comes later goes nowhere.
        QObject::disconnect(job, &QKeychain::Job::finished, job, nullptr);
        m_late = job;
        m_waiting = false;
        return KeyringAnswer::unavailable(tooSlow());
    }
    m_waiting = false;
    switch (error) {
    case QKeychain::NoError:
        answer.kind = KeyringAnswer::Kind::Done;
        answer.secret = read;
        read.fill(QLatin1Char(' '));
        return answer;
    case QKeychain::EntryNotFound:
        answer.kind = op == Op::Remove ? KeyringAnswer::Kind::Done : KeyringAnswer::Kind::NotFound;
        return answer;
    case QKeychain::NoBackendAvailable:
        return KeyringAnswer::unavailable(
            QStringLiteral("nessun portachiavi risponde (Dettaglio: %1)").arg(errorText));
    case QKeychain::AccessDenied:
    case QKeychain::AccessDeniedByUser:
        return KeyringAnswer::unavailable(
            QStringLiteral("il portachiavi del computer ha rifiutato la richiesta (Dettaglio: "
                           "%1)")
                .arg(errorText));
    default:
        return KeyringAnswer::unavailable(
            QStringLiteral("il portachiavi del computer non ha eseguito la richiesta "
                           "(Dettaglio: %1)")
                .arg(errorText));
    }
}

KeyringAnswer SystemKeyring::read(const QString& name) {
    return run(Op::Read, name, QString());
}

KeyringAnswer SystemKeyring::write(const QString& name, const QString& secret) {
    return run(Op::Write, name, secret);
}

KeyringAnswer SystemKeyring::remove(const QString& name) {
    return run(Op::Remove, name, QString());
}

} // namespace secrets
