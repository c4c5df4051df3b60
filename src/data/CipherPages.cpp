#include "CipherPages.h"

#include <QFile>

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

namespace cipherpages {
namespace {

// The engine's layout (SQLCipher 3, AES-256 with SHA-1 seals): the salt heads the first page;
// each page ends with its initialisation vector (16 bytes) and its seal (20 bytes), in a
// reserved tail of 48 bytes; the seal's key is derived from the cipher's key in 2 rounds over
// the salt with every byte xored with 0x3a.
constexpr int kSalt = 16;
constexpr int kKeyBytes = 32;
constexpr int kReserve = 48;
constexpr int kIv = 16;
constexpr int kSeal = 20;
constexpr int kSealRounds = 2;
constexpr unsigned char kSealSaltMask = 0x3a;
constexpr int kPagesLooked = 8;

} // namespace

Seals::Seals(const FileKey& key, const QByteArray& salt) {
    if (salt.size() != kSalt)
        return;
    QByteArray cipherKey(kKeyBytes, '\0');
    const auto* s = reinterpret_cast<const unsigned char*>(salt.constData());
    if (PKCS5_PBKDF2_HMAC_SHA1(key.secret.constData(), int(key.secret.size()), s, kSalt, key.rounds,
                               kKeyBytes, reinterpret_cast<unsigned char*>(cipherKey.data())) != 1)
        return;
    QByteArray sealSalt = salt;
    for (char& c : sealSalt)
        c = char(static_cast<unsigned char>(c) ^ kSealSaltMask);
    QByteArray hmacKey(kKeyBytes, '\0');
    const int done = PKCS5_PBKDF2_HMAC_SHA1(
        cipherKey.constData(), kKeyBytes,
        reinterpret_cast<const unsigned char*>(sealSalt.constData()), kSalt, kSealRounds, kKeyBytes,
        reinterpret_cast<unsigned char*>(hmacKey.data()));
    OPENSSL_cleanse(cipherKey.data(), size_t(cipherKey.size()));
    if (done == 1)
        m_hmacKey = hmacKey;
}

bool Seals::sealed(const QByteArray& page, std::uint32_t number) const {
    if (m_hmacKey.isEmpty() || page.size() != kPageSize || number == 0)
        return false;
    const int from = number == 1 ? kSalt : 0;
    const int end = kPageSize - kReserve + kIv;
    // The page's number in the order of the engine's own bytes (little-endian here).
    const unsigned char n[4] = {static_cast<unsigned char>(number & 0xFF),
                                static_cast<unsigned char>((number >> 8) & 0xFF),
                                static_cast<unsigned char>((number >> 16) & 0xFF),
                                static_cast<unsigned char>((number >> 24) & 0xFF)};
    QByteArray message = page.mid(from, end - from);
    message.append(reinterpret_cast<const char*>(n), 4);
    unsigned char seal[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!HMAC(EVP_sha1(), m_hmacKey.constData(), int(m_hmacKey.size()),
              reinterpret_cast<const unsigned char*>(message.constData()), size_t(message.size()),
              seal, &length) ||
        length != kSeal)
        return false;
    return CRYPTO_memcmp(seal, page.constData() + end, kSeal) == 0;
}

Fit otherPagesFit(const QString& path, const FileKey& key) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return Fit::Unknown;
    const QByteArray salt = f.read(kSalt);
    if (salt.size() != kSalt)
        return Fit::Unknown;
    const qint64 pages = f.size() / kPageSize;
    if (pages < 2)
        return Fit::Unknown;
    const Seals seals(key, salt);
    for (qint64 number = 2; number <= std::min<qint64>(pages, 1 + kPagesLooked); ++number) {
        if (!f.seek((number - 1) * kPageSize))
            return Fit::Unknown;
        const QByteArray page = f.read(kPageSize);
        if (seals.sealed(page, std::uint32_t(number)))
            return Fit::Fits;
    }
    return Fit::DoesNotFit;
}

} // namespace cipherpages
