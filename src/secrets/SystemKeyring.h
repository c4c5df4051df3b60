#pragma once

#include "Keyring.h"

#include <QPointer>

#include <chrono>
#include <optional>

namespace QKeychain {
class Job;
}

// The desktop's keyring through QtKeychain: the Secret Service that GNOME Keyring and KWallet
// provide (or KWallet itself on a KDE desktop). The insecure fallback of QtKeychain (secrets in
// a plain settings file) is never used.
namespace secrets {

class SystemKeyring : public Keyring {
public:
    // Each call gives up after `limit`; the window goes on painting meanwhile, without taking
    // the user's input.
    explicit SystemKeyring(std::chrono::milliseconds limit = std::chrono::seconds(5));

    KeyringAnswer read(const QString& name) override;
    KeyringAnswer write(const QString& name, const QString& secret) override;
    KeyringAnswer remove(const QString& name) override;

    // The name the program's secrets are kept under in the keyring.
    static QString service();

private:
    enum class Op { Read, Write, Remove };
    KeyringAnswer run(Op op, const QString& name, const QString& secret);
    // Why no job may start now, or nothing: another is still running, or the Secret Service's
    // default collection is locked (a job would put a prompt on the screen) or does not answer.
    std::optional<KeyringAnswer> refusal(std::chrono::milliseconds left);
    QString tooSlow() const;

    std::chrono::milliseconds m_limit;
    // A job left running past its limit. Jobs run one after another, and one whose answer never
    // came would hold every later one: none is started until it ends (it then deletes itself).
    QPointer<QKeychain::Job> m_late;
    bool m_waiting = false;
};

} // namespace secrets
