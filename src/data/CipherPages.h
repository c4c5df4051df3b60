#pragma once

#include "FileKey.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

// The seal the engine puts on every page of an encrypted file: a keyed hash of the page, under
// keys derived from the file's key and the salt in its first bytes. A page whose seal matches
// was written under that key, whatever the rest of the file holds: a file whose first page is
// damaged is told from a file under another key, without ever opening it.
namespace cipherpages {

inline constexpr int kPageSize = 4096;

// The keys of a file's seals, derived once from the file's key and its salt.
class Seals {
public:
    Seals(const FileKey& key, const QByteArray& salt);
    // Whether `page` (kPageSize bytes, as on the disk) is page `number` of a file under the key.
    bool sealed(const QByteArray& page, std::uint32_t number) const;

private:
    QByteArray m_hmacKey;
};

enum class Fit {
    // Pages after the first carry the key's seal: the file is under the key.
    Fits,
    // Pages after the first exist and none carries it.
    DoesNotFit,
    // Nothing to tell by: a file of one page, or one that does not read.
    Unknown,
};

// Looks at the pages after the first of the file at `path` (up to eight).
Fit otherPagesFit(const QString& path, const FileKey& key);

} // namespace cipherpages
