// The file in trouble while the window runs: another program holds the write lock, the file
// turns read-only, it is written over with garbage or replaced by another file, or it goes.
// Every write action of every panel then ends with a box naming the cause, shows nothing as
// done, leaves the window and every table as they were, and succeeds once the trouble is gone.

#include "Snapshots.h"
#include "orders/OrderKit.h"

#include "data/Schema.h"
#include "masterdata/AgentPanel.h"
#include "masterdata/ArticlePanel.h"
#include "masterdata/CustomerPanel.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>

#include <cstdio>
#include <functional>
#include <sys/stat.h>

using namespace kit;

namespace {

// A lock held this long is given up on quickly: the cases do not wait the program's two seconds.
constexpr int kTestBusyMs = 50;

const QString kInserimento = QStringLiteral("Inserimento effettuato");
const QString kAggiornamento = QStringLiteral("Aggiornamento effettuato");

// A write action of a panel: how to get the panel ready with its fields filled, the press, and
// the box that tells it was done.
struct WriteAction {
    QString name;
    std::function<void(App&)> prepare;
    std::function<void(App&)> press;
    QString done;
};

int rowWith(ReportView* list, int column, const QString& text) {
    const int r = ui::rowOf(list, column, text);
    if (r < 0)
        qFatal("no row with %s", qPrintable(text));
    return r;
}

// Customers 10001, 10008 and 20000 (no orders); orders 5 (two lines) and 3 of 2026.
void seedAll(App& app) {
    seed(app.db());
    store(app.db(), "2026", "5", "10001", "A");
    store(app.db(), "2026", "5", "10001", "B");
    store(app.db(), "2026", "3", "10008", "C");
}

void chooseOrderFive(App& app, const char* command) {
    OrderPanel* p = panel(app);
    if (!openYear(app, command, QStringLiteral("2026")))
        qFatal("year 2026 not offered");
    ui::clickRow(p->ListView5, rowWith(p->ListView5, 3, QStringLiteral("5")));
}

void loadFirstLine(App& app, bool deleting) {
    OrderPanel* p = panel(app);
    chooseOrderFive(app, "Aordine");
    ui::click(p->Cmd4); // "Richiama Articoli"
    if (deleting)
        ui::click(p->C1);
    ui::clickRow(p->ListView5, 0);
}

QList<WriteAction> writeActions() {
    auto customers = [](App& a) { return a.window->Frame1; };
    auto articles = [](App& a) { return a.window->Frame2; };
    auto pressCustomer = [=](App& a) { ui::click(customers(a)->Cmd1); };
    auto pressArticle = [=](App& a) { ui::click(articles(a)->Cmd2); };
    auto pressOrder = [](App& a) { ui::click(panel(a)->Cmd4); };
    return {
        {QStringLiteral("customer insert"),
         [=](App& a) {
             ui::menu(a.window.get(), "CNuovo");
             CustomerPanel* c = customers(a);
             ui::type(c->T1, QStringLiteral("40000"));
             ui::type(c->T2, QStringLiteral("nuovo cliente"));
             ui::type(c->Cbo8, QStringLiteral("lodi"));
             ui::type(c->Cbo1, QStringLiteral("lo"));
         },
         pressCustomer, kInserimento},
        {QStringLiteral("customer modify"),
         [=](App& a) {
             ui::menu(a.window.get(), "CAggiorna");
             CustomerPanel* c = customers(a);
             ui::clickRow(c->ListView2, rowWith(c->ListView2, 1, QStringLiteral("20000")));
             ui::retype(c->T2, QStringLiteral("BAR SPORT DI LODI"));
         },
         pressCustomer, kAggiornamento},
        {QStringLiteral("customer delete"),
         [=](App& a) {
             ui::menu(a.window.get(), "CElimina");
             CustomerPanel* c = customers(a);
             ui::clickRow(c->ListView2, rowWith(c->ListView2, 1, QStringLiteral("20000")));
         },
         pressCustomer, kEliminato},
        {QStringLiteral("article insert"),
         [=](App& a) {
             ui::menu(a.window.get(), "ANuovo");
             ArticlePanel* r = articles(a);
             ui::type(r->T3, QStringLiteral("n-01"));
             ui::type(r->Cbo2, QStringLiteral("farina 00"));
             ui::type(r->T5, QStringLiteral("sacco"));
             ui::type(r->T6, QStringLiteral("25"));
         },
         pressArticle, kInserimento},
        {QStringLiteral("article update"),
         [=](App& a) {
             ui::menu(a.window.get(), "AAggiorna");
             ArticlePanel* r = articles(a);
             ui::clickRow(r->ListView3, rowWith(r->ListView3, 1, QStringLiteral("O-EVO5")));
             ui::retype(r->T5, QStringLiteral("LATTA 3 LT"));
         },
         pressArticle, kAggiornamento},
        {QStringLiteral("article delete"),
         [=](App& a) {
             ui::menu(a.window.get(), "AElimina");
             ArticlePanel* r = articles(a);
             ui::clickRow(r->ListView3, rowWith(r->ListView3, 1, QStringLiteral("O-EVO1")));
         },
         pressArticle, kEliminato},
        {QStringLiteral("agent save"),
         [](App& a) {
             a.dialogs.answerInput(QStringLiteral("7391"));
             ui::menu(a.window.get(), "MUtente");
             ui::retype(a.window->Frame8->Text3, QStringLiteral("VIA ROMA 1"));
         },
         [](App& a) { ui::click(a.window->Frame8->Cmd6); }, kInserimento},
        {QStringLiteral("order line add"),
         [](App& a) {
             OrderPanel* p = panel(a);
             if (!openYear(a, "Nordine", QStringLiteral("2026")))
                 qFatal("year 2026 not offered");
             chooseNth(p->Cbo5, QStringLiteral("BAR SPORT"), 0);
             header(p, QStringLiteral("DEPOSITO"), QStringLiteral("COMO"), QStringLiteral("CO"));
             ui::choose(p->Cbo6, QStringLiteral("GRANA PADANO DOP"));
             quantities(p, QStringLiteral("3"), QString(), QStringLiteral("12,5"));
         },
         pressOrder, kInserito},
        {QStringLiteral("order line modify"),
         [](App& a) {
             loadFirstLine(a, false);
             ui::retype(panel(a)->T11, QStringLiteral("7"));
         },
         pressOrder, kAggiornato},
        {QStringLiteral("order line delete"), [](App& a) { loadFirstLine(a, true); }, pressOrder,
         kEliminato},
        {QStringLiteral("whole order delete"), [](App& a) { chooseOrderFive(a, "Eordine"); },
         pressOrder, kEliminato},
    };
}

// What happens to the file, undone by end().
class Trouble {
public:
    enum Kind {
        LockedByConnection,
        LockedByProcess,
        ReadOnly,
        GarbageInPlace,
        GarbageAfterHeader,
        Replaced,
        Gone
    };

