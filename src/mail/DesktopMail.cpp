#include "DesktopMail.h"

#include "MailHeaders.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace mail::desktop {
namespace {

// Thunderbird's -compose splits its argument on commas and quotes values with apostrophes, with
// no escape: a file's address carries those characters percent-encoded, the texts a typographic
// apostrophe.
QString attachmentUrl(const QString& path) {
    QString url = QString::fromLatin1(
        QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded(QUrl::FullyEncoded));
    url.replace(QLatin1Char(','), QLatin1String("%2C"))
        .replace(QLatin1Char('\''), QLatin1String("%27"))
        .replace(QLatin1Char('='), QLatin1String("%3D"));
    return url;
}

QString quoted(QString text) {
    text.replace(QLatin1Char('\''), QChar(0x2019));
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

QStringList addresses(const QList<Mailbox>& boxes) {
    QStringList out;
    for (const Mailbox& b : boxes)
        out << b.address;
    return out;
}

QString xdgFailure(int code) {
    switch (code) {
    case 1:
        return QStringLiteral("errore nei parametri");
    case 2:
        return QStringLiteral("un allegato non esiste");
    case 3:
        return QStringLiteral("manca il programma di posta predefinito");
    case 4:
        return QStringLiteral("il programma di posta non ha aperto il messaggio");
    case 5:
        return QStringLiteral("permesso negato");
    default:
        return QStringLiteral("uscita %1").arg(code);
    }
}

} // namespace

Result<Command> composeCommand(const MailMessage& m) {
    for (const Mailbox& b : m.to + m.cc)
        if (Status s = headers::checkField(QStringLiteral("Indirizzo"), b.address); !s)
            return s.error();
    if (Status s = headers::checkField(QStringLiteral("Oggetto"), m.subject); !s)
        return s.error();
    const QString thunderbird = QStandardPaths::findExecutable(QStringLiteral("thunderbird"));
    if (!thunderbird.isEmpty()) {
        QStringList fields;
        fields << QStringLiteral("to=") + quoted(addresses(m.to).join(QLatin1Char(',')));
        if (!m.cc.isEmpty())
            fields << QStringLiteral("cc=") + quoted(addresses(m.cc).join(QLatin1Char(',')));
        fields << QStringLiteral("subject=") + quoted(m.subject);
        fields << QStringLiteral("body=") + quoted(m.body);
        QStringList urls;
        for (const Attachment& a : m.attachments)
            urls << attachmentUrl(a.path);
        if (!urls.isEmpty())
            fields << QStringLiteral("attachment=") + quoted(urls.join(QLatin1Char(',')));
        return Command{thunderbird, {QStringLiteral("-compose"), fields.join(QLatin1Char(','))}};
    }
    const QString xdg = QStandardPaths::findExecutable(QStringLiteral("xdg-email"));
    if (xdg.isEmpty())
        return makeError(QStringLiteral("Non è installato né Thunderbird né xdg-email: il "
                                        "messaggio non può essere aperto nel programma di posta. "
                                        "Scegliere l'invio diretto in \"Impostazioni invio\"."));
    QStringList args;
    for (const QString& cc : addresses(m.cc))
        args << QStringLiteral("--cc") << cc;
    args << QStringLiteral("--subject") << m.subject << QStringLiteral("--body") << m.body;
    for (const Attachment& a : m.attachments)
        args << QStringLiteral("--attach") << QFileInfo(a.path).absoluteFilePath();
    args << addresses(m.to);
    return Command{xdg, args};
}

Result<QString> compose(const MailMessage& message) {
    auto command = composeCommand(message);
    if (!command)
        return command.error();
    const QString name = QFileInfo(command->program).fileName();
    if (name == QLatin1String("thunderbird")) {
        if (!QProcess::startDetached(command->program, command->arguments))
            return makeError(QStringLiteral("Thunderbird non è partito: il messaggio non è stato "
                                            "aperto."));
        return QStringLiteral("Thunderbird");
    }
    QProcess p;
    p.start(command->program, command->arguments);
    if (!p.waitForStarted(5000))
        return makeError(QStringLiteral("xdg-email non è partito (%1): il messaggio non è stato "
                                        "aperto.")
                             .arg(p.errorString()));
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished(1000);
        return makeError(QStringLiteral("xdg-email non ha risposto in 30 secondi: il messaggio "
                                        "potrebbe non essere stato aperto."));
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return makeError(QStringLiteral("Il programma di posta non ha aperto il messaggio "
                                        "(xdg-email: %1).")
                             .arg(p.exitStatus() == QProcess::NormalExit
                                      ? xdgFailure(p.exitCode())
                                      : QStringLiteral("interrotto")));
    return QStringLiteral("xdg-email");
}

} // namespace mail::desktop
