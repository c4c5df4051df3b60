#include "FileKey.h"

#include "Schema.h"

#include <algorithm>

FileKey FileKey::builtIn() {
    return FileKey{schema::password(), kBuiltInRounds, false};
}

FileKey FileKey::personalPassword(const QString& password) {
    return FileKey{password.toUtf8(), kPersonalRounds, true};
}

QByteArray FileKey::cipherSettings(const char* schema) const {
    return QByteArray("PRAGMA ") + schema + ".cipher_page_size = 4096; PRAGMA " + schema +
           ".kdf_iter = " + QByteArray::number(rounds) + ";";
}

bool FileKey::operator==(const FileKey& other) const {
    return personal == other.personal && rounds == other.rounds && secret == other.secret;
}

void FileKey::clear() {
    // Bytes shared with another copy of the key are that copy's to clear.
    if (secret.isDetached())
        std::fill(secret.begin(), secret.end(), '\0');
    secret.clear();
}

QString passwordRule() {
    return QStringLiteral("almeno 8 caratteri, non solo cifre");
}

std::optional<QString> weakPassword(const QString& password) {
    if (password.size() < 8)
        return QStringLiteral("La password è troppo corta: servono %1.").arg(passwordRule());
    if (std::all_of(password.begin(), password.end(), [](QChar c) { return c.isDigit(); }))
        return QStringLiteral("La password non può essere fatta di sole cifre: servono %1.")
            .arg(passwordRule());
    // The engine takes a key written as x'…' for the raw key itself, without derivation.
    if (password.startsWith(QLatin1String("x'"), Qt::CaseInsensitive))
        return QStringLiteral("La password non può cominciare con x'.");
    if (password.trimmed() != password)
        return QStringLiteral("La password non può cominciare o finire con uno spazio.");
    return std::nullopt;
}
