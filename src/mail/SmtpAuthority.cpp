#include "SmtpAuthority.h"

#include "CurlHandles.h"

#include <QFile>
#include <QStringList>

#include <algorithm>

namespace mail::authority {

Result<QByteArray> pem(const QString& path) {
    QFile file(path);
    const auto unreadable = [&](const QString& why) {
        return makeError(QStringLiteral("Il certificato dell'autorità \"%1\" indicato in "
                                        "\"Impostazioni invio\" non si può leggere (%2): "
                                        "messaggio non inviato.")
                             .arg(path, why));
    };
    // A certificate is a few kilobytes; a bundle of authorities well under a megabyte.
    if (!file.open(QIODevice::ReadOnly))
        return unreadable(file.errorString());
    const QByteArray bytes = file.read(4 << 20);
    if (file.error() != QFileDevice::NoError)
        return unreadable(file.errorString());
    if (bytes.contains("-----BEGIN CERTIFICATE-----"))
        return bytes;
    // DER: one ASN.1 sequence.
    if (bytes.size() > 64 && quint8(bytes[0]) == 0x30) {
        QByteArray pem = "-----BEGIN CERTIFICATE-----\n";
        const QByteArray b64 = bytes.toBase64();
        for (qsizetype i = 0; i < b64.size(); i += 64)
            pem += b64.mid(i, 64) + '\n';
        return pem + "-----END CERTIFICATE-----\n";
    }
    return makeError(QStringLiteral("Il file \"%1\" indicato in \"Impostazioni invio\" come "
                                    "certificato dell'autorità non contiene un certificato: "
                                    "messaggio non inviato.")
                         .arg(path));
}

QString issuerOf(const MailServer& server, const QByteArray& url) {
    curl::Easy easy(curl_easy_init());
    if (!easy)
        return {};
    CURL* c = easy.get();
    curl_easy_setopt(c, CURLOPT_URL, url.constData());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(c, CURLOPT_CERTINFO, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECT_ONLY, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, long(std::min(server.connectTimeoutMs, 15000)));
    curl_easy_setopt(c, CURLOPT_TIMEOUT, 20L);
    if (curl_easy_perform(c) != CURLE_OK)
        return {};
    curl_certinfo* info = nullptr;
    if (curl_easy_getinfo(c, CURLINFO_CERTINFO, &info) != CURLE_OK || !info ||
        info->num_of_certs < 1)
        return {};
    for (curl_slist* item = info->certinfo[0]; item; item = item->next) {
        const QString field = QString::fromUtf8(item->data);
        if (!field.startsWith(QLatin1String("Issuer:")))
            continue;
        const QString issuer = field.mid(7).trimmed();
        // The common name when there is one ("CN = Autorità dell'ufficio"), else the whole.
        for (const QString& part : issuer.split(QLatin1Char(','))) {
            const QString p = part.trimmed();
            if (p.startsWith(QLatin1String("CN")) && p.contains(QLatin1Char('=')))
                return p.mid(p.indexOf(QLatin1Char('=')) + 1).trimmed();
        }
        return issuer;
    }
    return {};
}

} // namespace mail::authority
