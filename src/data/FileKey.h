#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The key a database file is encrypted with, and the settings of the engine's key derivation
// that go with it. Every file without a personal password uses the program's built-in key; a
// personal password is derived with many more rounds, so that guessing it costs a thief time.
// The rounds are fixed here by the kind of key, never written anywhere: the program tries the
// built-in key first and, when the file does not open with it, asks for the password.
struct FileKey {
    // Rounds of the engine's key derivation (PBKDF2) for the built-in key.
    static constexpr int kBuiltInRounds = 64000;
    // For a personal password: ten times as many; opening still takes well under a second.
    static constexpr int kPersonalRounds = 640000;

    QByteArray secret;
    int rounds = kBuiltInRounds;
    bool personal = false;

    static FileKey builtIn();
    static FileKey personalPassword(const QString& password);

    // The cipher settings of the engine for this key, for `schema` ("main", or an attached one).
    QByteArray cipherSettings(const char* schema = "main") const;
    bool operator==(const FileKey& other) const;
    // Overwrites the secret before it is let go.
    void clear();
};

// Why a new personal password is refused, or nothing when it is good enough.
std::optional<QString> weakPassword(const QString& password);
// The rule a personal password follows, as the boxes say it.
QString passwordRule();
