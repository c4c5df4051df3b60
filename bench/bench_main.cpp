// gestione-bench: the program's heavy operations on the large file, each against its floor in
// the same run. Each group runs in a process of its own, so that its peak memory is its own;
// the table goes to standard output in Markdown.
//
//   gestione-bench --cartella DIR [--giri N] [--riscaldamento N] [--solo liste,anno,...]
//
// DIR holds the large Ordine.mdb (gestione-bench-makedb makes it). Every row gives the CPU time
// and the wall clock, both medians of the same runs, and is met only when both meet its target.

#include "Measure.h"
#include "Ops.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>
#include <map>

namespace {

using Bench = bool (*)(const bench::Options&, const bench::Emit&);

const std::vector<std::pair<QString, Bench>>& groups() {
    static const std::vector<std::pair<QString, Bench>> g = {
        {QStringLiteral("liste"), bench::listsBench},
        {QStringLiteral("anno"), bench::yearBench},
        {QStringLiteral("combo"), bench::combosBench},
        {QStringLiteral("fogli"), bench::sheetsBench},
        {QStringLiteral("esporta"), bench::exportBench},
        {QStringLiteral("cerca"), bench::searchBench},
        {QStringLiteral("avvio"), bench::startupBench},
        {QStringLiteral("copia"), bench::backupBench},
        {QStringLiteral("password"), bench::passwordBench},
        {QStringLiteral("statistiche"), bench::statsBench},
        {QStringLiteral("sincronizzazione"), bench::syncBench},
        {QStringLiteral("listini"), bench::priceListBench},
        {QStringLiteral("invio"), bench::mailBench},
    };
    return g;
}

QString ratio(double ours, double base) {
    if (base > 0 && ours / base >= 0.1)
        return QStringLiteral("%1×").arg(ours / base, 0, 'f', 2);
    if (base > 0 && ours > 0)
        return QStringLiteral("1/%1").arg(base / ours, 0, 'f', 0);
    return QStringLiteral("—");
}

void printRow(QTextStream& out, const bench::Row& r) {
    out << "| " << r.operation << " | " << bench::fmtMs(r.oursCpu) << " | "
        << bench::fmtMs(r.baseCpu) << " | " << ratio(r.oursCpu, r.baseCpu) << " | "
        << bench::fmtMs(r.ours) << " | " << bench::fmtMs(r.base) << " | " << ratio(r.ours, r.base)
        << " | " << r.target << " | " << (r.met ? "yes" : "**no**") << " | " << bench::fmtMB(r.peak)
        << " | " << r.notes << " |\n";
}

// The offscreen platform says of every popup that it cannot raise it or grab the keyboard.
void quietOffscreen(QtMsgType type, const QMessageLogContext&, const QString& msg) {
    if (msg.startsWith(QLatin1String("This plugin does not support")))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(msg));
    if (type == QtFatalMsg)
        std::abort();
}

} // namespace

int main(int argc, char** argv) {
    qInstallMessageHandler(quietOffscreen);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QTextStream out(stdout);

    if (args.value(0) == QLatin1String("--avvio") && args.size() == 3)
        return bench::startupChild(args[1] == QLatin1String("nostro"), args[2]);

    bench::Options o;
    QString group;
    bool child = false;
    QStringList only;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const QString v = args.value(i + 1);
        if (a == QLatin1String("--cartella")) {
            o.dir = v;
            ++i;
        } else if (a == QLatin1String("--giri")) {
            o.runs = std::max(1, v.toInt());
            ++i;
        } else if (a == QLatin1String("--riscaldamento")) {
            o.warmups = std::max(0, v.toInt());
            ++i;
        } else if (a == QLatin1String("--solo")) {
            only = v.split(QLatin1Char(','), Qt::SkipEmptyParts);
            ++i;
        } else if (a == QLatin1String("--figlio")) {
            group = v;
            child = true;
            ++i;
        } else if (a == QLatin1String("--cpu")) {
            // Both clocks are always given.
        } else if (a == QLatin1String("--lavoro")) {
            o.workDir = v;
            ++i;
        } else {
            std::fprintf(stderr, "uso: gestione-bench --cartella DIR [--giri N] "
                                 "[--riscaldamento N] [--solo "
                                 "liste,anno,combo,fogli,esporta,cerca,avvio,copia,password]\n");
            return 2;
        }
    }
    if (o.dir.isEmpty() || !QFileInfo::exists(QDir(o.dir).filePath(QStringLiteral("Ordine.mdb")))) {
        std::fprintf(stderr, "gestione-bench: la cartella non contiene Ordine.mdb\n");
        return 2;
    }
    o.dir = QFileInfo(o.dir).absoluteFilePath();

    if (child) {
        for (const auto& [name, run] : groups())
            if (name == group) {
                const bool ok = run(o, [&](const bench::Row& r) {
                    out << r.encode() << "\n";
                    out.flush();
                });
                return ok ? 0 : 1;
            }
        return 2;
    }

    QTemporaryDir work;
    std::vector<bench::Row> rows;
    bool allOk = true;
    for (const auto& [name, run] : groups()) {
        if (!only.isEmpty() && !only.contains(name))
            continue;
        std::fprintf(stderr, "gestione-bench: %s...\n", qPrintable(name));
        if (name == QLatin1String("avvio")) {
            // Launches its own processes.
            allOk = run(o, [&](const bench::Row& r) { rows.push_back(r); }) && allOk;
            continue;
        }
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QStringList childArgs{QStringLiteral("--figlio"),        name,
                              QStringLiteral("--cartella"),      o.dir,
                              QStringLiteral("--giri"),          QString::number(o.runs),
                              QStringLiteral("--riscaldamento"), QString::number(o.warmups),
                              QStringLiteral("--lavoro"),        work.path()};
        p.start(QCoreApplication::applicationFilePath(), childArgs);
        p.waitForFinished(-1);
        for (const QByteArray& line : p.readAllStandardOutput().split('\n')) {
            bench::Row r;
            if (bench::Row::decode(QString::fromUtf8(line), &r))
                rows.push_back(r);
        }
        if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            std::fprintf(stderr, "gestione-bench: %s failed\n", qPrintable(name));
            allOk = false;
        }
    }

    out << "| operation | ours, CPU | baseline, CPU | ratio, CPU | ours, wall | baseline, wall | "
           "ratio, wall | target | met | peak RSS | notes |\n"
           "|---|---:|---:|---:|---:|---:|---:|---|---|---:|---|\n";
    for (const bench::Row& r : rows)
        printRow(out, r);
    out.flush();
    return allOk ? 0 : 1;
}
