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

} // namespace

Status checkXlsx(const QString& path, const std::vector<int>& lastRows) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return damaged(QStringLiteral("il file non si può rileggere"));
    const QByteArray zip = f.readAll();
    f.close();
    // The end record: 22 bytes and a comment of at most 65535.
    qint64 end = -1;
    for (qint64 i = zip.size() - 22; i >= 0 && i >= zip.size() - 22 - 65535; --i)
        if (u32(zip.constData() + i) == 0x06054b50) {
            end = i;
            break;
        }
    if (end < 0)
        return damaged(QStringLiteral("l'archivio è incompleto"));
    const char* e = zip.constData() + end;
    const int count = u16(e + 10);
    qint64 at = u32(e + 16);
    std::map<int, int> sheets;
    for (int i = 0; i < count; ++i) {
        if (at + 46 > end || u32(zip.constData() + at) != 0x02014b50)
            return damaged(QStringLiteral("l'indice dell'archivio è danneggiato"));
        const char* c = zip.constData() + at;
        Part part{QByteArray(c + 46, u16(c + 28)),
                  u16(c + 10),
                  u32(c + 16),
                  u32(c + 20),
                  u32(c + 24),
                  u32(c + 42)};
        at += 46 + u16(c + 28) + u16(c + 30) + u16(c + 32);
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

} // namespace sheets
