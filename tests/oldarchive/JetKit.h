#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <zlib.h>

// The Jet files of tests/oldarchive/jet, unpacked into a test's own folder.
namespace jetkit {

inline QByteArray unpacked(const QString& name) {
    const QString packed =
        QDir(qEnvironmentVariable("GESTIONE_SOURCE_DIR"))
            .filePath(QStringLiteral("tests/oldarchive/jet/%1.mdb.gz").arg(name));
    gzFile in = gzopen(QFile::encodeName(packed).constData(), "rb");
    if (!in)
        qFatal("cannot open %s", qPrintable(packed));
    QByteArray out;
    char buf[65536];
    int n;
    while ((n = gzread(in, buf, sizeof buf)) > 0)
        out.append(buf, n);
    gzclose(in);
    if (out.isEmpty())
        qFatal("empty %s", qPrintable(packed));
    return out;
}

// A fixture with bytes changed: "offset=value" pairs, in hexadecimal ("0x1023=ff").
inline QByteArray changed(const QString& name, const QString& changes) {
    QByteArray bytes = unpacked(name);
    for (const QString& change : changes.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QStringList parts = change.split(QLatin1Char('='));
        bool ok1 = false, ok2 = false;
        const qsizetype at = parts.value(0).toLongLong(&ok1, 16);
        const int value = parts.value(1).toInt(&ok2, 16);
        if (!ok1 || !ok2 || at < 0 || at >= bytes.size())
            qFatal("bad change %s", qPrintable(change));
        bytes[at] = char(value);
    }
    return bytes;
}

// Writes `bytes` to `dir`/`file` and gives its path.
inline QString put(const QString& dir, const QString& file, const QByteArray& bytes) {
    const QString path = QDir(dir).filePath(file);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

} // namespace jetkit