    explicit Trouble(Kind kind) : m_kind(kind) {}

    // The words of the box that names the cause.
    QString cause() const {
        switch (m_kind) {
        case LockedByConnection:
        case LockedByProcess:
            return QStringLiteral("il file del database è bloccato da un altro programma");
        case ReadOnly:
            return QStringLiteral("il file del database è di sola lettura");
        case GarbageInPlace:
            // Found at the write, or already at the read before it.
            return QStringLiteral("sovrascritto da un altro programma");
        case GarbageAfterHeader:
            return QStringLiteral("il file del database è danneggiato o è stato sovrascritto");
        case Replaced:
            return QStringLiteral("il file del database è stato sostituito");
        case Gone:
            return QStringLiteral("il file del database non c'è più");
        }
        return QString();
    }

    void begin(App& app) {
        const QString path = app.dir.dbPath();
        switch (m_kind) {
        case LockedByConnection:
            app.db().setBusyTimeout(kTestBusyMs);
            m_holder = app.dir.open();
            exec(*m_holder, "BEGIN EXCLUSIVE;");
            break;
        case LockedByProcess:
            app.db().setBusyTimeout(kTestBusyMs);
            m_process.setProgram(QCoreApplication::applicationFilePath());
            m_process.setArguments({QStringLiteral("--hold-lock"), path});
            m_process.start();
            if (!m_process.waitForStarted() || !m_process.waitForReadyRead(30000) ||
                !m_process.readLine().startsWith("locked"))
                qFatal("the lock holder did not start: %s",
                       m_process.readAllStandardError().constData());
            break;
        case ReadOnly:
            chmod(path, 0444);
            break;
        case GarbageInPlace: {
            QFile f(path);
            if (!f.open(QIODevice::ReadWrite))
                qFatal("cannot open the file");
            m_saved = f.readAll();
            f.seek(0);
            f.write(garbage(m_saved.size()));
            break;
        }
        case GarbageAfterHeader: {
            // The first bytes stay: only the pages tell.
            QFile f(path);
            if (!f.open(QIODevice::ReadWrite))
                qFatal("cannot open the file");
            m_saved = f.readAll();
            f.seek(16);
            f.write(garbage(m_saved.size() - 16));
            break;
        }
        case Replaced: {
            rename(path, path + QStringLiteral(".vero"));
            QFile f(path + QStringLiteral(".nuovo"));
            if (!f.open(QIODevice::WriteOnly))
                qFatal("cannot write the garbage file");
            f.write(garbage(QFile(path + QStringLiteral(".vero")).size()));
            f.close();
            rename(path + QStringLiteral(".nuovo"), path);
            break;
        }
        case Gone:
            rename(path, path + QStringLiteral(".via"));
            break;
        }
    }

