// Synchronisation with the agency's server on the large file: the first sync of a million lines,
// and then a sync that sends one new order, against psql's \copy of the same rows into the same
// tables. The server is the tests' own PostgreSQL, started here on a free port in a private
// folder and stopped at the end. The server's own work is not in either CPU time: both clocks
// of ours are this process's, those of the floor psql's.

#include "Measure.h"
#include "Ops.h"

#include "data/Database.h"
#include "data/Schema.h"
#include "sync/Pg.h"
#include "sync/ServerSchema.h"
#include "sync/Sync.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

#include <unistd.h>

namespace bench {
namespace {

const QString kScript = QStringLiteral(GESTIONE_BENCH_SOURCE_DIR "/../tests/sync/pg-server.sh");

// The tests' server, for the length of the group.
class Server {
public:
    Server() {
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(QStringLiteral("bash"), {kScript, QStringLiteral("start"), m_state.path()});
        p.waitForFinished(-1);
        QFile env(QDir(m_state.path()).filePath(QStringLiteral("server.env")));
        if (p.exitCode() != 0 || !env.open(QIODevice::ReadOnly))
            return;
        for (const QByteArray& line : env.readAll().split('\n')) {
            const qsizetype eq = line.indexOf('=');
            if (eq > 0)
                m_values.insert(QString::fromUtf8(line.left(eq)),
                                QString::fromUtf8(line.mid(eq + 1)));
        }
    }
    ~Server() {
        QProcess::execute(QStringLiteral("bash"),
                          {kScript, QStringLiteral("stop"), m_state.path()});
    }
    bool up() const { return !m_values.isEmpty(); }
    pg::Settings admin(const QString& database) const {
        pg::Settings s;
        s.host = m_values.value(QStringLiteral("GESTIONE_PG_HOST"));
        s.port = m_values.value(QStringLiteral("GESTIONE_PG_PORT")).toInt();
        s.database = database;
        s.user = m_values.value(QStringLiteral("GESTIONE_PG_ADMIN"));
        s.password = m_values.value(QStringLiteral("GESTIONE_PG_ADMIN_PASSWORD"));
        s.caFile = m_values.value(QStringLiteral("GESTIONE_PG_CA"));
        return s;
    }

private:
    QTemporaryDir m_state;
    QMap<QString, QString> m_values;
};

std::unique_ptr<pg::Connection> connect(const pg::Settings& s) {
    auto c = pg::Connection::open(s);
    if (!c) {
        std::fprintf(stderr, "sync: %s\n", qPrintable(c.error().text));
        return nullptr;
    }
    return std::move(*c);
}

// psql with the given commands, as the administrator; its time is its own.
bool psql(const pg::Settings& s, const QStringList& commands) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), s.password);
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList args{QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
                     QStringLiteral("ON_ERROR_STOP=1"),
                     QStringLiteral("host=%1 port=%2 dbname=%3 user=%4 sslmode=verify-full "
                                    "sslrootcert=%5")
                         .arg(s.host)
                         .arg(s.port)
                         .arg(s.database, s.user, s.caFile)};
    for (const QString& c : commands)
        args << QStringLiteral("-c") << c;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(QStringLiteral("psql"), args);
    return p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// One sync as the program runs it: the file and the server opened, both directions, closed.
bool syncOnce(const QString& path, const pg::Settings& login, agencysync::Report* report) {
    Database::Options opts;
    opts.exclusive = false;
    auto db = Database::open(path, schema::password(), opts);
    if (!db) {
        std::fprintf(stderr, "sync: %s\n", qPrintable(db.error().text));
        return false;
    }
    auto c = pg::Connection::open(login);
    if (!c) {
        std::fprintf(stderr, "sync: %s\n", qPrintable(c.error().text));
        return false;
    }
    auto r = agencysync::run(**db, **c);
    if (!r) {
        std::fprintf(stderr, "sync: %s\n", qPrintable(r.error().text));
        return false;
    }
    if (report)
        *report = *r;
    return true;
}

} // namespace

