// The copy of the large file ("Copia di sicurezza…"): the copy of the file's bytes under a read
// transaction of the open connection, against copying the file with cp, and the two checks of
// the copy. Timed by the wall clock always: cp runs in a process of its own.

#include "Measure.h"
#include "Ops.h"

#include "backup/Backup.h"
#include "data/Database.h"
#include "data/Schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace bench {
namespace {

double wallOf(const std::function<void()>& fn) {
    return timed(fn).wall;
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
    bool ok = true;
    // Neither copy waits for the disk; the program waits after its check, before the copy gets
    // its name. That wait is timed apart, for both.
    auto toDisk = [&] {
        const int fd = ::open(QFile::encodeName(target).constData(), O_RDONLY);
        ok = ok && fd >= 0 && ::fsync(fd) == 0;
        if (fd >= 0)
            ::close(fd);
    };
    // Ours by the CPU time of this process, cp by its own.
    Sample s;
    std::vector<double> copySync, cpSync;
    for (int i = 0; i < o.warmups + o.runs && ok; ++i) {
        const Timing b = timed([&] { ok = ok && backup::copyOf(**db, target).ok(); });
        const double bs = wallOf(toDisk);
        QFile::remove(target);
        const Timing c = timedChildren([&] {
            ok = ok && QProcess::execute(QStringLiteral("cp"), {path, target}) == 0;
        });
        const double cs = wallOf(toDisk);
        QFile::remove(target);
        if (i >= o.warmups) {
            s.add(b, c);
            copySync.push_back(bs);
            cpSync.push_back(cs);
        }
    }
    // The checks once each, on a copy the program made: each reads the whole file.
    bool bytes = false;
    if (ok) {
        auto made = backup::fileCopy(**db, target);
        bytes = made && *made;
    }
    double full = 0, quick = 0;
    if (bytes) {
        full = wallOf([&] { ok = backup::verify(target, backup::Check::Full).ok(); });
        quick = wallOf([&] { ok = ok && backup::verify(target, backup::Check::Quick).ok(); });
    }
    QFile::remove(target);
    if (!ok) {
        std::fprintf(stderr, "backup: a copy failed\n");
        return false;
    }
    const double mb = double(QFileInfo(path).size()) / (1024.0 * 1024.0);
    Row r;
    r.operation = QStringLiteral("Backup of the 1M file (copy of the file's bytes)");
    r.take(s);
    r.target = QStringLiteral("≤ 2×");
    r.met = bytes && r.both([](double ours, double base) { return ours <= 2 * base; });
    r.peak = rssPeak();
    r.notes = QStringLiteral("%1 MB; copy alone vs cp%2; then the wait for the disk: %3 (cp's "
                             "copy: %4); check of every copy and of a restore (integrity): %5; "
                             "the quick check, for comparison: %6")
                  .arg(mb, 0, 'f', 0)
                  .arg(bytes ? QString() : QStringLiteral(" (online backup: the log had pages)"))
                  .arg(fmtMs(median(copySync)), fmtMs(median(cpSync)), fmtMs(full), fmtMs(quick));
    emit(r);
    return true;
}

} // namespace bench
