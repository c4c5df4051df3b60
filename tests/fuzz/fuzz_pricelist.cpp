// A price list read from any bytes, the way the import reads a file the agent picks: the
// archive's checks, the spreadsheet library's reading (.xlsx, .ods, .csv), the header and
// columns found, the numbers read, and the preview against a small catalogue. A .xls file is
// read by a process of its own (gestione-leggixls), not started here for each input: bytes that
// begin as that process's output are decoded as the program decodes it, in pieces as a pipe
// brings them. Whatever the bytes, the reading ends with a workbook or an Italian message, and
// what it gives holds together.

#include "FuzzCheck.h"

#include "data/AddedTables.h"
#include "data/Database.h"
#include "data/Schema.h"
#include "pricelists/ColumnMap.h"
#include "pricelists/ListRows.h"
#include "pricelists/PriceListStore.h"
#include "pricelists/SheetFile.h"
#include "pricelists/XlsStream.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <cstring>

#include <cmath>

using namespace pricelists;

namespace {

struct Place {
    QTemporaryDir dir;
    std::unique_ptr<Database> db;
};

// A catalogue with a few articles, one of them with a principal's price.
Place& place() {
    static Place* p = [] {
        auto* out = new Place;
        if (!out->dir.isValid())
            std::abort();
        Database::Options o;
        o.create = true;
        auto db =
            Database::open(out->dir.filePath(QStringLiteral("Ordine.mdb")), schema::password(), o);
        if (!db)
            std::abort();
        out->db = std::move(*db);
        Database& d = *out->db;
        Status s = schema::create(d);
        if (s)
            s = d.write([&]() -> Status {
                if (Status r = addedtables::ensure(d); !r)
                    return r;
                return d.exec(
                    "INSERT INTO ARTICOLO (CODICE, ARTICOLO, FORMATO, PESO) VALUES "
                    "('P001', 'PASTA', 'CT 12', 6), ('P002', 'CAFFÈ', NULL, NULL);"
                    "INSERT INTO MANDANTE (NOME) VALUES ('Rossi');"
                    "INSERT INTO PREZZO_LISTINO (CODICE, ID_MANDANTE, PREZZO, VALIDO_DAL) "
                    "VALUES ('P001', 1, 10, '2026-01-01'), ('P009', 1, 2, '2026-01-01');");
            });
        if (!s) {
            std::fprintf(stderr, "%s\n", qPrintable(s.error().text));
            std::abort();
        }
        return out;
    }();
    return *p;
}

// The kind the bytes are, as the file's name would say it.
const char* suffixOf(const QByteArray& bytes) {
    if (bytes.startsWith("PK"))
        return bytes.contains("opendocument") ? "ods" : "xlsx";
    if (bytes.startsWith("\xD0\xCF\x11\xE0"))
        return "xls";
    return "csv";
}

} // namespace

// The catalogue is made before the runs: its key derivation is slow under the sanitizers and
// must not count as a slow input.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    place();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Place& p = place();
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    ReadLimits limits;
    limits.zip.maxInflated = 8 * 1024 * 1024;
    limits.maxRows = 5000;
    limits.maxFileBytes = 1024 * 1024;
    limits.maxXlsOutput = 1024 * 1024;
    const QString path =
        p.dir.filePath(QStringLiteral("listino.") + QLatin1String(suffixOf(bytes)));
    Result<Workbook> book = makeError(QString());
    if (bytes.startsWith(QByteArray(xlsstream::kMark, xlsstream::kMarkSize))) {
        xlsstream::Decoder decoder(path, limits);
        // In three pieces, cut where the bytes' size says.
        const qsizetype a = std::min(bytes.size(), bytes.size() / 3 + (bytes.size() & 7));
        const qsizetype b = std::min(bytes.size(), a + bytes.size() / 2);
        decoder.feed(bytes.constData(), a);
        decoder.feed(bytes.constData() + a, b - a);
        decoder.feed(bytes.constData() + b, bytes.size() - b);
        book = decoder.finish();
        FUZZ_CHECK(decoder.percent() >= 0 && decoder.percent() <= 100, QString());
    } else {
        // Bytes of a .xls file are for the reader's process, tried on its own.
        if (std::strcmp(suffixOf(bytes), "xls") == 0)
            return 0;
        {
            QFile f(path);
            if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
                f.write(bytes) != bytes.size())
                std::abort();
        }
        book = readWorkbook(path, p.dir.path(), limits);
        QFile::remove(path);
    }
    if (!book) {
        FUZZ_CHECK(!book.error().text.isEmpty(), QString::fromLatin1(bytes.toHex().left(200)));
        return 0;
    }
    for (const Sheet& sheet : book->sheets) {
        FUZZ_CHECK(int(sheet.rows.size()) <= limits.maxRows, sheet.name);
        for (const Row& row : sheet.rows)
            FUZZ_CHECK(int(row.size()) <= limits.maxColumns, sheet.name);
        const Mapping m = findMapping(sheet);
        (void)validFromAbove(sheet, m.headerRow);
        const ListRows rows = readRows(sheet, m);
        for (const Entry& e : rows.entries) {
            FUZZ_CHECK(!e.code.isEmpty() && e.code.size() <= kMaxCode, e.code);
            FUZZ_CHECK(std::isfinite(e.price) && e.price > 0, e.code);
            FUZZ_CHECK(e.row > m.headerRow + 1, e.code);
        }
        Result<Preview> preview = makePreview(*p.db, 1, rows, QDate(2027, 2, 1));
        FUZZ_CHECK(preview, preview ? QString() : preview.error().text);
        int counted = 0;
        for (int k = 0; k < kChangeCount; ++k)
            counted += preview->count(Change(k));
        FUZZ_CHECK(counted <= int(preview->items.size()), sheet.name);
    }
    return 0;
}
