#include "XlsxCheck.h"

#include <QFile>

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <map>

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

// Whether the document closes its first element at its end: the writer writes each part from
// its start to that tag, so a part without it was cut short.
bool closesRoot(const QByteArray& xml) {
    const QByteArray root = rootName(xml);
    if (root.isEmpty())
        return false;
    const QByteArray text = xml.trimmed();
    return text.endsWith("</" + root + '>') ||
           (text.endsWith("/>") && text.indexOf('<' + root) == text.lastIndexOf('<'));
}

// The row number of the worksheet's last row: the writer writes rows in order.
int lastRowOf(const QByteArray& xml) {
    static const QByteArray tag("<row r=\"");
    const qsizetype at = xml.lastIndexOf(tag);
    if (at < 0)
        return 0;
    const qsizetype from = at + tag.size();
    const qsizetype to = xml.indexOf('"', from);
    return to < 0 ? 0 : xml.mid(from, to - from).toInt();
}

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
    QByteArray text;
    if (part.method == 0) {
        text = QByteArray::fromRawData(base + start, qsizetype(part.packed));
    } else if (part.method == 8) {
        // The sizes come from the archive's index: a part far larger than any the writer makes
        // is damage, not something to make room for.
        if (part.size > (1u << 30))
            return broken();
        text.resize(qsizetype(part.size));
        z_stream z{};
        if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
            return damaged(QStringLiteral("memoria insufficiente"));
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(base + start));
        z.avail_in = part.packed;
        z.next_out = reinterpret_cast<Bytef*>(text.data());
        z.avail_out = part.size;
        const int rc = inflate(&z, Z_FINISH);
        const bool whole = rc == Z_STREAM_END && z.total_out == part.size;
        inflateEnd(&z);
        if (!whole)
            return broken();
    } else {
        return damaged(QStringLiteral("la parte %1 usa una compressione sconosciuta")
                           .arg(QString::fromUtf8(part.name)));
    }
    const auto crc = crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(text.constData()),
                           uInt(text.size()));
    if (crc != part.crc || std::uint64_t(text.size()) != part.size)
        return broken();
    if (xml && !closesRoot(text))
        return damaged(
            QStringLiteral("la parte %1 è incompleta").arg(QString::fromUtf8(part.name)));
    if (sheetNumber(part.name) > 0)
        lastRow = std::max(lastRow, lastRowOf(text));
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
