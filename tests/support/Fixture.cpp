#include "Fixture.h"

#include "app/Gestione.h"
#include "data/Schema.h"
#include "tools/makedb/MakeDb.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <map>

namespace {

// Making a file costs a key derivation and the schema; each kind is made once a process and
// copied for every case.
QString templateFile(TestDir::Content content) {
    static QTemporaryDir dir;
    static std::map<int, QString> made;
    auto it = made.find(int(content));
    if (it != made.end())
        return it->second;
    const QString path =
        dir.filePath(content == TestDir::Content::Demo ? "demo.mdb" : "supplied.mdb");
    Status s = makedb::makeSupplied(path, kFixtureYear, makedb::Agent{});
    if (s && content == TestDir::Content::Demo) {
        auto db = Database::open(path, schema::password());
        s = db ? makedb::fillDemo(**db, kFixtureYear) : Status(db.error());
    }
    if (!s)
        qFatal("fixture database: %s", qPrintable(s.error().text));
    made[int(content)] = path;
    return path;
}

// The user's home for the whole test process: the archive of order sheets (in its documents
// folder) is written there, never in the home of whoever runs the tests.
void useTestHome() {
    static QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral(".config"))));
}

} // namespace

TestDir::TestDir(Content content) {
    if (content != Content::None && !QFile::copy(templateFile(content), dbPath()))
        qFatal("cannot copy the fixture database");
}

QString TestDir::dbPath() const {
    return m_dir.filePath(QLatin1String(schema::kFileName));
}

std::unique_ptr<Database> TestDir::open() const {
    Database::Options o;
    o.exclusive = false;
    auto db = Database::open(dbPath(), schema::password(), o);
    if (!db)
        qFatal("cannot open the test database: %s", qPrintable(db.error().text));
    return std::move(*db);
}

App::App(TestDir::Content content, bool show) : App(content, nullptr, show) {}

App::App(TestDir::Content content, const std::function<void(App&)>& beforeStart, bool show)
    : dir(content), ctx(dialogs, clock, opener, dir.path()) {
    useTestHome();
    // Each window starts as a new user's would: no zoom or maximised window kept from a test
    // before.
    QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Gestione Ordini"),
              QStringLiteral("Gestione Ordini"))
        .remove(QStringLiteral("vista"));
    ctx.secrets.useKeyring(keyring);
    if (beforeStart)
        beforeStart(*this);
    window = std::make_unique<Gestione>(ctx);
    started = window->Form_Load();
    if (started && show) {
        window->show();
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window.get()))
            qWarning("window not active");
    }
}

App::~App() {
    window.reset();
}

QList<QStringList> rows(Database& db, const char* sql) {
    QList<QStringList> out;
    auto st = db.prepare(sql);
    if (!st)
        qFatal("query %s: %s", sql, qPrintable(st.error().text));
    while (st->next()) {
        QStringList row;
        for (int i = 0; i < st->columnCount(); ++i)
            row << st->text(i);
        out << row;
    }
    if (!st->status())
        qFatal("query %s: %s", sql, qPrintable(st->status().error().text));
    return out;
}

QString sourceDir() {
    const QString set = qEnvironmentVariable("GESTIONE_SOURCE_DIR");
    return set.isEmpty() ? QStringLiteral(GESTIONE_BUILT_FROM) : set;
}

QString value(Database& db, const char* sql) {
    const auto r = rows(db, sql);
    return r.isEmpty() || r.first().isEmpty() ? QString() : r.first().first();
}

void exec(Database& db, const char* sql) {
    if (Status s = db.exec(sql); !s)
        qFatal("exec %s: %s", sql, qPrintable(s.error().text));
}
