#include "SheetFile.h"

#include "ImportMessages.h"
#include "StoredValues.h"
#include "XlsConvert.h"
#include "XlsProcess.h"

#include "text/ScopedCLocale.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <orcus/csv_parser.hpp>
#include <orcus/orcus_ods.hpp>
#include <orcus/orcus_xlsx.hpp>

#include <cmath>
#include <exception>

namespace pricelists {
namespace {

void setPercent(ReadProgress* p, int value) {
    if (p)
        p->percent.store(value);
}
bool cancelled(ReadProgress* p) {
    return p && p->cancel.load();
}

QString kindName(FileKind k) {
    switch (k) {
    case FileKind::Xlsx:
        return QStringLiteral("foglio Excel .xlsx");
    case FileKind::Ods:
        return QStringLiteral("foglio OpenDocument .ods");
    case FileKind::Csv:
        return QStringLiteral("file di testo .csv");
    case FileKind::Xls:
        return QStringLiteral("foglio Excel .xls");
    case FileKind::Unknown:
        break;
    }
    return QString();
}

struct TooManyRows {};

bool anyValue(const Workbook& book) {
    for (const Sheet& s : book.sheets)
        for (const Row& r : s.rows)
            if (!r.empty())
                return true;
    return false;
}

Result<Workbook> readArchive(const QString& path, FileKind kind, const QString& workDir,
                             const ReadLimits& limits, ReadProgress* progress) {
    Result<ZipFacts> facts =
        checkArchive(path, kindName(kind), limits.zip, progress ? &progress->cancel : nullptr);
    if (!facts)
        return facts.error();
    setPercent(progress, 10);
    QString source = path;
    // An .ods whose repeats stand for more cells than are read: a copy with them bounded, so
    // that the library does not go through cells left aside one by one.
    const RepeatBounds bounds{limits.maxColumns, std::int64_t(limits.maxRows) + 1};
    const bool repeated = kind == FileKind::Ods && (facts->mostColumnsRepeated > bounds.columns ||
                                                    facts->mostRowsRepeated > bounds.rows);
    if ((kind == FileKind::Xlsx && (facts->absoluteTargets || facts->inlineStrings)) || repeated) {
        source = workDir + (kind == FileKind::Xlsx ? QStringLiteral("/listino-riparato.xlsx")
                                                   : QStringLiteral("/listino-riparato.ods"));
        if (Status s = writeRepaired(path, source, limits.zip, bounds); !s)
            return s.error();
        if (cancelled(progress)) {
            QFile::remove(source);
            return makeError(msg::cancelled());
        }
        QFile::setPermissions(source, QFile::ReadOwner | QFile::WriteOwner);
    }
    auto removeCopy = [&] {
        if (source != path)
            QFile::remove(source);
    };
    try {
        StoredValues factory(limits, progress);
        factory.expect(facts->declaredValues);
        const std::string file = QFile::encodeName(source).toStdString();
        if (kind == FileKind::Xlsx) {
            orcus::orcus_xlsx filter(&factory);
            filter.read_file(file);
        } else {
            orcus::orcus_ods filter(&factory);
            filter.read_file(file);
        }
        removeCopy();
        if (cancelled(progress))
            return makeError(msg::cancelled());
        Workbook book = factory.take();
        if (kind == FileKind::Xlsx && facts->declaredValues > 0 && !anyValue(book))
            return makeError(msg::nothingRead(path));
        return book;
    } catch (const ReadStopped& stop) {
        removeCopy();
        if (stop.why == ReadStopped::Why::Cancelled)
            return makeError(msg::cancelled());
        return makeError(msg::tooManyRows(stop.sheet, limits.maxRows));
    } catch (const std::exception& e) {
        removeCopy();
        return makeError(msg::damagedDetail(path, QString::fromLocal8Bit(e.what()).left(200)));
    }
}

// Collects the cells of a CSV text as texts.
class CsvRows {
public:
    CsvRows(Sheet& sheet, const ReadLimits& limits, ReadProgress* progress)
        : m_sheet(sheet), m_limits(limits), m_progress(progress) {}
    void begin_parse() {}
    void end_parse() {}
    void begin_row() {
        if (int(m_sheet.rows.size()) >= m_limits.maxRows)
            throw TooManyRows();
        if ((m_sheet.rows.size() & 1023) == 0 && cancelled(m_progress))
            throw TooManyRows();
        m_sheet.rows.emplace_back();
        m_column = 0;
    }
    void end_row() {}
    void cell(const char* p, std::size_t n, bool) {
        const int column = m_column++;
        if (n == 0 || column >= m_limits.maxColumns)
            return;
        Row& row = m_sheet.rows.back();
        row.resize(std::size_t(column) + 1);
        row[std::size_t(column)].kind = Cell::Kind::Text;
        row[std::size_t(column)].text = QString::fromUtf8(p, qsizetype(n));
    }

private:
    Sheet& m_sheet;
    const ReadLimits& m_limits;
    ReadProgress* m_progress;
    int m_column = 0;
};

// The delimiter most frequent in the first line outside quotes: a semicolon or a tab, else a
// comma.
char delimiterOf(const QByteArray& text) {
    int semicolons = 0, tabs = 0, commas = 0;
    bool quoted = false;
    for (char c : text) {
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && (c == '\n' || c == '\r'))
            break;
        else if (!quoted && c == ';')
            ++semicolons;
        else if (!quoted && c == '\t')
            ++tabs;
        else if (!quoted && c == ',')
            ++commas;
    }
    if (semicolons == 0 && tabs == 0)
        return ',';
    return semicolons >= tabs ? ';' : '\t';
}

Result<QByteArray> readBounded(const QString& path, const ReadLimits& limits) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return makeError(msg::cannotOpen(path, f.errorString()));
    if (f.size() > limits.maxFileBytes)
        return makeError(msg::tooBig(path, limits.maxFileBytes / (1024 * 1024)));
    QByteArray data = f.read(limits.maxFileBytes + 1);
    if (f.error() != QFileDevice::NoError)
        return makeError(msg::cannotOpen(path, f.errorString()));
    return data;
}

