#pragma once

#include <QString>

// The desktop's keyring, where the program keeps the passwords of the accounts it uses. Every
// call answers within a time limit of its own: a keyring that is locked, busy or gone is told
// as unavailable, never waited for.
namespace secrets {

struct KeyringAnswer {
    enum class Kind {
        // Done: the secret read, written or removed.
        Done,
        // The keyring answered and holds no secret under that name.
        NotFound,
        // No keyring answered (none, locked, too slow, refused): why in `detail`.
        Unavailable,
    };
    Kind kind = Kind::Unavailable;
    QString secret;
    // Why the keyring is unavailable, in Italian words; a library's own text only after
    // "Dettaglio:".
    QString detail;

    bool done() const { return kind == Kind::Done; }
    bool answered() const { return kind != Kind::Unavailable; }
    static KeyringAnswer unavailable(const QString& why) { return {Kind::Unavailable, {}, why}; }
};

class Keyring {
public:
    virtual ~Keyring() = default;
    virtual KeyringAnswer read(const QString& name) = 0;
    virtual KeyringAnswer write(const QString& name, const QString& secret) = 0;
    // Done also when there was nothing under the name.
    virtual KeyringAnswer remove(const QString& name) = 0;
};

// A computer without a keyring: every call is unavailable (the database tools, the benchmarks).
class NoKeyring : public Keyring {
public:
    KeyringAnswer read(const QString&) override { return none(); }
    KeyringAnswer write(const QString&, const QString&) override { return none(); }
    KeyringAnswer remove(const QString&) override { return none(); }

private:
    static KeyringAnswer none() {
        return KeyringAnswer::unavailable(QStringLiteral("nessun portachiavi risponde"));
    }
};

} // namespace secrets
