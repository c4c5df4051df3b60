// gestione-bench-makedb: makes the large database of the benchmarks.

#include "LargeData.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        out << "uso: gestione-bench-makedb FILE [--piccolo]\n";
        return 2;
    }
    largedata::Sizes sizes;
    if (args.contains(QStringLiteral("--piccolo"))) {
        sizes.customers = 2000;
        sizes.articles = 1000;
        sizes.years = 3;
        sizes.linesPerYear = 3000;
    }
    QElapsedTimer t;
    t.start();
    if (Status s = largedata::make(args.first(), sizes); !s) {
        out << args.first() << ": " << s.error().text << "\n";
        QFile::remove(args.first());
        return 1;
    }
    out << "fatto in " << t.elapsed() / 1000.0 << " s\n";
    return 0;
}