    void end(App& app) {
        const QString path = app.dir.dbPath();
        switch (m_kind) {
        case LockedByConnection:
            exec(*m_holder, "COMMIT;");
            m_holder.reset();
            break;
        case LockedByProcess:
            m_process.closeWriteChannel();
            if (!m_process.waitForFinished() || m_process.exitCode() != 0)
                qFatal("the lock holder failed");
            break;
        case ReadOnly:
            chmod(path, 0644);
            break;
        case GarbageInPlace:
        case GarbageAfterHeader: {
            QFile f(path);
            if (!f.open(QIODevice::ReadWrite))
                qFatal("cannot open the file");
            f.write(m_saved);
            break;
        }
        case Replaced:
            QFile::remove(path);
            rename(path + QStringLiteral(".vero"), path);
            break;
        case Gone:
            rename(path + QStringLiteral(".via"), path);
            break;
        }
    }

private:
    static QByteArray garbage(qint64 size) {
        QByteArray bytes(size, '\0');
        for (char& c : bytes)
            c = char(QRandomGenerator::global()->bounded(256));
        return bytes;
    }
    static void chmod(const QString& path, mode_t mode) {
        if (::chmod(QFile::encodeName(path).constData(), mode) != 0)
            qFatal("chmod failed");
    }
    static void rename(const QString& from, const QString& to) {
        if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
            qFatal("rename failed");
    }

    Kind m_kind;
    std::unique_ptr<Database> m_holder;
    QProcess m_process;
    QByteArray m_saved;
};

const char* const kTroubleNames[] = {
    "locked by a connection",   "locked by a process", "read-only", "garbage in place",
    "garbage after the header", "replaced by garbage", "gone"};

} // namespace

