#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdlib>

// A file's bytes, read whole or written over in place: what the tests of copies and keys look at
// and damage.
namespace filebytes {

inline QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Writes `bytes` over the file at `offset`: one damaged page of the encrypted file.
inline void damage(const QString& path, qint64 offset,
                   const QByteArray& bytes = QByteArray(64, 'x')) {
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite) || !f.seek(offset) || f.write(bytes) != bytes.size())
        qFatal("damage %s", qPrintable(path));
}

} // namespace filebytes
