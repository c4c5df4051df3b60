#pragma once

#include "data/CipherPages.h"

#include <QByteArray>
#include <QFile>
#include <QList>

#include <openssl/evp.h>

// What a thief with a key reads from a file's raw pages, whatever the engine would show: every
// page that carries the key's seal, decrypted, free space included.
namespace cipherkit {

inline QByteArray decryptPage(const QByteArray& page, std::uint32_t number,
                              const QByteArray& cipherKey) {
    constexpr int kPage = cipherpages::kPageSize;
    const int from = number == 1 ? 16 : 0;
    const int end = kPage - 48;
    QByteArray out(end - from + 32, '\0');
    EVP_CIPHER_CTX* c = EVP_CIPHER_CTX_new();
    int n = 0;
    int m = 0;
    EVP_DecryptInit_ex(c, EVP_aes_256_cbc(), nullptr,
                       reinterpret_cast<const unsigned char*>(cipherKey.constData()),
                       reinterpret_cast<const unsigned char*>(page.constData() + end));
    EVP_CIPHER_CTX_set_padding(c, 0);
    EVP_DecryptUpdate(c, reinterpret_cast<unsigned char*>(out.data()), &n,
                      reinterpret_cast<const unsigned char*>(page.constData() + from), end - from);
    EVP_DecryptFinal_ex(c, reinterpret_cast<unsigned char*>(out.data()) + n, &m);
    EVP_CIPHER_CTX_free(c);
    out.truncate(n + m);
    return out;
}

// The pages of the file at `path` under `key` (with the salt of the file's own first bytes),
// decrypted and joined; empty when none carries the key's seal.
inline QByteArray plainPages(const QString& path, const FileKey& key) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = f.readAll();
    const QByteArray salt = all.left(16);
    const cipherpages::Seals seals(key, salt);
    QByteArray cipherKey(32, '\0');
    PKCS5_PBKDF2_HMAC_SHA1(key.secret.constData(), int(key.secret.size()),
                           reinterpret_cast<const unsigned char*>(salt.constData()), 16, key.rounds,
                           32, reinterpret_cast<unsigned char*>(cipherKey.data()));
    QByteArray out;
    for (qsizetype at = 0; at + cipherpages::kPageSize <= all.size();
         at += cipherpages::kPageSize) {
        const QByteArray page = all.mid(at, cipherpages::kPageSize);
        const auto number = std::uint32_t(at / cipherpages::kPageSize + 1);
        if (seals.sealed(page, number))
            out += decryptPage(page, number, cipherKey);
    }
    return out;
}

} // namespace cipherkit