class TestTrouble : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyWriteActionFailsCleanlyAndSucceedsAfterwards_data() {
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("trouble");
        const QList<WriteAction> actions = writeActions();
        for (int t = Trouble::LockedByConnection; t <= Trouble::Gone; ++t)
            for (int a = 0; a < actions.size(); ++a)
                QTest::addRow("%s, %s", qPrintable(actions[a].name), kTroubleNames[t]) << a << t;
    }

    void aDamagedPageIsToldByTheListThatReadsIt_data() {
        QTest::addColumn<QString>("table");
        QTest::newRow("customers") << QStringLiteral("CLIENTE");
        QTest::newRow("articles") << QStringLiteral("ARTICOLO");
    }

    // A byte changed in the page of a table: the list of that table stays empty and the error
    // box tells why; the other lists fill as before.
    void aDamagedPageIsToldByTheListThatReadsIt() {
        QFETCH(QString, table);
        App app(TestDir::Content::Supplied, [&](App& a) {
            auto db = a.dir.open();
            seed(*db);
            auto st = db->prepare("SELECT rootpage FROM sqlite_master WHERE name = ?1;");
            if (!st || !st->bind(1, table).next())
                qFatal("no page of %s", qPrintable(table));
            const qint64 page = st->int64(0);
            *st = Statement();
            db.reset();
            QFile f(a.dir.dbPath());
            if (!f.open(QIODevice::ReadWrite) || !f.seek((page - 1) * 4096 + 300))
                qFatal("cannot open the file");
            char c = 0;
            f.getChar(&c);
            f.seek((page - 1) * 4096 + 300);
            f.putChar(char(c ^ 0x20));
        });
        QVERIFY(app.started);
        // The copy of start-up reads every page: it is not made, and says so.
        const auto copy = app.dialogs.take();
        QCOMPARE(copy.size(), 1);
        QVERIFY2(copy.first().text.startsWith(
                     QStringLiteral("La copia automatica del database non è stata fatta.")),
                 qPrintable(copy.first().text));
        const bool customers = table == QLatin1String("CLIENTE");
        const QString damaged = boxes::message(QStringLiteral("11:\r\nil file del database è "
                                                              "danneggiato"),
                                               QStringLiteral("Errore"), BoxIcon::Critical);
        ui::menu(app.window.get(), "CNuovo");
        QCOMPARE(shown(app), customers ? damaged : QString());
        QCOMPARE(app.window->Frame1->ListView2->report()->rows(), customers ? 0 : 3);
        ui::menu(app.window.get(), "ANuovo");
        QCOMPARE(shown(app), customers ? QString() : damaged);
        QCOMPARE(app.window->Frame2->ListView3->report()->rows(), customers ? 3 : 0);
        // The order panel still opens on a year, tells the fill that fails and offers what the
        // other table holds.
        QVERIFY(openYear(app, "Nordine", QStringLiteral("2026")));
        QCOMPARE(shown(app), damaged);
        QVERIFY(panel(app)->isVisible());
        QCOMPARE(panel(app)->T7->text(), QStringLiteral("1"));
        QCOMPARE(ui::items(customers ? panel(app)->Cbo6 : panel(app)->Cbo5).size(), 3);
    }

    // Another program reading the file while the window writes: the write goes through and
    // the reader goes on reading what it began with.
    void aReaderInAnotherProgramDoesNotStopWrites() {
        App app;
        QVERIFY(app.started);
        seedAll(app);
        auto reader = app.dir.open();
        auto st = reader->prepare("SELECT CODICE FROM CLIENTE ORDER BY ID;");
        QVERIFY(st && st->next());
        const WriteAction a = writeActions()[0];
        a.prepare(app);
        app.dialogs.clear();
        app.dialogs.answerYes(3);
        a.press(app);
        QCOMPARE(app.dialogs.take().last().text, a.done);
        app.dialogs.answers.clear();
        int seen = 1;
        while (st->next())
            ++seen;
        QVERIFY(st->status());
        QCOMPARE(seen, 3);
        *st = Statement();
        QCOMPARE(value(*reader, "SELECT count(*) FROM CLIENTE;"), QStringLiteral("4"));
        // And once the reader has gone, the next write finds the file whole.
        reader.reset();
        a.prepare(app);
        ui::retype(app.window->Frame1->T1, QStringLiteral("40001"));
        app.dialogs.answerYes(3);
        a.press(app);
        QCOMPARE(app.dialogs.take().last().text, a.done);
        QCOMPARE(value(app.db(), "PRAGMA integrity_check;"), QStringLiteral("ok"));
    }

    // Another program that opens the file, reads and goes away while the window runs still
    // finds the window connected: it leaves the window's journal alone, and what the window
    // writes next is read whole by every later reader.
    void anotherProgramComingAndGoingLeavesTheJournalAlone() {
        App app;
        QVERIFY(app.started);
        seedAll(app);
        const WriteAction a = writeActions()[0];
        auto write = [&](const QString& code) {
            a.prepare(app);
            ui::retype(app.window->Frame1->T1, code);
            app.dialogs.clear();
            app.dialogs.answerYes(3);
            a.press(app);
            const QString told = app.dialogs.take().last().text;
            app.dialogs.answers.clear();
            return told;
        };
        QCOMPARE(write(QStringLiteral("40001")), a.done);
        const QString journal = app.dir.dbPath() + QStringLiteral("-wal");
        QVERIFY(QFile::exists(journal));
        for (int i = 0; i < 3; ++i) {
            QProcess other;
            other.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--read-once"), app.dir.dbPath()});
            QVERIFY(other.waitForFinished(30000));
            QCOMPARE(other.exitCode(), 0);
            QVERIFY2(QFile::exists(journal), "the other program took the window's journal away");
            QCOMPARE(write(QStringLiteral("4100%1").arg(i)), a.done);
        }
        auto reader = app.dir.open();
        QCOMPARE(value(*reader, "SELECT count(*) FROM CLIENTE WHERE CODICE LIKE '4%';"),
                 QStringLiteral("4"));
        QCOMPARE(value(*reader, "PRAGMA integrity_check;"), QStringLiteral("ok"));
    }

    void everyWriteActionFailsCleanlyAndSucceedsAfterwards() {
        QFETCH(int, action);
        QFETCH(int, trouble);
        const WriteAction a = writeActions()[action];
        App app;
        QVERIFY(app.started);
        seedAll(app);
        a.prepare(app);
        app.dialogs.clear();
        const QStringList tables = snapshots::tables(app.db());
        const QStringList shown = snapshots::window(*app.window);

        Trouble t{Trouble::Kind(trouble)};
        t.begin(app);
        app.dialogs.answerYes(3);
        a.press(app);
        const QList<ScriptedDialogs::Box> boxes = app.dialogs.take();
        app.dialogs.answers.clear();
        const QString seen = app.dialogs.describe();
        QVERIFY2(!boxes.isEmpty(), "nothing was told");
        const ScriptedDialogs::Box& last = boxes.last();
        QVERIFY2(last.kind == ScriptedDialogs::Kind::Message &&
                     last.title == QStringLiteral("Errore") && last.icon == BoxIcon::Critical,
                 qPrintable(last.text));
        QVERIFY2(last.text.contains(t.cause()), qPrintable(last.text));
        for (const auto& b : boxes)
            QVERIFY2(b.text != a.done, "a failed action was reported done");
        const QStringList after = snapshots::window(*app.window);
        QVERIFY2(after == shown, qPrintable(snapshots::difference(shown, after)));

        t.end(app);
        QCOMPARE(snapshots::tables(app.db()), tables);
        // A window that told the failure goes on working: the same press now succeeds.
        app.dialogs.answerYes(3);
        a.press(app);
        const QList<ScriptedDialogs::Box> retried = app.dialogs.take();
        app.dialogs.answers.clear();
        QVERIFY(!retried.isEmpty());
        QCOMPARE(retried.last().text, a.done);
        QVERIFY(snapshots::tables(app.db()) != tables);
        QCOMPARE(value(app.db(), "PRAGMA integrity_check;"), QStringLiteral("ok"));
        QVERIFY2(app.dialogs.unexpected.isEmpty(), qPrintable(app.dialogs.describe()));
    }
};

