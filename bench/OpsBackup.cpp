// The copy of the large file ("Copia di sicurezza…"): the engine's online backup from the open
// connection and the check of the copy, against copying the file with cp. Timed by the wall
// clock always: cp runs in a process of its own.

#include "Measure.h"
#include "Ops.h"

#include "data/Backup.h"
#include "data/Database.h"
#include "data/Schema.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace bench {
namespace {

double timed(const std::function<void()>& fn) {
    const auto t = Clock::now();
    fn();
    return msSince(t);
}

} // namespace

bool backupBench(const Options& o, const Emit& emit) {
    const QString path = QDir(o.dir).filePath(QLatin1String(schema::kFileName));
    Database::Options opts;
    opts.exclusive = false;
    auto db = Database::open(path, schema::password(), opts);
    if (!db) {
        std::fprintf(stderr, "backup: %s\n", qPrintable(db.error().text));
        return false;
    }
    // Beside the file, on the same disk as cp writes.
    QTemporaryDir work(QDir(o.dir).filePath(QStringLiteral("copia-XXXXXX")));
    if (!work.isValid()) {
        std::fprintf(stderr, "backup: no work folder\n");
        return false;
    }
    const QString target = QDir(work.path()).filePath(QStringLiteral("Ordine.mdb"));
    const QDateTime when(QDate(2026, 12, 8), QTime(10, 30, 0));
    std::vector<double> full, copyOnly, cp;
    bool ok = true;
    for (int i = 0; i < o.warmups + o.runs && ok; ++i) {
        QString made;
        const double a = timed([&] {
            auto r = backup::copyInto(**db, work.path(), when);
            ok = r.ok();
            if (ok)
                made = *r;
        });
        QFile::remove(made);
        const double b = timed([&] { ok = ok && backup::onlineCopy(**db, target).ok(); });
        QFile::remove(target);
        const double c = timed([&] {
            ok = ok && QProcess::execute(QStringLiteral("cp"), {path, target}) == 0;
        });
        QFile::remove(target);
        if (i >= o.warmups) {
            full.push_back(a);
            copyOnly.push_back(b);
            cp.push_back(c);
        }
    }
    if (!ok) {
        std::fprintf(stderr, "backup: a copy failed\n");
        return false;
    }
    const double mb = double(QFileInfo(path).size()) / (1024.0 * 1024.0);
    Row r;
    r.operation = QStringLiteral("Backup of the 1M file (online copy)");
    r.ours = median(copyOnly);
    r.base = median(cp);
    r.target = QStringLiteral("≤ 2×");
    r.met = r.ours <= 2 * r.base;
    r.peak = rssPeak();
    r.notes = QStringLiteral("%1 MB; online copy alone vs cp; with the integrity check of the "
                             "copy %2")
                  .arg(mb, 0, 'f', 0)
                  .arg(fmtMs(median(full)));
    emit(r);
    return true;
}

} // namespace bench
