// Start-up to the window shown: the program's own start against a bare Qt window that opens the
// same encrypted file and runs one query. Each start is a new process; the time runs from the
// moment it is launched to its window's first paint; its CPU time is the child's own up to then.

#include "Measure.h"
#include "Ops.h"

#include "app/Gestione.h"
#include "app/Translation.h"
#include "data/Schema.h"
#include "ui/AppContext.h"
#include "ui/QtDialogs.h"
#include "ui/widgets/Twips.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QMainWindow>
#include <QProcess>
#include <QTimer>

#include <sqlite3.h>

#include <cstdio>

namespace bench {
namespace {

// Tells the launcher the moment of the window's first paint, then ends the event loop.
class FirstPaint : public QObject {
public:
    bool eventFilter(QObject* obj, QEvent* e) override {
        if (e->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            // After this paint returns and the frame is flushed.
            QTimer::singleShot(0, [] {
                const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                    Clock::now().time_since_epoch())
                                    .count();
                std::printf("MOSTRATO %lld %zu %.6f\n", static_cast<long long>(ns), rssPeak(),
                            cpuMs());
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return QObject::eventFilter(obj, e);
    }

private:
    bool m_seen = false;
};

int bareStart(const QString& dir) {
    QMainWindow window;
    auto* client = new QWidget(&window);
    client->setFixedSize(twips::px(14835), twips::px(9465 - 375));
    window.setCentralWidget(client);
    const QByteArray path = QDir(dir).filePath(QLatin1String(schema::kFileName)).toLocal8Bit();
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        return 1;
    const QByteArray key = schema::password();
    sqlite3_key(db, key.constData(), int(key.size()));
    sqlite3_exec(db, "PRAGMA cipher_page_size = 4096; PRAGMA kdf_iter = 64000;", nullptr, nullptr,
                 nullptr);
    if (sqlite3_exec(db, "SELECT count(*) FROM sqlite_master;", nullptr, nullptr, nullptr) !=
        SQLITE_OK)
        return 1;
    FirstPaint seen;
    window.installEventFilter(&seen);
    window.show();
    const int rc = QCoreApplication::exec();
    sqlite3_close(db);
    return rc;
}

// The start of the program as its main() does it.
int ourStart(const QString& dir) {
    QApplication::setApplicationName(QStringLiteral("Gestione Ordini"));
    installItalianTranslation(*QCoreApplication::instance());
    QtDialogs dialogs;
    SystemClock clock;
    DesktopFileOpener opener;
    AppContext ctx(dialogs, clock, opener, dir);
    Gestione window(ctx);
    dialogs.setParent(&window);
    if (!window.Form_Load())
        return 1;
    FirstPaint seen;
    window.installEventFilter(&seen);
    window.show();
    return QCoreApplication::exec();
}

struct Start {
    double ms = -1;
    double cpu = -1;
    std::size_t peak = 0;
};

Start launch(bool ours, const QString& dir) {
    QProcess p;
    p.setProgram(QCoreApplication::applicationFilePath());
    p.setArguments(
        {QStringLiteral("--avvio"), ours ? QStringLiteral("nostro") : QStringLiteral("base"), dir});
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const auto t = Clock::now();
    p.start();
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    const QList<QByteArray> f = p.readAllStandardOutput().trimmed().split(' ');
    if (f.size() != 4 || f[0] != "MOSTRATO")
        return {};
    const long long shown = f[1].toLongLong();
    const long long start =
        std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
    return {double(shown - start) / 1e6, f[3].toDouble(), std::size_t(f[2].toULongLong())};
}

} // namespace

int startupChild(bool ours, const QString& dir) {
    return ours ? ourStart(dir) : bareStart(dir);
}

bool startupBench(const Options& o, const Emit& emit) {
    // The key derivation at the first read of the file dominates both and varies from one
    // process to the next: more rounds, so that the medians are steady.
    const int runs = std::max(15, 2 * o.runs);
    Sample s;
    for (int i = 0; i < o.warmups + runs; ++i) {
        Start a, b;
        if (i % 2 == 0) {
            a = launch(true, o.dir);
            b = launch(false, o.dir);
        } else {
            b = launch(false, o.dir);
            a = launch(true, o.dir);
        }
        if (a.ms < 0 || b.ms < 0) {
            std::fprintf(stderr, "start-up: a start failed\n");
            return false;
        }
        if (i >= o.warmups) {
            s.add({a.ms, a.cpu}, {b.ms, b.cpu});
            s.peak = std::max(s.peak, a.peak);
            s.growth = std::max(s.growth, b.peak);
        }
    }
    Row r;
    r.operation = QStringLiteral("Start-up to the window shown, 1M file");
    r.take(s);
    r.target = QStringLiteral("≤ 1.5×");
    r.met = r.both([](double ours, double base) { return ours <= 1.5 * base; });
    r.peak = s.peak;
    r.notes = QStringLiteral("new process each, %1 rounds; bare window peak %2")
                  .arg(runs)
                  .arg(fmtMB(s.growth));
    emit(r);
    return true;
}

} // namespace bench
