// The workbooks: the order sheet of a stored order and the export of a whole table, each
// through the program's own entry point, against the bare libxlsxwriter calls that write the
// identical cells and formats (recorded from our writer, replayed alone), openpyxl writing the
// same sheet, and the command-line client's CSV of the same query.

#include "BareLoop.h"
#include "BenchWindow.h"
#include "Ops.h"
#include "XlsxTape.h"

#include "data/Schema.h"
#include "orders/PrintOrder.h"
#include "sheets/OrderSheet.h"
#include "sheets/TableExport.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <malloc.h>
#include <sqlite3.h>

#include <cstdio>

namespace bench {
namespace {

QString codeOf(Database& db, const QString& number) {
    auto st = db.prepare("SELECT ID_CL FROM ORDINE WHERE ANNO = ?1 AND NR = ?2 LIMIT 1;");
    if (!st)
        return QString();
    st->bind(1, kYear).bind(2, number);
    return st->next() ? st->text(0) : QString();
}

// Each run starts a new spreadsheet session, as the first sheet of a program run does; what
// the last run left is thrown away.
void freshSession(BenchWindow& w) {
    w.ctx.spreadsheet.reset();
    for (const QString& path : w.opener.opened)
        QFile::remove(path);
    w.opener.opened.clear();
    malloc_trim(0);
}

// openpyxl writing the tape's workbook: its medians by both clocks in ms, or -1.
Timing openpyxlMs(const Options& o, const tape::Tape& t, const QString& name) {
    const QString json = QDir(o.workDir).filePath(name + QStringLiteral(".json"));
    QFile f(json);
    if (!f.open(QIODevice::WriteOnly) || f.write(tape::toJson(t)) < 0)
        return {-1, -1};
    f.close();
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral(GESTIONE_BENCH_SOURCE_DIR "/openpyxl_replay.py"), json,
             QDir(o.workDir).filePath(name + QStringLiteral("-openpyxl.xlsx")),
             QString::number(o.runs), QString::number(o.warmups)});
    if (!p.waitForFinished(-1) || p.exitCode() != 0)
        return {-1, -1};
    const QList<QByteArray> f2 = p.readAllStandardOutput().trimmed().split(' ');
    bool wallOk = false, cpuOk = false;
    const Timing ms{f2.value(0).toDouble(&wallOk), f2.value(1).toDouble(&cpuOk)};
    return wallOk && cpuOk ? ms : Timing{-1, -1};
}

// The client's CSV of the query into a file, the process timed from launch to exit: the medians
// of the wall clock and of its CPU time, or -1.
Timing csvMs(const Options& o, const char* sql) {
    const QString out = QDir(o.workDir).filePath(QStringLiteral("tabella.csv"));
    const QByteArray script = "PRAGMA key = '" + schema::password() +
                              "';\nPRAGMA cipher_page_size = 4096;\nPRAGMA kdf_iter = 64000;\n"
                              ".output " +
                              QFile::encodeName(out) + "\n" + sql + "\n";
    Sample s;
    for (int i = 0; i < o.warmups + o.runs; ++i) {
        bool ok = false;
        const Timing t = timedChildren([&] {
            QProcess p;
            p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            p.start(QStringLiteral("sqlcipher"),
                    {QStringLiteral("-csv"), QDir(o.dir).filePath(QStringLiteral("Ordine.mdb"))});
            p.write(script);
            p.closeWriteChannel();
            ok = p.waitForFinished(-1) && p.exitCode() == 0;
        });
        if (!ok)
            return {-1, -1};
        if (i >= o.warmups)
            s.add(t);
    }
    QFile::remove(out);
    return {median(s.ours), median(s.oursCpu)};
}

} // namespace

