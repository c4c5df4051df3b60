#pragma once

#include "secrets/Keyring.h"

#include <QMap>
#include <QStringList>

// A keyring the test scripts: open (it keeps what it is given), absent or locked. Every call
// is recorded by its kind and name, never with the secret.
class ScriptedKeyring : public secrets::Keyring {
public:
    enum class State { Open, Absent, Locked };

    secrets::KeyringAnswer read(const QString& name) override {
        calls << QStringLiteral("read ") + name;
        if (state != State::Open)
            return refusal();
        auto it = entries.constFind(name);
        if (it == entries.constEnd())
            return {secrets::KeyringAnswer::Kind::NotFound, {}, {}};
        return {secrets::KeyringAnswer::Kind::Done, *it, {}};
    }
    secrets::KeyringAnswer write(const QString& name, const QString& secret) override {
        calls << QStringLiteral("write ") + name;
        if (state != State::Open)
            return refusal();
        entries.insert(name, secret);
        return {secrets::KeyringAnswer::Kind::Done, {}, {}};
    }
    secrets::KeyringAnswer remove(const QString& name) override {
        calls << QStringLiteral("remove ") + name;
        if (state != State::Open)
            return refusal();
        entries.remove(name);
        return {secrets::KeyringAnswer::Kind::Done, {}, {}};
    }

    // The text the refusals give.
    static QString absentText() { return QStringLiteral("nessun portachiavi risponde"); }
    static QString lockedText() { return QStringLiteral("il portachiavi del computer è bloccato"); }

    State state = State::Open;
    QMap<QString, QString> entries;
    QStringList calls;

private:
    secrets::KeyringAnswer refusal() const {
        return secrets::KeyringAnswer::unavailable(state == State::Absent ? absentText()
                                                                          : lockedText());
    }
};
