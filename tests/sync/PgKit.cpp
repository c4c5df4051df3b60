#include "PgKit.h"

#include <QFile>
#include <QProcess>
#include <QTest>

#include <atomic>

#include <unistd.h>

namespace pgkit {

const QMap<QString, QString>& server() {
    static const QMap<QString, QString> values = [] {
        QMap<QString, QString> v;
        QFile f(qEnvironmentVariable("GESTIONE_PG_STATE"));
        if (!f.open(QIODevice::ReadOnly))
            qFatal("the PostgreSQL fixture did not run: no %s", qPrintable(f.fileName()));
        for (const QByteArray& line : f.readAll().split('\n')) {
            const qsizetype eq = line.indexOf('=');
            if (eq > 0)
                v.insert(QString::fromUtf8(line.left(eq)), QString::fromUtf8(line.mid(eq + 1)));
        }
        return v;
    }();
    return values;
}

pg::Settings admin(const QString& database) {
    pg::Settings s;
    s.host = server().value(QStringLiteral("GESTIONE_PG_HOST"));
    s.port = server().value(QStringLiteral("GESTIONE_PG_PORT")).toInt();
    s.database = database;
    s.user = server().value(QStringLiteral("GESTIONE_PG_ADMIN"));
    s.password = server().value(QStringLiteral("GESTIONE_PG_ADMIN_PASSWORD"));
    s.caFile = server().value(QStringLiteral("GESTIONE_PG_CA"));
    s.connectTimeoutSeconds = 5;
    return s;
}

std::unique_ptr<pg::Connection> connect(const pg::Settings& s) {
    auto c = pg::Connection::open(s);
    if (!c)
        qFatal("cannot reach the test server: %s", qPrintable(c.error().text));
    return std::move(*c);
}

QString freshDatabase() {
    static std::atomic<int> n{0};
    const QString name = QStringLiteral("t%1_%2").arg(::getpid()).arg(++n);
    auto c = connect(admin());
    // The name is made here of digits and letters; the server takes no value in CREATE DATABASE.
    const QByteArray sql = "CREATE DATABASE " + name.toLatin1();
    if (Status s = c->command(sql.constData()); !s)
        qFatal("%s", qPrintable(s.error().text));
    return name;
}

pg::Settings agent(const QString& database, const QString& name) {
    pg::Settings s = admin(database);
    s.user = name.toLower();
    s.password = name + name;
    return s;
}

QStringList rows(pg::Connection& c, const char* sql, const pg::Params& params) {
    QStringList out;
    auto r = c.query(sql, pg::Shape::any(), params);
    if (!r)
        qFatal("%s", qPrintable(r.error().text));
    for (int i = 0; i < r->count(); ++i) {
        QStringList fields;
        for (int col = 0; col < r->columns(); ++col) {
            fields << (r->isNull(i, col) ? QStringLiteral("∅") : r->text(i, col));
        }
        out << fields.join(QLatin1Char('|'));
    }
    return out;
}

Run sede(const QStringList& args, const QByteArray& input) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"),
               server().value(QStringLiteral("GESTIONE_PG_ADMIN_PASSWORD")));
    p.setProcessEnvironment(env);
    const auto& v = server();
    p.start(QStringLiteral(GESTIONE_SEDE),
            QStringList{QStringLiteral("--server"), v.value(QStringLiteral("GESTIONE_PG_HOST")),
                        QStringLiteral("--porta"), v.value(QStringLiteral("GESTIONE_PG_PORT")),
                        QStringLiteral("--utente"), v.value(QStringLiteral("GESTIONE_PG_ADMIN")),
                        QStringLiteral("--ca"), v.value(QStringLiteral("GESTIONE_PG_CA"))} +
                args);
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(60000))
        qFatal("gestione-sede did not end");
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()).trimmed(),
            QString::fromUtf8(p.readAllStandardError()).trimmed()};
}

namespace {
void control(const char* action) {
    const auto& v = server();
    QStringList args{QStringLiteral("-D"),
                     v.value(QStringLiteral("GESTIONE_PG_ROOT")) + QStringLiteral("/data"),
                     QStringLiteral("-w")};
    if (QByteArray(action) == "stop")
        args << QStringLiteral("-m") << QStringLiteral("immediate") << QStringLiteral("stop");
    else
        args << QStringLiteral("-o")
             << QStringLiteral("-p ") + v.value(QStringLiteral("GESTIONE_PG_PORT"))
             << QStringLiteral("-l")
             << v.value(QStringLiteral("GESTIONE_PG_ROOT")) + QStringLiteral("/log/server.log")
             << QStringLiteral("start");
    QProcess p;
    const QString ctl = v.value(QStringLiteral("GESTIONE_PG_CTL"));
    if (::getuid() == 0)
        p.start(QStringLiteral("runuser"),
                QStringList{QStringLiteral("-u"), v.value(QStringLiteral("GESTIONE_PG_OSUSER")),
                            QStringLiteral("--"), ctl} +
                    args);
    else
        p.start(ctl, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        qFatal("pg_ctl %s failed: %s", action, p.readAllStandardError().constData());
}
} // namespace

void stopServer() {
    control("stop");
}
void startServer() {
    control("start");
}

} // namespace pgkit
