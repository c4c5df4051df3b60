#include "XlsxCheck.h"

#include <QFile>

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <vector>

namespace sheets {
namespace {

std::uint32_t u32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 |
           std::uint32_t(b[3]) << 24;
}
std::uint16_t u16(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return std::uint16_t(b[0] | b[1] << 8);
}

Error damaged(const QString& why) {
    return makeError(why);
}

// The number of "xl/worksheets/sheetN.xml", or 0.
int sheetNumber(const QByteArray& name) {
    static const QByteArray prefix("xl/worksheets/sheet");
    if (!name.startsWith(prefix) || !name.endsWith(".xml"))
        return 0;
    bool ok = false;
    const int n = name.mid(prefix.size(), name.size() - prefix.size() - 4).toInt(&ok);
    return ok ? n : 0;
}

struct Part {
    QByteArray name;
    std::uint16_t method;
    std::uint32_t crc;
    std::uint32_t packed;
    std::uint32_t size;
    std::uint32_t offset;
};

// The name of the document's first element ("worksheet"), or empty.
QByteArray rootName(const QByteArray& xml) {
    qsizetype at = 0;
    while ((at = xml.indexOf('<', at)) >= 0 && at + 1 < xml.size() &&
           (xml[at + 1] == '?' || xml[at + 1] == '!'))
        ++at;
    if (at < 0)
        return {};
    qsizetype end = at + 1;
    while (end < xml.size() && !std::strchr(" \t\r\n/>", xml[end]))
        ++end;
    return xml.mid(at + 1, end - at - 1);
}

// The row number of the last row tag in the text, or 0.
int lastRowOf(const QByteArray& xml) {
    static const QByteArray tag("<row r=\"");
    const qsizetype at = xml.lastIndexOf(tag);
    if (at < 0)
        return 0;
    const qsizetype from = at + tag.size();
    const qsizetype to = xml.indexOf('"', from);
    return to < 0 ? 0 : xml.mid(from, to - from).toInt();
}

// What a part's bytes show as they are inflated, a piece at a time: their checksum and size,
// their beginning and their end, and the last row of a worksheet (the writer writes rows in
// order).
struct Seen {
    static constexpr qsizetype kHead = 4096;
    static constexpr qsizetype kTail = 256; // more than a closing tag or a row tag
    std::uint32_t crc = crc32(0, nullptr, 0);
    std::uint64_t size = 0;
    QByteArray head;
    QByteArray tail;
    int lastRow = 0;

    void take(const char* bytes, size_t n, bool worksheet) {
        crc = crc32(crc, reinterpret_cast<const Bytef*>(bytes), uInt(n));
        size += n;
        if (head.size() < kHead)
            head.append(bytes, std::min(qsizetype(n), kHead - head.size()));
        // The end of the bytes before goes with these, so that a tag cut between two pieces is
        // seen whole.
        const QByteArray window = tail + QByteArray::fromRawData(bytes, qsizetype(n));
        if (worksheet)
            lastRow = std::max(lastRow, lastRowOf(window));
        tail = window.right(kTail);
    }