bool syncBench(const Options& o, const Emit& emit) {
    Server server;
    if (!server.up()) {
        std::fprintf(stderr, "sync: the test server did not start\n");
        return false;
    }
    const QString dbName = QStringLiteral("banco");
    {
        auto c = connect(server.admin(QStringLiteral("postgres")));
        if (!c || !c->command("CREATE DATABASE banco"))
            return false;
    }
    const pg::Settings admin = server.admin(dbName);
    auto adminConn = connect(admin);
    if (!adminConn || !serverschema::migrate(*adminConn))
        return false;
    if (Status s = serverschema::createAgent(*adminConn, QStringLiteral("agente"),
                                             QStringLiteral("agente-banco"));
        !s) {
        std::fprintf(stderr, "sync: %s\n", qPrintable(s.error().text));
        return false;
    }
    pg::Settings login = admin;
    login.user = QStringLiteral("agente");
    login.password = QStringLiteral("agente-banco");

    // The sync writes its state in the file: a copy of the large one.
    QTemporaryDir work(QDir(o.workDir.isEmpty() ? QDir::tempPath() : o.workDir)
                           .filePath(QStringLiteral("sync-XXXXXX")));
    const QString path = QDir(work.path()).filePath(QLatin1String(schema::kFileName));
    if (!QFile::copy(QDir(o.dir).filePath(QLatin1String(schema::kFileName)), path)) {
        std::fprintf(stderr, "sync: the large file was not copied\n");
        return false;
    }
    // The program brings the file's own tables up to date at every opening, before any sync.
    {
        Database::Options opts;
        opts.exclusive = false;
        auto db = Database::open(path, schema::password(), opts);
        if (!db || !schema::ensureIndexes(**db)) {
            std::fprintf(stderr, "sync: the large file's tables were not brought up to date\n");
            return false;
        }
    }
    const QString heads = QDir(work.path()).filePath(QStringLiteral("ordine.copy"));
    const QString lines = QDir(work.path()).filePath(QStringLiteral("ordine_riga.copy"));
    auto emptyServer = [&] {
        return adminConn->command("TRUNCATE ordine, ordine_riga, ordine_copia").ok();
    };
    auto forget = [&] {
        Database::Options opts;
        opts.exclusive = false;
        auto db = Database::open(path, schema::password(), opts);
        return db && (*db)->exec("DELETE FROM SYNC_STATO; DELETE FROM SYNC_ORDINE;").ok();
    };

    // The first sync of the whole file, a few times: each run from an empty server and a file
    // that never synced. The floor copies the same rows with psql into the emptied tables.
    const int firstRuns = std::max(1, std::min(o.runs, 3));
    Sample first;
    agencysync::Report sent;
    bool ok = true;
    bool saved = false;
    for (int i = 0; i < firstRuns && ok; ++i) {
        ok = forget() && emptyServer();
        const Timing ours = ok ? timed([&] { ok = syncOnce(path, login, &sent); }) : Timing{};
        if (ok && !saved) {
            ok = psql(admin, {QStringLiteral("\\copy ordine TO '%1'").arg(heads),
                              QStringLiteral("\\copy ordine_riga TO '%1'").arg(lines)});
            saved = ok;
        }
        ok = ok && emptyServer();
        const Timing base = ok ? timedChildren([&] {
            ok = psql(admin, {QStringLiteral("\\copy ordine FROM '%1'").arg(heads),
                              QStringLiteral("\\copy ordine_riga FROM '%1'").arg(lines)});
        })
                               : Timing{};
        first.add(ours, base);
    }
    first.peak = rssPeak();
    if (!ok) {
        std::fprintf(stderr, "sync: the first sync failed\n");
        return false;
    }
    auto count = [&](const char* sql) {
        auto r = adminConn->query(sql, pg::Shape::one("i"));
        return r && r->count() ? r->int64(0, 0) : std::int64_t(-1);
    };
    const std::int64_t serverLines = count("SELECT count(*) FROM ordine_riga");
    emit(withinRow(
        QStringLiteral("Sync: first sync of the 1M file (bulk copy to the server)"), first, 60000,
        QStringLiteral("%1 orders, %2 lines; floor: psql \\copy of the same rows into the "
                       "emptied tables; the server's own time in neither CPU time")
            .arg(sent.ordersSent)
            .arg(serverLines)));

    // The server as our last sync left it, then one new order of 20 lines each run.
    ok = forget() && emptyServer() && syncOnce(path, login, nullptr);
    // What a server does of its own accord after a bulk load (the vacuum and the statistics of
    // the fresh million rows, the writing out of their pages) is over long before an agent's
    // next sync: it is done here before the timed runs, or it would weigh on them through the
    // disk they share with the file. The worst run goes in the notes all the same.
    ok = ok && adminConn->command("VACUUM ANALYZE ordine, ordine_riga").ok() &&
         adminConn->command("CHECKPOINT").ok();
    ::sync();
    int next = 900000;
    const QString one = QDir(work.path()).filePath(QStringLiteral("uno.copy"));
    const QString oneLines = QDir(work.path()).filePath(QStringLiteral("uno_righe.copy"));
    auto addOrder = [&] {
        Database::Options opts;
        opts.exclusive = false;
        auto db = Database::open(path, schema::password(), opts);
        if (!db)
            return false;
        ++next;
        return (*db)
            ->write([&]() -> Status {
                auto st = (*db)->prepare(
                    "INSERT INTO ORDINE (ANNO, NR, ID_CL, DATAO, ARTICOLO, CODICE, QVENDITA,"
                    " PREZZO) SELECT '2026', ?1, ID_CL, DATAO, ARTICOLO, CODICE, QVENDITA, PREZZO"
                    " FROM ORDINE WHERE ID <= 20;");
                if (!st)
                    return st.error();
                return st->bind(1, QString::number(next)).run();
            })
            .ok();
    };
    Sample single;
    for (int i = 0; i < o.warmups + o.runs && ok; ++i) {
        agencysync::Report r;
        ok = addOrder();
        const Timing ours = ok ? timed([&] { ok = syncOnce(path, login, &r); }) : Timing{};
        ok = ok && r.ordersSent == 1;
        // The same order's rows, out and in again by psql.
        const QByteArray nr = QByteArray::number(next);
        ok = ok && psql(admin, {QStringLiteral("\\copy (SELECT * FROM ordine WHERE nr = '%1') "
                                               "TO '%2'")
                                    .arg(next)
                                    .arg(one),
                                QStringLiteral("\\copy (SELECT * FROM ordine_riga WHERE nr = "
                                               "'%1') TO '%2'")
                                    .arg(next)
                                    .arg(oneLines)});
        ok = ok &&
             adminConn->command("DELETE FROM ordine WHERE nr = $1", pg::Params().addBytes(nr)).ok();
        const Timing base = ok ? timedChildren([&] {
            ok = psql(admin, {QStringLiteral("\\copy ordine FROM '%1'").arg(one),
                              QStringLiteral("\\copy ordine_riga FROM '%1'").arg(oneLines)});
        })
                               : Timing{};
        if (i >= o.warmups)
            single.add(ours, base);
    }
    single.peak = rssPeak();
    if (!ok) {
        std::fprintf(stderr, "sync: the sync of one order failed\n");
        return false;
    }
    emit(withinRow(
        QStringLiteral("Sync: one new order of 20 lines after the 1M file"), single, 300,
        QStringLiteral("file and server opened, both directions; floor: psql \\copy of the "
                       "same rows; the slowest run %1")
            .arg(fmtMs(*std::max_element(single.ours.begin(), single.ours.end())))));
    return true;
}

} // namespace bench