Result<Workbook> readCsv(const QString& path, const ReadLimits& limits, ReadProgress* progress) {
    Result<QByteArray> data = readBounded(path, limits);
    if (!data)
        return data.error();
    QByteArray& text = *data;
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    if (text.left(8192).contains('\0') || text.startsWith("PK\x03\x04") ||
        text.startsWith("\xD0\xCF\x11\xE0"))
        return makeError(msg::notWhatItSays(path, kindName(FileKind::Csv)));
    // Not UTF-8: the Windows code page of the spreadsheets of the region.
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decoded = utf8(text);
    if (utf8.hasError()) {
        QStringDecoder windows("windows-1252");
        text = (windows.isValid() ? QString(windows(text)) : QString::fromLatin1(text)).toUtf8();
    }
    // Line ends of any system, as the parser knows only the line feed.
    text.replace("\r\n", "\n");
    text.replace('\r', '\n');
    setPercent(progress, 20);
    Workbook book;
    Sheet sheet;
    sheet.name = QFileInfo(path).completeBaseName();
    orcus::csv::parser_config config;
    sheet.separator = delimiterOf(text);
    config.delimiters = std::string(1, sheet.separator);
    config.text_qualifier = '"';
    config.trim_cell_value = true;
    CsvRows rows(sheet, limits, progress);
    try {
        orcus::csv_parser<CsvRows> parser(text.constData(), std::size_t(text.size()), rows, config);
        parser.parse();
    } catch (const TooManyRows&) {
        if (cancelled(progress))
            return makeError(msg::cancelled());
        return makeError(msg::tooManyRows(sheet.name, limits.maxRows));
    } catch (const std::exception& e) {
        return makeError(msg::damagedDetail(path, QString::fromLocal8Bit(e.what()).left(200)));
    }
    while (!sheet.rows.empty() && sheet.rows.back().empty())
        sheet.rows.pop_back();
    book.sheets.push_back(std::move(sheet));
    return book;
}

Result<Workbook> readXls(const QString& path, const QString& workDir, const ReadLimits& limits,
                         ReadProgress* progress) {
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return makeError(msg::cannotOpen(path, f.errorString()));
        if (f.read(8) != QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8))
            return makeError(msg::notWhatItSays(path, kindName(FileKind::Xls)));
        if (f.size() > limits.maxFileBytes)
            return makeError(msg::tooBig(path, limits.maxFileBytes / (1024 * 1024)));
    }
    setPercent(progress, 5);
    // LibreOffice first, for the formulas' results; libfreexl where it cannot.
    const Converted converted = convertXls(path, workDir, limits, progress);
    QString why = converted.why;
    if (!converted.xlsx.isEmpty()) {
        Result<Workbook> book =
            readArchive(converted.xlsx, FileKind::Xlsx, workDir, limits, progress);
        QDir(converted.folder).removeRecursively();
        if (book || cancelled(progress))
            return book;
        why = QStringLiteral("la conversione con LibreOffice non si legge");
    }
    if (!converted.folder.isEmpty())
        QDir(converted.folder).removeRecursively();
    if (converted.cancelled)
        return makeError(msg::cancelled());
    setPercent(progress, 10);
    Result<Workbook> book = readXlsApart(path, limits, progress);
    if (book) {
        book->formulasUnread = why;
        for (Sheet& s : book->sheets)
            s.formulasUnread = true;
    }
    return book;
}

} // namespace

FileKind kindOf(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("xlsx") || suffix == QLatin1String("xlsm"))
        return FileKind::Xlsx;
    if (suffix == QLatin1String("ods"))
        return FileKind::Ods;
    if (suffix == QLatin1String("csv") || suffix == QLatin1String("txt"))
        return FileKind::Csv;
    if (suffix == QLatin1String("xls"))
        return FileKind::Xls;
    return FileKind::Unknown;
}

Result<Workbook> readWorkbook(const QString& path, const QString& workDir, const ReadLimits& limits,
                              ReadProgress* progress) {
    // Numbers in the files are read with a full stop, whatever the desktop's locale.
    ScopedCLocale cLocale;
    const FileKind kind = kindOf(path);
    Result<Workbook> book = makeError(msg::unknownKind(path));
    switch (kind) {
    case FileKind::Xlsx:
    case FileKind::Ods:
        book = readArchive(path, kind, workDir, limits, progress);
        break;
    case FileKind::Csv:
        book = readCsv(path, limits, progress);
        break;
    case FileKind::Xls:
        book = readXls(path, workDir, limits, progress);
        break;
    case FileKind::Unknown:
        break;
    }
    if (book)
        setPercent(progress, 100);
    return book;
}

} // namespace pricelists