    // Whether the document closes its first element at its end: the writer writes each part
    // from its start to that tag, so a part without it was cut short.
    bool closesRoot() const {
        const QByteArray root = rootName(head);
        if (root.isEmpty())
            return false;
        const QByteArray end = tail.trimmed();
        if (end.endsWith("</" + root + '>'))
            return true;
        // A document of its first element alone, in one tag.
        const QByteArray whole = head.trimmed();
        return qsizetype(size) <= head.size() && whole.endsWith("/>") &&
               whole.indexOf('<' + root) == whole.lastIndexOf('<');
    }
};

// Inflates one part, checking its size and checksum; an XML part must close its document, and
// the last row of a worksheet is noted.
Status checkPart(const QByteArray& zip, const Part& part, int& lastRow) {
    const char* base = zip.constData();
    if (qint64(part.offset) + 30 > zip.size() || u32(base + part.offset) != 0x04034b50)
        return damaged(QStringLiteral("la parte %1 manca").arg(QString::fromUtf8(part.name)));
    const qint64 start =
        qint64(part.offset) + 30 + u16(base + part.offset + 26) + u16(base + part.offset + 28);
    if (start + qint64(part.packed) > zip.size())
        return damaged(QStringLiteral("la parte %1 è tronca").arg(QString::fromUtf8(part.name)));
    auto broken = [&] {
        return damaged(
            QStringLiteral("la parte %1 è danneggiata").arg(QString::fromUtf8(part.name)));
    };

    const bool xml = part.name.endsWith(".xml") || part.name.endsWith(".rels");
    const bool worksheet = sheetNumber(part.name) > 0;
    Seen seen;
    constexpr size_t kPiece = size_t(1) << 16;
    if (part.method == 0) {
        for (size_t at = 0; at < part.packed; at += kPiece)
            seen.take(base + start + at, std::min(kPiece, size_t(part.packed) - at), worksheet);
    } else if (part.method == 8) {
        z_stream z{};
        if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
            return damaged(QStringLiteral("memoria insufficiente"));
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(base + start));
        z.avail_in = part.packed;
        std::vector<char> out(kPiece);
        int rc = Z_OK;
        while (rc == Z_OK) {
            z.next_out = reinterpret_cast<Bytef*>(out.data());
            z.avail_out = uInt(out.size());
            rc = inflate(&z, Z_NO_FLUSH);
            seen.take(out.data(), out.size() - z.avail_out, worksheet);
            if (rc == Z_BUF_ERROR && z.avail_in > 0)
                rc = Z_OK;
        }
        inflateEnd(&z);
        if (rc != Z_STREAM_END)
            return broken();
    } else {
        return damaged(QStringLiteral("la parte %1 usa una compressione sconosciuta")
                           .arg(QString::fromUtf8(part.name)));
    }
    if (seen.crc != part.crc || seen.size != part.size)
        return broken();
    if (xml && !seen.closesRoot())
        return damaged(
            QStringLiteral("la parte %1 è incompleta").arg(QString::fromUtf8(part.name)));
    if (worksheet)
        lastRow = std::max(lastRow, seen.lastRow);
    return {};
}

// The end record: 22 bytes and a comment of at most 65535 at the end of the bytes, which begin
// at offset `first` of the file; -1 when missing.
qint64 endRecord(const QByteArray& bytes, qint64 first) {
    for (qint64 i = bytes.size() - 22; i >= 0 && i >= bytes.size() - 22 - 65535; --i)
        if (u32(bytes.constData() + i) == 0x06054b50)
            return first + i;
    return -1;
}

// The parts the index names, in its order; the index lies at [at, end) of the file, whose bytes
// from `first` on are in `bytes`.
Result<std::vector<Part>> readIndex(const QByteArray& bytes, qint64 first, qint64 at, qint64 end,
                                    int count) {
    std::vector<Part> parts;
    for (int i = 0; i < count; ++i) {
        if (at < first || at + 46 > end || u32(bytes.constData() + (at - first)) != 0x02014b50)
            return damaged(QStringLiteral("l'indice dell'archivio è danneggiato"));
        const char* c = bytes.constData() + (at - first);
        const qint64 next = at + 46 + u16(c + 28) + u16(c + 30) + u16(c + 32);
        if (next > end)
            return damaged(QStringLiteral("l'indice dell'archivio è danneggiato"));
        parts.push_back(Part{QByteArray(c + 46, u16(c + 28)), u16(c + 10), u32(c + 16), u32(c + 20),
                             u32(c + 24), u32(c + 42)});
        at = next;
    }
    return parts;
}

} // namespace

Status checkXlsx(const QString& path, const std::vector<int>& lastRows) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return damaged(QStringLiteral("il file non si può rileggere"));
    const QByteArray zip = f.readAll();
    f.close();
    const qint64 end = endRecord(zip, 0);
    if (end < 0)
        return damaged(QStringLiteral("l'archivio è incompleto"));
    const char* e = zip.constData() + end;
    auto parts = readIndex(zip, 0, u32(e + 16), end, u16(e + 10));
    if (!parts)
        return parts.error();
    std::map<int, int> sheets;
    for (const Part& part : *parts) {
        int lastRow = 0;
        if (Status s = checkPart(zip, part, lastRow); !s)
            return s;
        if (const int n = sheetNumber(part.name); n > 0)
            sheets[n] = lastRow;
    }
    for (size_t i = 0; i < lastRows.size(); ++i) {
        const auto it = sheets.find(int(i) + 1);
        if (it == sheets.end())
            return damaged(QStringLiteral("manca il foglio %1").arg(i + 1));
        if (it->second < lastRows[i])
            return damaged(QStringLiteral("il foglio %1 è incompleto").arg(i + 1));
    }
    return {};
}