bool sheetsBench(const Options& o, const Emit& emit) {
    BenchWindow w(o.dir);
    if (!w.ready())
        return false;
    for (const QString& number : {QStringLiteral("2"), QStringLiteral("1")}) {
        const QString code = codeOf(w.ctx.db(), number);
        if (code.isEmpty()) {
            fail(QStringLiteral("order %1/%2 missing").arg(kYear, number));
            return false;
        }
        auto ours = [&] { StampaOrdineV(w.ctx, kYear, number, code); };
        auto prepare = [&] { freshSession(w); };

        prepare();
        tape::startRecording();
        ours();
        const tape::Tape t = tape::stopRecording();
        if (t.ops.empty() || w.opener.opened.size() != 1 || !w.dialogs.boxes.isEmpty()) {
            fail(QStringLiteral("StampaOrdineV wrote no workbook: %1").arg(w.problem()));
            return false;
        }
        int lines = 0;
        for (const tape::Op& op : t.ops)
            lines += op.kind == tape::Kind::String && op.b == 1 && op.a >= 13;
        const QString base = QDir(o.workDir).filePath(QStringLiteral("ordine-%1.xlsx").arg(number));
        bool replayed = true;
        Sample s = compare(
            o.warmups, o.runs, ours, [&] { replayed = tape::replay(t, base) && replayed; },
            prepare);
        freshSession(w);
        const Timing py = openpyxlMs(o, t, QStringLiteral("ordine-%1").arg(number));
        if (!replayed || py.wall < 0 || !w.dialogs.boxes.isEmpty()) {
            fail(QStringLiteral("StampaOrdineV: baseline failed %1").arg(w.problem()));
            return false;
        }
        Row r;
        r.operation = QStringLiteral("StampaOrdineV, order of %1 lines (model + file)").arg(lines);
        r.take(s);
        r.target = QStringLiteral("≤ 1.5×; ≥ 7× faster than openpyxl");
        r.met = r.both([](double ours, double base) { return ours <= 1.5 * base; }) &&
                py.wall >= 7 * r.ours && py.cpu >= 7 * r.oursCpu;
        r.peak = s.peak;
        r.notes = QStringLiteral("openpyxl CPU %1 (%2× ours), wall %3 (%4× ours); %5 calls "
                                 "replayed")
                      .arg(fmtMs(py.cpu))
                      .arg(py.cpu / r.oursCpu, 0, 'f', 1)
                      .arg(fmtMs(py.wall))
                      .arg(py.wall / r.ours, 0, 'f', 1)
                      .arg(t.ops.size());
        emit(r);

        if (number == QStringLiteral("2")) {
            // The PDF of the same order against its .xlsx: both read the order, lay out the
            // model and write a file of the archive.
            std::vector<QString> written;
            auto pdf = [&] {
                if (auto done = sheets::writeOrderPdf(w.ctx.db(), kYear, number, code))
                    written.push_back(done->path);
            };
            auto clear = [&] {
                freshSession(w);
                for (const QString& path : written)
                    QFile::remove(path);
                written.clear();
            };
            Sample p = compare(o.warmups, o.runs, pdf, ours, clear);
            clear();
            Row pr;
            pr.operation =
                QStringLiteral("PDF of the order of %1 lines (model + painter)").arg(lines);
            pr.take(p);
            pr.target = QStringLiteral("≤ 3× its .xlsx (StampaOrdineV)");
            pr.met = pr.both([](double ours, double base) { return ours <= 3 * base; });
            pr.peak = p.peak;
            pr.notes = QStringLiteral("floor: the .xlsx of the same order");
            emit(pr);
        }
    }
    return true;
}

bool exportBench(const Options& o, const Emit& emit) {
    BenchWindow w(o.dir);
    if (!w.ready())
        return false;
    Gestione& g = *w.window;
    sqlite3* h = w.ctx.db().handle();
    const QString saved = QDir(o.dir).filePath(QStringLiteral("Foglio.xlsx"));
    struct Export {
        QString what;
        const char* sql;
        void (Gestione::*menu)();
    };
    const Export exports[] = {
        {QStringLiteral("articles"), tableexport::kArticoli, &Gestione::StampaArticolo_Click},
        {QStringLiteral("customers"), tableexport::kClienti, &Gestione::StampaClienti_Click},
    };
    for (const Export& e : exports) {
        auto ours = [&] { (g.*e.menu)(); };
        auto prepare = [&] {
            freshSession(w);
            QFile::remove(saved);
        };
        prepare();
        tape::startRecording();
        ours();
        const tape::Tape t = tape::stopRecording();
        if (t.ops.empty() || !QFile::exists(saved) || !w.dialogs.boxes.isEmpty()) {
            fail(QStringLiteral("export of %1 wrote nothing: %2").arg(e.what, w.problem()));
            return false;
        }
        const long long rows = bareLoop(h, e.sql);
        const QString base = QDir(o.workDir).filePath(QStringLiteral("export-%1.xlsx").arg(e.what));
        bool replayed = true;
        // The floor reads the same rows bare and writes the recorded cells bare.
        Sample s = compare(
            o.warmups, o.runs, ours,
            [&] {
                bareLoop(h, e.sql);
                replayed = tape::replay(t, base) && replayed;
            },
            prepare);
        prepare();
        QFile::remove(base);
        const Timing csv = csvMs(o, e.sql);
        if (!replayed || csv.wall < 0 || !w.dialogs.boxes.isEmpty()) {
            fail(QStringLiteral("export of %1: baseline failed %2").arg(e.what, w.problem()));
            return false;
        }
        Row r;
        r.operation = QStringLiteral("Ado2excel, %1 %2").arg(rows).arg(e.what);
        r.take(s);
        r.target = QStringLiteral("≤ 1.3×, growth ≤ 50 MB; ≤ 10× CSV");
        r.met = r.both([](double ours, double base) { return ours <= 1.3 * base; }) &&
                s.growth <= 50u * 1024 * 1024 && r.ours <= 10 * csv.wall &&
                r.oursCpu <= 10 * csv.cpu;
        r.peak = s.peak;
        r.notes = QStringLiteral("RSS +%1; sqlcipher -csv CPU %2 (ours %3×), wall %4 (ours %5×)")
                      .arg(fmtMB(s.growth))
                      .arg(fmtMs(csv.cpu))
                      .arg(r.oursCpu / csv.cpu, 0, 'f', 1)
                      .arg(fmtMs(csv.wall))
                      .arg(r.ours / csv.wall, 0, 'f', 1);
        emit(r);
    }
    return true;
}

} // namespace bench
