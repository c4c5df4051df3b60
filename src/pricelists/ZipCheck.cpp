#include "ZipCheck.h"

#include "ImportMessages.h"

#include <QByteArray>
#include <QFile>
#include <QRegularExpression>

#include <minizip/unzip.h>
#include <minizip/zip.h>

#include <memory>

namespace pricelists {
namespace {

struct UnzCloser {
    void operator()(void* z) const { unzClose(z); }
};
using Unz = std::unique_ptr<void, UnzCloser>;

bool isRelationships(const QByteArray& name) {
    return name == "_rels/.rels" || name == "xl/_rels/workbook.xml.rels";
}
bool isSheet(const QByteArray& name) {
    return name.startsWith("xl/worksheets/") && name.endsWith(".xml");
}

// Counts `needle` in a stream read in pieces, a match across two pieces included.
class Counter {
public:
    explicit Counter(QByteArray needle) : m_needle(std::move(needle)) {}
    void feed(const char* p, int n) {
        QByteArray chunk = m_tail + QByteArray::fromRawData(p, n);
        m_count += chunk.count(m_needle);
        const int keep = int(m_needle.size()) - 1;
        m_tail = chunk.size() > keep ? chunk.right(keep) : chunk;
    }
    std::int64_t count() const { return m_count; }
    void restart() { m_tail.clear(); }

private:
    QByteArray m_needle;
    QByteArray m_tail;
    std::int64_t m_count = 0;
};

// The repeats of an .ods's content, "table:number-columns-repeated="16384"", as they come in
// pieces: the most of each kind.
class Repeats {
public:
    void feed(const char* p, int n) {
        const QByteArray chunk = m_tail + QByteArray::fromRawData(p, n);
        for (qsizetype at = chunk.indexOf(kAttribute); at >= 0;
             at = chunk.indexOf(kAttribute, at + 1)) {
            const qsizetype start = at + qsizetype(sizeof kAttribute) - 1;
            qsizetype end = start;
            while (end < chunk.size() && end - start < 19 && chunk[end] >= '0' && chunk[end] <= '9')
                ++end;
            if (end == chunk.size())
                break; // the number goes on in the next piece
            const std::int64_t value = chunk.mid(start, end - start).toLongLong();
            std::int64_t& most =
                chunk.mid(std::max<qsizetype>(0, at - 7), 7) == "columns" ? columns : rows;
            most = std::max(most, value);
        }
        m_tail = chunk.right(64);
    }
    std::int64_t columns = 0;
    std::int64_t rows = 0;
    static constexpr char kAttribute[] = "-repeated=\"";

private:
    QByteArray m_tail;
};

// The content with each repeat no greater than its bound.
QByteArray boundedRepeats(const QByteArray& content, const RepeatBounds& bounds) {
    QByteArray out;
    out.reserve(content.size());
    qsizetype from = 0;
    for (qsizetype at = content.indexOf(Repeats::kAttribute); at >= 0;
         at = content.indexOf(Repeats::kAttribute, at + 1)) {
        const qsizetype start = at + qsizetype(sizeof Repeats::kAttribute) - 1;
        qsizetype end = start;
        while (end < content.size() && content[end] >= '0' && content[end] <= '9')
            ++end;
        const bool columns = content.mid(std::max<qsizetype>(0, at - 7), 7) == "columns";
        const std::int64_t bound = columns ? bounds.columns : bounds.rows;
        bool ok = false;
        const std::int64_t value = content.mid(start, end - start).toLongLong(&ok);
        if (bound > 0 && (!ok || value > bound)) {
            out.append(content.constData() + from, start - from);
            out.append(QByteArray::number(bound));
            from = end;
        }
    }
    out.append(content.constData() + from, content.size() - from);
    return out;
}

QByteArray currentName(void* z, unz_file_info64* info) {
    char name[1024];
    if (unzGetCurrentFileInfo64(z, info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK)
        return {};
    return QByteArray(name);
}

} // namespace

Result<ZipFacts> checkArchive(const QString& path, const QString& kind, const ZipLimits& limits,
                              const std::atomic_bool* cancel) {
    QFile probe(path);
    if (!probe.open(QIODevice::ReadOnly))
        return makeError(msg::cannotOpen(path, probe.errorString()));
    if (probe.read(4) != QByteArray("PK\x03\x04", 4))
        return makeError(msg::notWhatItSays(path, kind));
    probe.close();

    Unz z(unzOpen64(QFile::encodeName(path).constData()));
    if (!z)
        return makeError(msg::damaged(path, QStringLiteral("l'indice dell'archivio manca")));
    unz_global_info64 global{};
    if (unzGetGlobalInfo64(z.get(), &global) != UNZ_OK)
        return makeError(msg::damaged(path, QStringLiteral("l'indice dell'archivio non si legge")));
    if (global.number_entry > std::uint64_t(limits.maxEntries))
        return makeError(msg::tooBig(path, limits.maxInflated / (1024 * 1024)));

    // First by the sizes the archive declares: nothing is inflated when they pass the bound.
    std::uint64_t declared = 0;
    for (int rc = unzGoToFirstFile(z.get()); rc == UNZ_OK; rc = unzGoToNextFile(z.get())) {
        unz_file_info64 info{};
        if (currentName(z.get(), &info).isEmpty())
            return makeError(msg::damaged(path, QStringLiteral("una parte non ha nome")));
        declared += info.uncompressed_size;
        if (declared > std::uint64_t(limits.maxInflated))
            return makeError(msg::tooBig(path, limits.maxInflated / (1024 * 1024)));
    }

    // Then by what it really gives, each part checked against its checksum.
    ZipFacts facts;
    Counter values("<v>"), inlines("<is>"), inlineType("inlineStr");
    Repeats repeats;
    std::int64_t total = 0;
    std::vector<char> buffer(64 * 1024);
    for (int rc = unzGoToFirstFile(z.get()); rc == UNZ_OK; rc = unzGoToNextFile(z.get())) {
        unz_file_info64 info{};
        const QByteArray name = currentName(z.get(), &info);
        if (unzOpenCurrentFile(z.get()) != UNZ_OK)
            return makeError(msg::damaged(
                path, QStringLiteral("la parte %1 non si apre").arg(QString::fromUtf8(name))));
        const bool rels = isRelationships(name);
        const bool sheet = isSheet(name);
        const bool content = name == "content.xml";
        QByteArray relsText;
        std::int64_t partBytes = 0;
        values.restart();
        inlines.restart();
        inlineType.restart();
        while (true) {
            if (cancel && cancel->load()) {
                unzCloseCurrentFile(z.get());
                return makeError(msg::cancelled());
            }
            const int n = unzReadCurrentFile(z.get(), buffer.data(), unsigned(buffer.size()));
            if (n < 0) {
                unzCloseCurrentFile(z.get());
                return makeError(msg::damaged(
                    path,
                    QStringLiteral("la parte %1 non si espande").arg(QString::fromUtf8(name))));
            }
            if (n == 0)
                break;
            total += n;
            partBytes += n;
            if (total > limits.maxInflated || std::uint64_t(partBytes) > info.uncompressed_size) {
                unzCloseCurrentFile(z.get());
                return makeError(msg::tooBig(path, limits.maxInflated / (1024 * 1024)));
            }
            if (rels)
                relsText.append(buffer.data(), n);
            if (content)
                repeats.feed(buffer.data(), n);
            if (sheet) {
                values.feed(buffer.data(), n);
                inlines.feed(buffer.data(), n);
                inlineType.feed(buffer.data(), n);
            }
        }
        if (unzCloseCurrentFile(z.get()) != UNZ_OK)
            return makeError(msg::damaged(path, QStringLiteral("la parte %1 non torna col suo "
                                                               "controllo")
                                                    .arg(QString::fromUtf8(name))));
        if (rels && relsText.contains("Target=\"/"))
            facts.absoluteTargets = true;
    }
    facts.declaredValues = values.count() + inlines.count();
    facts.inlineStrings = inlineType.count() > 0;
    facts.mostColumnsRepeated = repeats.columns;
    facts.mostRowsRepeated = repeats.rows;
    return facts;
}

namespace {

// Relationship targets made relative to the part that names them.
QByteArray relativeTargets(const QByteArray& name, QByteArray text) {
    if (name == "_rels/.rels")
        return text.replace("Target=\"/", "Target=\"");
    return text.replace("Target=\"/xl/", "Target=\"");
}

// Inline texts of a sheet (t="inlineStr", which the library leaves empty) moved to the shared
// texts: an <is> element has the content of a shared <si>, so it moves whole.
QByteArray sharedInlineTexts(const QByteArray& sheet, QByteArray& shared, int& count) {
    static const QRegularExpression cell(
        QStringLiteral("<c([^>]*?) t=\"inlineStr\"([^>]*)>\\s*<is>(.*?)</is>\\s*</c>"),
        QRegularExpression::DotMatchesEverythingOption);
    const QString text = QString::fromUtf8(sheet);
    QString out;
    out.reserve(text.size());
    qsizetype from = 0;
    QRegularExpressionMatchIterator it = cell.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        out.append(QStringView(text).mid(from, m.capturedStart() - from));
        out.append(QStringLiteral("<c%1 t=\"s\"%2><v>%3</v></c>")
                       .arg(m.captured(1), m.captured(2))
                       .arg(count++));
        shared.append("<si>").append(m.captured(3).toUtf8()).append("</si>");
        from = m.capturedEnd();
    }
    out.append(QStringView(text).mid(from));
    return out.toUtf8();
}

} // namespace

Status writeRepaired(const QString& path, const QString& target, const ZipLimits& limits,
                     const RepeatBounds& repeats) {
    Unz z(unzOpen64(QFile::encodeName(path).constData()));
    if (!z)
        return makeError(msg::damaged(path, QStringLiteral("l'indice dell'archivio manca")));
    zipFile out = zipOpen64(QFile::encodeName(target).constData(), APPEND_STATUS_CREATE);
    if (!out)
        return makeError(msg::cannotOpen(target, QStringLiteral("la copia di lavoro non si "
                                                                "scrive")));
    bool ok = true;
    std::vector<std::pair<QByteArray, QByteArray>> parts;
    std::int64_t total = 0;
    for (int rc = unzGoToFirstFile(z.get()); ok && rc == UNZ_OK; rc = unzGoToNextFile(z.get())) {
        unz_file_info64 info{};
        const QByteArray name = currentName(z.get(), &info);
        total += std::int64_t(info.uncompressed_size);
        if (total > limits.maxInflated || unzOpenCurrentFile(z.get()) != UNZ_OK) {
            ok = false;
            break;
        }
        QByteArray data;
        data.reserve(qsizetype(info.uncompressed_size));
        char buffer[64 * 1024];
        int n = 0;
        while ((n = unzReadCurrentFile(z.get(), buffer, sizeof buffer)) > 0) {
            data.append(buffer, n);
            if (data.size() > qsizetype(info.uncompressed_size)) {
                n = -1;
                break;
            }
        }
        if (unzCloseCurrentFile(z.get()) != UNZ_OK || n < 0) {
            ok = false;
            break;
        }
        parts.emplace_back(name, std::move(data));
    }
    // The shared texts: those the workbook has, then the inline ones of its sheets.
    QByteArray shared;
    int count = 0;
    int sharedPart = -1;
    for (int i = 0; i < int(parts.size()); ++i) {
        if (parts[std::size_t(i)].first == "xl/sharedStrings.xml") {
            sharedPart = i;
            const QByteArray& t = parts[std::size_t(i)].second;
            count = int(t.count("<si>") + t.count("<si "));
        }
    }
    const int existing = count;
    for (auto& [name, data] : parts) {
        if (isRelationships(name))
            data = relativeTargets(name, data);
        else if (isSheet(name) && data.contains("inlineStr"))
            data = sharedInlineTexts(data, shared, count);
        else if (name == "content.xml")
            data = boundedRepeats(data, repeats);
    }
    if (count > existing) {
        if (sharedPart >= 0) {
            QByteArray& t = parts[std::size_t(sharedPart)].second;
            const qsizetype end = t.lastIndexOf("</sst>");
            if (end < 0)
                ok = false;
            else
                t.insert(end, shared);
        } else {
            parts.emplace_back("xl/sharedStrings.xml",
                               "<?xml version=\"1.0\" encoding=\"UTF-8\"?><sst xmlns=\"http://"
                               "schemas.openxmlformats.org/spreadsheetml/2006/main\">" +
                                   shared + "</sst>");
            for (auto& [name, data] : parts) {
                if (name == "xl/_rels/workbook.xml.rels")
                    data.replace("</Relationships>",
                                 "<Relationship Id=\"rIdListinoTesti\" Type=\"http://"
                                 "schemas.openxmlformats.org/officeDocument/2006/relationships/"
                                 "sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>");
                else if (name == "[Content_Types].xml")
                    data.replace("</Types>",
                                 "<Override PartName=\"/xl/sharedStrings.xml\" ContentType=\""
                                 "application/vnd.openxmlformats-officedocument.spreadsheetml."
                                 "sharedStrings+xml\"/></Types>");
            }
        }
    }
    for (const auto& [name, data] : parts) {
        if (!ok)
            break;
        zip_fileinfo zi{};
        ok = zipOpenNewFileInZip64(out, name.constData(), &zi, nullptr, 0, nullptr, 0, nullptr,
                                   Z_DEFLATED, 1, data.size() > 0xffffffffLL) == ZIP_OK &&
             zipWriteInFileInZip(out, data.constData(), unsigned(data.size())) == ZIP_OK &&
             zipCloseFileInZip(out) == ZIP_OK;
    }
    if (zipClose(out, nullptr) != ZIP_OK)
        ok = false;
    if (!ok) {
        QFile::remove(target);
        return makeError(msg::damaged(path, QStringLiteral("la copia di lavoro non si scrive")));
    }
    return {};
}

} // namespace pricelists