Status checkZip(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return damaged(QStringLiteral("il file non si può rileggere"));
    const qint64 size = f.size();
    // The end record and the index are at the end: read from there on.
    const qint64 tailFrom = std::max<qint64>(0, size - 22 - 65535);
    if (!f.seek(tailFrom))
        return damaged(QStringLiteral("il file non si può rileggere"));
    QByteArray tail = f.read(size - tailFrom);
    if (tail.size() != size - tailFrom)
        return damaged(QStringLiteral("il file non si può rileggere"));
    const qint64 end = endRecord(tail, tailFrom);
    if (end < 0 || end + 22 > size)
        return damaged(QStringLiteral("l'archivio è incompleto"));
    const char* e = tail.constData() + (end - tailFrom);
    const qint64 indexAt = u32(e + 16);
    const qint64 indexSize = u32(e + 12);
    // The index ends where the end record begins: nothing lost between them.
    if (indexAt + indexSize != end)
        return damaged(QStringLiteral("l'indice dell'archivio è danneggiato"));
    if (indexAt < tailFrom) {
        // A large index: read it whole.
        if (!f.seek(indexAt))
            return damaged(QStringLiteral("il file non si può rileggere"));
        tail = f.read(size - indexAt);
        if (tail.size() != size - indexAt)
            return damaged(QStringLiteral("il file non si può rileggere"));
    }
    const qint64 first = indexAt < tailFrom ? indexAt : tailFrom;
    auto parts = readIndex(tail, first, indexAt, end, u16(e + 10));
    if (!parts)
        return parts.error();
    // Each part where the index says, one after the other, the last ending at the index.
    std::vector<const Part*> byOffset;
    for (const Part& p : *parts)
        byOffset.push_back(&p);
    std::sort(byOffset.begin(), byOffset.end(),
              [](const Part* a, const Part* b) { return a->offset < b->offset; });
    qint64 expected = 0;
    for (const Part* p : byOffset) {
        const QString name = QString::fromUtf8(p->name);
        char header[30];
        if (p->offset != expected || !f.seek(p->offset) || f.read(header, 30) != 30 ||
            u32(header) != 0x04034b50)
            return damaged(QStringLiteral("la parte %1 manca").arg(name));
        const qint64 nameLength = u16(header + 26);
        if (f.read(nameLength) != p->name)
            return damaged(QStringLiteral("la parte %1 manca").arg(name));
        if (p->method != 0 && p->method != 8)
            return damaged(
                QStringLiteral("la parte %1 usa una compressione sconosciuta").arg(name));
        // The packed bytes, then the record of their checksum and sizes when the header
        // leaves them to it (bit 3 of its flags).
        const bool record = u16(header + 6) & 0x8;
        expected = qint64(p->offset) + 30 + nameLength + u16(header + 28) + qint64(p->packed);
        if (record) {
            char d[16];
            if (expected + 16 > indexAt || !f.seek(expected) || f.read(d, 16) != 16)
                return damaged(QStringLiteral("la parte %1 è tronca").arg(name));
            const bool signature = u32(d) == 0x08074b50;
            const char* r = signature ? d + 4 : d;
            if (u32(r) != p->crc || u32(r + 4) != p->packed || u32(r + 8) != p->size)
                return damaged(QStringLiteral("la parte %1 è danneggiata").arg(name));
            expected += signature ? 16 : 12;
        }
        if (expected > indexAt)
            return damaged(QStringLiteral("la parte %1 è tronca").arg(name));
    }
    if (expected != indexAt)
        return damaged(QStringLiteral("l'archivio è danneggiato"));
    return {};
}

} // namespace sheets
