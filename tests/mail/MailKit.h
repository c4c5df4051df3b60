#pragma once

#include "mail/MailServer.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

// The test SMTP server the suite started (tests/mail/smtp_server.py): its ports, its test CA
// and the folder of the messages it accepted.
struct SmtpFixture {
    QJsonObject ports;

    static SmtpFixture load() {
        SmtpFixture f;
        QFile file(qEnvironmentVariable("SMTP_FIXTURE_DIR") + QStringLiteral("/ports.json"));
        if (file.open(QIODevice::ReadOnly))
            f.ports = QJsonDocument::fromJson(file.readAll()).object();
        return f;
    }
    bool ok() const { return ports.contains(QStringLiteral("starttls")); }
    int port(const char* kind) const { return ports.value(QLatin1String(kind)).toInt(); }
    QString ca() const { return ports.value(QStringLiteral("ca")).toString(); }
    QString messages() const { return ports.value(QStringLiteral("messages")).toString(); }

    // The account of the test user on the server's port of `kind` ("starttls", "tls", "plain").
    mail::MailServer server(const char* kind) const {
        mail::MailServer s;
        s.host = QStringLiteral("127.0.0.1");
        s.port = port(kind);
        s.security = qstrcmp(kind, "tls") == 0        ? mail::Security::SslTls
                     : qstrcmp(kind, "starttls") == 0 ? mail::Security::StartTls
                                                      : mail::Security::None;
        s.plainAccepted = s.security == mail::Security::None;
        if (s.security != mail::Security::None) {
            s.user = QStringLiteral("agente");
            s.password = QStringLiteral("Segreta-123");
        }
        s.caFile = ca();
        s.connectTimeoutMs = 5000;
        s.responseTimeoutS = 10;
        s.totalTimeoutS = 30;
        return s;
    }

    // What the server recorded of the message with this identifier (angle brackets or not).
    QJsonObject recorded(QString messageId) const {
        messageId.remove(QLatin1Char('<')).remove(QLatin1Char('>'));
        QFile file(messages() + QLatin1Char('/') + messageId + QStringLiteral(".json"));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QJsonDocument::fromJson(file.readAll()).object();
    }
    // True when any recorded message has `token` in its subject.
    bool anyWithSubject(const QString& token) const {
        const QDir dir(messages());
        for (const QString& name : dir.entryList({QStringLiteral("*.json")}, QDir::Files)) {
            QFile file(dir.filePath(name));
            if (file.open(QIODevice::ReadOnly) && QJsonDocument::fromJson(file.readAll())
                                                      .object()
                                                      .value(QStringLiteral("subject"))
                                                      .toString()
                                                      .contains(token))
                return true;
        }
        return false;
    }
};
