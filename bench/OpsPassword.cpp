// Opening the database under a personal password against the built-in key: the key derivation
// (many more rounds for a password) is the whole difference, whatever the file's size, so a small
// file made here serves.

#include "Measure.h"
#include "Ops.h"

#include "data/Database.h"
#include "data/Rekey.h"
#include "tools/makedb/MakeDb.h"

#include <QDir>
#include <QTemporaryDir>

#include <cstdio>

namespace bench {

bool passwordBench(const Options& o, const Emit& emit) {
    QTemporaryDir work(QDir(o.dir).filePath(QStringLiteral("password-XXXXXX")));
    const QString mine = QDir(work.path()).filePath(QStringLiteral("Personale.mdb"));
    const QString common = QDir(work.path()).filePath(QStringLiteral("Comune.mdb"));
    const FileKey key = FileKey::personalPassword(QStringLiteral("Password di prova"));
    Status s = makedb::makeSupplied(mine, 2026, makedb::Agent{});
    if (s)
        s = makedb::makeSupplied(common, 2026, makedb::Agent{});
    if (s)
        s = rekey::changeKey(mine, FileKey::builtIn(), key);
    if (!s) {
        std::fprintf(stderr, "password: %s\n", qPrintable(s.error().text));
        return false;
    }
    bool ok = true;
    // Database::open reads the file once: the key is derived and checked there.
    const Sample m = compare(
        o.warmups, o.runs, [&] { ok = ok && Database::open(mine, key).ok(); },
        [&] { ok = ok && Database::open(common, FileKey::builtIn()).ok(); });
    if (!ok) {
        std::fprintf(stderr, "password: the file did not open\n");
        return false;
    }
    Row r;
    r.operation = QStringLiteral("Opening the file under a personal password");
    r.take(m);
    r.target = QStringLiteral("≤ 1 s");
    r.met = r.both([](double ours, double) { return ours <= 1000; });
    r.peak = m.peak;
    r.notes = QStringLiteral("PBKDF2 %1 rounds against the built-in key's %2")
                  .arg(FileKey::kPersonalRounds)
                  .arg(FileKey::kBuiltInRounds);
    emit(r);
    return true;
}

} // namespace bench
