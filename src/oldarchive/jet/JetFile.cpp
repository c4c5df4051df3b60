#include "JetFile.h"

#include "ReaderProcess.h"

#include <QFile>
#include <QFileInfo>

namespace jet {
namespace {

constexpr qint64 kJet3Page = 2048;
constexpr qint64 kJet4Page = 4096;
// The pages every Jet file has before its first table's data: the header, the catalogue's
// definition and the catalogue itself.
constexpr qint64 kFirstPages = 3;

struct Header {
    Format format = Format::NotJet;
    qint64 size = 0;
};

Header readHeader(const QString& path) {
    Header h;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return h;
    h.size = f.size();
    const QByteArray head = f.read(0x20);
    if (head.size() < 0x20 || !head.startsWith(QByteArray("\x00\x01\x00\x00", 4)))
        return h;
    const QByteArray magic = head.mid(4, 16);
    if (magic == QByteArray("Standard ACE DB\0", 16)) {
        h.format = Format::Later;
        return h;
    }
    if (magic != QByteArray("Standard Jet DB\0", 16))
        return h;
    switch (quint8(head.at(0x14))) {
    case 0:
        h.format = Format::Jet3;
        break;
    case 1:
        h.format = Format::Jet4;
        break;
    default:
        h.format = Format::Later;
        break;
    }
    return h;
}

struct TableRead {
    QString table;
    int rows = 0;
};

// An archive read by the reader's own process, asked again for each table.
class ChildArchive : public Archive {
public:
    ChildArchive(const QByteArray& path, qint64 fileSize, const Limits& limits) : m_path(path) {
        // A row's frame is at most a few times the bytes the row takes in the file, and no
        // table holds more rows than the file has bytes: more than this is a loop.
        m_watch.quietMs = limits.quietMs;
        m_watch.totalMs = limits.totalMs;
        m_watch.cancel = limits.cancel;
        m_watch.program = limits.program;
        m_watch.outputBytes = 16 * fileSize + (16 << 20);
    }

    Status readTables() {
        return run({"tabelle", m_path}, [&](const frames::Frame& f) -> Status {
            const auto name = frames::textOf(f.payload);
            if (f.tag != frames::Tag::Table || !name)
                return damagedError();
            m_tables << *name;
            return {};
        });
    }

    QStringList tables() const override { return m_tables; }

    Result<QList<Column>> columns(const QString& table) override {
        QList<Column> out;
        const Status s =
            run({"colonne", m_path, table.toUtf8()}, [&](const frames::Frame& f) -> Status {
                const auto c = frames::columnOf(f.payload);
                if (f.tag != frames::Tag::Column || !c)
                    return damagedError();
                out << *c;
                return {};
            });
        if (!s)
            return s.error();
        return out;
    }

    Status rows(const QString& table, const RowSink& sink) override {
        m_read << TableRead{table, 0};
        int& count = m_read.last().rows;
        return run({"righe", m_path, table.toUtf8()}, [&](const frames::Frame& f) -> Status {
            const auto row = frames::rowOf(f.payload);
            if (f.tag != frames::Tag::Row || !row)
                return damagedError();
            ++count;
            return sink(*row);
        });
    }

private:
    static Error damagedError() { return makeError(QString(), reader::kDamaged); }

    // The reader's damage in words, with what had been read of the archive before it.
    Status run(const QByteArrayList& args, const reader::FrameSink& sink) {
        Status s = reader::run(args, m_watch, sink);
        if (s || s.error().code != reader::kDamaged)
            return s;
        QString text = QStringLiteral("l'archivio è danneggiato e non si può convertire");
        QStringList read;
        for (const TableRead& t : m_read)
            if (t.rows > 0)
                read << QStringLiteral("%1 %2").arg(t.table).arg(t.rows);
        if (!read.isEmpty())
            text += QStringLiteral(" (righe lette prima del danno: %1)")
                        .arg(read.join(QStringLiteral(", ")));
        return makeError(text, reader::kDamaged);
    }

    QByteArray m_path;
    reader::Watch m_watch;
    QStringList m_tables;
    QList<TableRead> m_read;
};

} // namespace

Format formatOf(const QString& path) {
    return readHeader(path).format;
}

Result<std::unique_ptr<Archive>> open(const QString& path, const Limits& limits) {
    const QFileInfo info(path);
    if (!info.exists())
        return makeError(QStringLiteral("il file non esiste"));
    if (!info.isFile())
        return makeError(QStringLiteral("non è un file"));
    if (!info.isReadable())
        return makeError(QStringLiteral("il file non si può leggere (permessi insufficienti)"));
    const Header h = readHeader(path);
    if (h.format == Format::NotJet)
        return makeError(QStringLiteral("il file non è un archivio Access (Jet)"));
    if (h.format == Format::Later)
        return makeError(QStringLiteral("il file è di una versione di Access successiva al "
                                        "2003, che non si può leggere"));
    // libmdb reads pages where the file says they are: a file cut short is refused before it
    // is handed over.
    const qint64 page = h.format == Format::Jet3 ? kJet3Page : kJet4Page;
    if (h.size < kFirstPages * page || h.size % page != 0)
        return makeError(QStringLiteral("il file è incompleto (troncato)"));
    auto archive =
        std::make_unique<ChildArchive>(QFile::encodeName(info.absoluteFilePath()), h.size, limits);
    if (Status s = archive->readTables(); !s)
        return s.error();
    return std::unique_ptr<Archive>(std::move(archive));
}

} // namespace jet
