#pragma once

#include "mail/MailServer.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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
    // An authority that signed nothing the server shows.
    QString otherCa() const { return ports.value(QStringLiteral("other_ca")).toString(); }
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
        s.dataTimeoutS = 10;
        s.finalReplyTimeoutS = 20;
        return s;
    }

    // A server of its own that behaves as `script` says (tests/mail/smtp_server.py, Scripted):
    // its port, 0 when the control port did not answer.
    int scripted(const QByteArray& script) const {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(quint16(port("script")));
        QByteArray answer;
        if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
            const QByteArray line = script + '\n';
            if (::send(fd, line.constData(), size_t(line.size()), 0) == line.size()) {
                char buffer[32];
                ssize_t n;
                while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
                    answer.append(buffer, n);
            }
        }
        ::close(fd);
        return answer.trimmed().toInt();
    }
    // The account on a scripted server: no protection, accepted.
    mail::MailServer scriptedServer(const QByteArray& script) const {
        mail::MailServer s = server("plain");
        s.port = scripted(script);
        return s;
    }
    // How many messages with `token` in their subject the server took, each arrival counted.
    int arrivals(const QString& token) const {
        QFile file(messages() + QStringLiteral("/arrivals.jsonl"));
        if (!file.open(QIODevice::ReadOnly))
            return 0;
        int n = 0;
        while (!file.atEnd())
            if (QJsonDocument::fromJson(file.readLine())
                    .object()
                    .value(QStringLiteral("subject"))
                    .toString()
                    .contains(token))
                ++n;
        return n;
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