// The lock holder: another program's connection that holds the write lock until its standard
// input closes.
static int holdLock(const QString& path) {
    Database::Options o;
    o.exclusive = false;
    auto db = Database::open(path, schema::password(), o);
    if (!db || !(*db)->exec("BEGIN EXCLUSIVE;")) {
        std::fprintf(stderr, "cannot lock %s\n", qPrintable(path));
        return 1;
    }
    std::printf("locked\n");
    std::fflush(stdout);
    char buf[64];
    while (std::fgets(buf, sizeof buf, stdin)) {
    }
    return (*db)->exec("COMMIT;") ? 0 : 1;
}

// Another program that reads the file once and closes it.
static int readOnce(const QString& path) {
    Database::Options o;
    o.exclusive = false;
    auto db = Database::open(path, schema::password(), o);
    if (!db || !(*db)->exec("SELECT count(*) FROM CLIENTE;")) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return 1;
    }
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 3 && QByteArray(argv[1]) == "--read-once") {
        QCoreApplication app(argc, argv);
        return readOnce(QString::fromLocal8Bit(argv[2]));
    }
    if (argc == 3 && QByteArray(argv[1]) == "--hold-lock") {
        QCoreApplication app(argc, argv);
        return holdLock(QString::fromLocal8Bit(argv[2]));
    }
    QApplication app(argc, argv);
    TestTrouble t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_trouble.moc"
