// Price lists read from real files of each format (made here by openpyxl, LibreOffice and by
// hand), previewed against the catalogue, applied, undone; and the files that must be refused.

#include "support/Boxes.h"
#include "support/Fixture.h"
#include "support/Ui.h"

#include "data/AddedTables.h"
#include "data/Database.h"
#include "pricelists/ColumnMap.h"
#include "pricelists/ImportMessages.h"
#include "pricelists/ImportWindow.h"
#include "pricelists/ListRows.h"
#include "pricelists/PriceListStore.h"
#include "pricelists/PriceUnit.h"
#include "pricelists/SheetFile.h"
#include "pricelists/StoredValues.h"
#include "pricelists/XlsStream.h"
#include "pricelists/ZipCheck.h"
#include "ui/widgets/ReportList.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

using namespace pricelists;

namespace {

void run(const QString& program, const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    QVERIFY2(p.waitForFinished(120000), qPrintable(program));
    QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0,
             qPrintable(program + QLatin1Char(' ') + QString::fromUtf8(p.readAll())));
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

const QByteArray kFirstList = "\xEF\xBB\xBF"
                              "Codice;Descrizione;Formato;Peso;Prezzo\r\n"
                              "P001;Pàsta di semola;CT 12x500 G;6;10,00\r\n"
                              "P004;Tonno;CT 24;4,8;30\r\n"
                              "P009;Sale fino;CT 12;12;\"2,00\"\r\n";

const QString kUndoQuestion =
    QStringLiteral("Annullare l'ultimo listino importato? I suoi prezzi vengono tolti, gli "
                   "articoli che ha aggiunto vengono tolti e quelli che ha cambiato tornano come "
                   "erano; resta quanto è stato cambiato dopo il listino e restano gli articoli "
                   "aggiunti già usati in ordini.");

struct Read {
    Sheet sheet;
    Mapping mapping;
    ListRows rows;
};

Read readList(const QString& path, const QString& work) {
    Result<Workbook> book = readWorkbook(path, work);
    if (!book)
        qFatal("%s", qPrintable(book.error().text));
    Read r;
    r.sheet = book->sheets.front();
    r.mapping = findMapping(r.sheet);
    r.rows = readRows(r.sheet, r.mapping);
    return r;
}

} // namespace

ImportWindow* importWindow();

class TestPriceLists : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void formats_data();
    void formats();
    void storedResults_data();
    void storedResults();
    void repeatedCells();
    void cancelWhileReading();
    void decimalMark_data();
    void decimalMark();
    void decimalMarkSwitched();
    void badFiles_data();
    void badFiles();
    void xlsReaderWatched_data();
    void xlsReaderWatched();
    void damagedXls();
    void xlsWithoutOffice_data();
    void xlsWithoutOffice();
    void previewColumnsFit();
    void window();
    void failedApplyLeavesNothing();
    void duplicateChosen();
    void catalogueChangedMeanwhile();
    void articleOfAnotherPrincipal();
    void undoKeepsLaterWork();
    void undoOfAnEarlierVersion();
    void listValidLater();
    void unitOfHeading_data();
    void unitOfHeading();
    void pricePerPiece();

private:
    QTemporaryDir m_files;
    QString m_xlsx;
    bool m_made = false;
};

void TestPriceLists::initTestCase() {
    QVERIFY(m_files.isValid());
    m_xlsx = m_files.filePath(QStringLiteral("Listino Rossi.xlsx"));
}

// The files of each format, made once for the tests that read them (LibreOffice takes a while).
void TestPriceLists::init() {
    if (m_made || qstrcmp(QTest::currentTestFunction(), "previewColumnsFit") == 0)
        return;
    m_made = true;
    run(QStringLiteral("/usr/bin/python3"),
        {sourceDir() + QStringLiteral("/tests/pricelists/make_list.py"), m_xlsx});
    run(QStringLiteral("/usr/bin/python3"),
        {sourceDir() + QStringLiteral("/tests/pricelists/make_list.py"),
         m_files.filePath(QStringLiteral("Listino pezzi.xlsx")), QStringLiteral("pezzi")});
    const QString profile =
        QStringLiteral("-env:UserInstallation=file://") + m_files.filePath(QStringLiteral("lo"));
    run(QStringLiteral("soffice"),
        {profile, QStringLiteral("--headless"), QStringLiteral("--convert-to"),
         QStringLiteral("ods"), QStringLiteral("--outdir"), m_files.path(), m_xlsx});
    run(QStringLiteral("soffice"),
        {profile, QStringLiteral("--headless"), QStringLiteral("--convert-to"),
         QStringLiteral("xls:MS Excel 97"), QStringLiteral("--outdir"), m_files.path(), m_xlsx});
    writeFile(m_files.filePath(QStringLiteral("primo.csv")), kFirstList);
    // Prices by formulas: openpyxl stores no results, LibreOffice stores them.
    const QString formulas = m_files.filePath(QStringLiteral("formule.xlsx"));
    run(QStringLiteral("/usr/bin/python3"),
        {sourceDir() + QStringLiteral("/tests/pricelists/make_list.py"), formulas,
         QStringLiteral("formulas")});
    for (const char* to : {"xlsx", "ods"})
        run(QStringLiteral("soffice"),
            {profile, QStringLiteral("--headless"), QStringLiteral("--convert-to"),
             QString::fromLatin1(to), QStringLiteral("--outdir"),
             m_files.filePath(QStringLiteral("calc")), formulas});
}

void TestPriceLists::storedResults_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("refused");
    QTest::addColumn<bool>("dated"); // the date of the title, a formula of today
    const QString noResult = QStringLiteral("una formula senza risultato");
    QTest::newRow("LibreOffice xlsx")
        << "calc/formule.xlsx"
        << QStringList{"F001 ARROTONDATO 5 10.46", "F002 PER ECCESSO 6 2.4",
                       "F003 DA UN ALTRO FOGLIO 1 7.25", "F004 MINUSCOLO 2 3.5"}
        << QStringList{} << true;
    // liborcus hands over no text result of an .ods formula: that row is refused.
    QTest::newRow("LibreOffice ods")
        << "calc/formule.ods"
        << QStringList{"F001 ARROTONDATO 5 10.46", "F002 PER ECCESSO 6 2.4",
                       "F003 DA UN ALTRO FOGLIO 1 7.25"}
        << QStringList{"6 Descrizione (formula): " + noResult} << true;
    QTest::newRow("openpyxl xlsx")
        << "formule.xlsx" << QStringList{}
        << QStringList{"3 Prezzo (formula): " + noResult, "4 Peso (formula): " + noResult,
                       "5 Prezzo (formula): " + noResult, "6 Descrizione (formula): " + noResult}
        << false;
}

// Formulas are read by the results the file stores, never computed: functions the libraries
// do not know, another sheet's cells and today's date included; a formula with no result
// refuses its row, never the file.
void TestPriceLists::storedResults() {
    QFETCH(QString, file);
    QFETCH(QStringList, entries);
    QFETCH(QStringList, refused);
    QFETCH(bool, dated);
    QTemporaryDir work;
    Result<Workbook> book = readWorkbook(m_files.filePath(file), work.path());
    QVERIFY2(book, book ? "" : qPrintable(book.error().text));
    const Sheet& sheet = book->sheets.front();
    const Mapping mapping = findMapping(sheet);
    const ListRows rows = readRows(sheet, mapping);
    QStringList got;
    for (const Entry& e : rows.entries)
        got << QStringLiteral("%1 %2 %3 %4")
                   .arg(e.code, e.description)
                   .arg(e.weight.value_or(-1))
                   .arg(e.price);
    QCOMPARE(got, entries);
    got.clear();
    for (const Refused& r : rows.refused)
        got << QStringLiteral("%1 %2 %3: %4").arg(r.row).arg(r.column, r.text, r.reason);
    QCOMPARE(got, refused);
    const std::optional<QDate> from = validFromAbove(sheet, mapping.headerRow);
    QCOMPARE(from.has_value(), dated);
    if (from)
        QVERIFY(std::abs(from->daysTo(QDate::currentDate())) <= 1);
}

void TestPriceLists::formats_data() {
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<int>("added");   // articles new to the catalogue
    QTest::addColumn<int>("refused"); // rows refused
    QTest::addColumn<QString>("p006");
    // The price of P006 is a formula: openpyxl stores no result for it, LibreOffice does (5);
    // the .xls is read through LibreOffice for it.
    QTest::newRow("xlsx") << "xlsx" << 3 << 2 << "";
    QTest::newRow("ods") << "ods" << 4 << 1 << "5";
    QTest::newRow("xls") << "xls" << 4 << 1 << "5";
}

void TestPriceLists::formats() {
    QFETCH(QString, suffix);
    QFETCH(int, added);
    QFETCH(int, refused);
    QFETCH(QString, p006);
    TestDir dir;
    auto db = dir.open();
    QVERIFY(addedtables::ensure(*db));
    const QString work = dir.path();

    // A first list, by hand in CSV with semicolons, a byte-order mark and accents.
    Read first = readList(m_files.filePath(QStringLiteral("primo.csv")), work);
    QCOMPARE(int(first.rows.entries.size()), 3);
    Result<std::int64_t> principal = principalNamed(*db, QStringLiteral("Rossi Alimentari"));
    QVERIFY(principal);
    Result<Preview> p1 = makePreview(*db, *principal, first.rows, QDate(2026, 9, 1));
    QVERIFY(p1);
    QCOMPARE(p1->count(Change::New), 3);
    QVERIFY(apply(*db, *p1, QStringLiteral("primo.csv"), QDateTime(QDate(2026, 9, 1), QTime(9, 0)),
                  rememberedTexts(first.sheet, first.mapping)));
    QCOMPARE(value(*db, "SELECT ARTICOLO || '|' || PESO || '|' || AGG FROM ARTICOLO "
                        "WHERE CODICE = 'P001'"),
             QStringLiteral("PÀSTA DI SEMOLA|6.0|2026-09-01"));
    const auto articlesBefore = rows(*db, "SELECT * FROM ARTICOLO ORDER BY ID");
    const auto pricesBefore = rows(*db, "SELECT * FROM PREZZO_LISTINO ORDER BY ID");

    // The second list, from the spreadsheet.
    const QString path = m_files.filePath(QStringLiteral("Listino Rossi.") + suffix);
    Read list = readList(path, work);
    QCOMPARE(list.mapping.headerRow, 2);
    QCOMPARE(validFromAbove(list.sheet, list.mapping.headerRow), std::optional(QDate(2027, 2, 1)));
    QCOMPARE(int(list.rows.refused.size()), refused);
    QCOMPARE(list.rows.refused[0].row, 10);
    QCOMPARE(list.rows.refused[0].column, QStringLiteral("Prezzo"));
    QCOMPARE(list.rows.refused[0].text, QStringLiteral("n.d."));
    QCOMPARE(list.rows.refused[0].reason, QStringLiteral("il prezzo non è un numero"));

    Result<Preview> p2 = makePreview(*db, *principal, list.rows, QDate(2027, 2, 1));
    QVERIFY(p2);
    QCOMPARE(p2->count(Change::New), added);
    QCOMPARE(p2->count(Change::Price), 1);
    QCOMPARE(p2->count(Change::Description), 1);
    QCOMPARE(p2->count(Change::Format), 0);
    QCOMPARE(p2->count(Change::Weight), 0);
    QCOMPARE(p2->count(Change::Missing), 1);
    QCOMPARE(p2->count(Change::Refused), refused);
    // P002 is on rows 5 and 9: both reported, the first counts.
    QCOMPARE(p2->count(Change::Duplicate), 2);
    for (const PreviewItem& it : p2->items) {
        if (it.kind == Change::Duplicate)
            QCOMPARE(QStringLiteral("%1 %2 %3 %4 %5")
                         .arg(it.row)
                         .arg(it.code, it.before, it.after)
                         .arg(it.ticked),
                     it.row == 5 ? QStringLiteral("5 P002 righe 5, 9 CAFFÈ MACINATO, 1.234,50 1")
                                 : QStringLiteral("9 P002 righe 5, 9 CAFFÈ DOPPIONE, 9,99 0"));
        if (it.kind == Change::Price) {
            QCOMPARE(it.code, QStringLiteral("P001"));
            QCOMPARE(it.before + " → " + it.after, QStringLiteral("10,00 → 12,50"));
            QCOMPARE(qRound(*it.percent), 25);
        } else if (it.kind == Change::Description) {
            QCOMPARE(it.before + " → " + it.after, QStringLiteral("TONNO → TONNO ALL'OLIO"));
        } else if (it.kind == Change::Missing) {
            QCOMPARE(it.code, QStringLiteral("P009"));
        }
    }

    Result<Applied> done = apply(*db, *p2, QStringLiteral("Listino Rossi.") + suffix,
                                 QDateTime(QDate(2027, 1, 20), QTime(9, 0)),
                                 rememberedTexts(list.sheet, list.mapping));
    QVERIFY2(done, done ? "" : qPrintable(done.error().text));
    QCOMPARE(done->added, added);
    QCOMPARE(done->updated, 1);
    QCOMPARE(value(*db, "SELECT COUNT(*) FROM ARTICOLO"), QString::number(3 + added));
    QCOMPARE(value(*db, "SELECT ARTICOLO || '|' || FORMATO || '|' || PESO || '|' || AGG "
                        "FROM ARTICOLO WHERE CODICE = 'P003'"),
             QStringLiteral("OLIO EXTRAVERGINE D'OLIVA|CT 6X1 LT|6.0|2027-02-01"));
    QCOMPARE(value(*db, "SELECT ARTICOLO || '|' || AGG FROM ARTICOLO WHERE CODICE = 'P004'"),
             QStringLiteral("TONNO ALL'OLIO|2027-02-01"));
    QCOMPARE(value(*db, "SELECT PREZZO FROM PREZZO_LISTINO WHERE CODICE = 'P002'"),
             QStringLiteral("1234.5"));
    QCOMPARE(value(*db, "SELECT PREZZO FROM PREZZO_LISTINO WHERE CODICE = 'P006'"),
             p006.isEmpty() ? QString() : p006 + QStringLiteral(".0"));
    QCOMPARE(value(*db, "SELECT PREZZO FROM LISTINO_COLONNE"), QStringLiteral("Prezzo €"));

    // The price valid on a day: the list that starts on or before it.
    auto priceOn = [&](QDate d) {
        Result<std::optional<ListPrice>> p = listPriceOn(*db, QStringLiteral("p001"), d);
        return p && *p ? (*p)->price : -1.0;
    };
    QCOMPARE(priceOn(QDate(2026, 8, 31)), -1.0);
    QCOMPARE(priceOn(QDate(2027, 1, 31)), 10.0);
    QCOMPARE(priceOn(QDate(2027, 2, 1)), 12.5);

    // Undone: the catalogue and the prices as they were before this list.
    Result<Undone> undone = undoLast(*db);
    QVERIFY(undone);
    QCOMPARE(undone->removed, added);
    QCOMPARE(undone->restored, 1);
    QCOMPARE(rows(*db, "SELECT * FROM ARTICOLO ORDER BY ID"), articlesBefore);
    QCOMPARE(rows(*db, "SELECT * FROM PREZZO_LISTINO ORDER BY ID"), pricesBefore);
    QCOMPARE(value(*db, "SELECT COUNT(*) FROM LISTINO"), QStringLiteral("1"));
    QVERIFY(undoLast(*db));
    QCOMPARE(value(*db, "SELECT COUNT(*) FROM ARTICOLO"), QStringLiteral("0"));
    Result<Undone> none = undoLast(*db);
    QVERIFY(!none);
    QCOMPARE(none.error().text, QStringLiteral("Non c'è alcun listino da annullare."));
}

void TestPriceLists::badFiles_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("make");
    QTest::addColumn<QString>("message");
    QTest::newRow("csv named xlsx")
        << "finto.xlsx"
        << "csv"
        << "Il file «finto.xlsx» non è un foglio Excel .xlsx: il suo contenuto non è quello che "
           "il nome dice. Nulla è stato importato.";
    QTest::newRow("xlsx named xls")
        << "finto.xls"
        << "xlsx"
        << "Il file «finto.xls» non è un foglio Excel .xls: il suo contenuto non è quello che "
           "il nome dice. Nulla è stato importato.";
    QTest::newRow("xlsx named csv")
        << "finto.csv"
        << "xlsx"
        << "Il file «finto.csv» non è un file di testo .csv: il suo contenuto non è quello che "
           "il nome dice. Nulla è stato importato.";
    QTest::newRow("cut short")
        << "rotto.xlsx"
        << "half"
        << "Il file «rotto.xlsx» è danneggiato e non si legge (l'indice dell'archivio manca). "
           "Nulla è stato importato.";
    // The library's own words come last, after "Dettaglio:".
    QTest::newRow("broken sheet")
        << "guasto.xlsx"
        << "broken"
        << "Il file «guasto.xlsx» è danneggiato e non si legge. Nulla è stato importato. "
           "Dettaglio: ";
    QTest::newRow("zip bomb") << "bomba.xlsx"
                              << "bomb"
                              << "Il file «bomba.xlsx» una volta aperto occuperebbe più di 16 MB: "
                                 "non viene letto. Nulla è stato importato.";
    QTest::newRow("too many rows")
        << "lungo.csv"
        << "rows"
        << "Il foglio «lungo» ha più di 1000 righe: un listino così lungo non viene letto. Nulla "
           "è stato importato.";
    QTest::newRow("other kind") << "listino.pdf"
                                << "csv"
                                << "Il file «listino.pdf» non è un listino che il programma sa "
                                   "leggere: sono letti i file .xlsx, .xls, .ods e .csv.";
}

void TestPriceLists::badFiles() {
    QFETCH(QString, name);
    QFETCH(QString, make);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    QFile xlsx(m_xlsx);
    QVERIFY(xlsx.open(QIODevice::ReadOnly));
    const QByteArray whole = xlsx.readAll();
    if (make == QLatin1String("csv"))
        writeFile(path, kFirstList);
    else if (make == QLatin1String("xlsx"))
        writeFile(path, whole);
    else if (make == QLatin1String("half"))
        writeFile(path, whole.left(whole.size() / 2));
    else if (make == QLatin1String("bomb"))
        run(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral("-c"),
             QStringLiteral("import zipfile,sys\n"
                            "z=zipfile.ZipFile(sys.argv[1],'w',zipfile.ZIP_DEFLATED)\n"
                            "z.writestr('[Content_Types].xml','<Types/>')\n"
                            "z.writestr('xl/worksheets/sheet1.xml',b'0'*(40<<20))\n"
                            "z.close()"),
             path});
    else if (make == QLatin1String("broken"))
        run(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral("-c"),
             QStringLiteral("import sys,zipfile\n"
                            "src=zipfile.ZipFile(sys.argv[1])\n"
                            "out=zipfile.ZipFile(sys.argv[2],'w',zipfile.ZIP_DEFLATED)\n"
                            "for i in src.infolist():\n"
                            "  data=src.read(i.filename)\n"
                            "  if i.filename.startswith('xl/worksheets/'):\n"
                            "    data=data.replace(b'</sheetData>',b'</sheetDat>')\n"
                            "  out.writestr(i,data)\n"
                            "out.close()"),
             m_xlsx, path});
    else if (make == QLatin1String("rows")) {
        QByteArray text = "Codice;Prezzo\n";
        for (int i = 0; i < 1000; ++i)
            text += "A" + QByteArray::number(i) + ";1,5\n";
        writeFile(path, text);
    }
    ReadLimits limits;
    limits.zip.maxInflated = 16 * 1024 * 1024;
    limits.maxRows = 1000;
    Result<Workbook> book = readWorkbook(path, dir.path(), limits);
    QVERIFY(!book);
    if (message.endsWith(QLatin1String("Dettaglio: ")))
        QVERIFY2(book.error().text.startsWith(message) && book.error().text.size() > message.size(),
                 qPrintable(book.error().text));
    else
        QCOMPARE(book.error().text, message);
}

// The .xls reader's process replaced by a script: whatever it does or sends, the reading ends
// in bounded time with a message naming the file, and nothing of what it sent is kept.
void TestPriceLists::xlsReaderWatched_data() {
    namespace xs = xlsstream;
    QTest::addColumn<QString>("script");
    QTest::addColumn<QByteArray>("output"); // the script's out.bin
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QString>("message");
    const QByteArray mark(xs::kMark, xs::kMarkSize);
    const QByteArray sheet = mark + xs::sheet("Listino") + xs::text(0, 0, "Codice", 6);
    const QString damaged =
        QStringLiteral("Il file «listino.xls» è danneggiato e non si legge (%1). "
                       "Nulla è stato importato.");
    const QString stopped = damaged.arg(QStringLiteral("la sua lettura si è interrotta"));
    const QString garbled = damaged.arg(QStringLiteral("la sua lettura ha dato dati non validi"));
    QTest::newRow("crashes") << "cat out.bin; kill -SEGV $$" << sheet << false << stopped;
    QTest::newRow("crashes after its end")
        << "cat out.bin; kill -SEGV $$" << sheet + xs::end() << false << stopped;
    QTest::newRow("ends without a word") << "exit 0" << QByteArray() << false << stopped;
    QTest::newRow("fails after its end")
        << "cat out.bin; exit 3" << sheet + xs::end() << false << stopped;
    QTest::newRow("hangs") << "exec sleep 600" << QByteArray() << false
                           << damaged.arg(QStringLiteral("la sua lettura non è finita entro 2 "
                                                         "secondi"));
    QTest::newRow("closes its output and lingers")
        << "cat out.bin; exec sleep 600 >&-" << sheet + xs::end() << false
        << damaged.arg(QStringLiteral("la sua lettura non è finita entro 2 secondi"));
    QTest::newRow("writes no records") << "exec yes" << QByteArray() << false << garbled;
    QTest::newRow("writes past its end")
        << "cat out.bin" << sheet + xs::end() + xs::progress(5) << false << garbled;
    QTest::newRow("a cell below the last row")
        << "cat out.bin" << sheet + xs::number(1000, 0, 1) + xs::end() << false << garbled;
    QTest::newRow("a cell right of the last column")
        << "cat out.bin" << sheet + xs::number(1, 64, 1) + xs::end() << false << garbled;
    QTest::newRow("a cell twice") << "cat out.bin" << sheet + xs::text(0, 0, "X", 1) + xs::end()
                                  << false << garbled;
    QTest::newRow("a cell before any sheet")
        << "cat out.bin" << mark + xs::number(0, 0, 1) + xs::end() << false << garbled;
    QByteArray longRecord = sheet + xs::text(1, 0, "A", 1);
    longRecord[longRecord.size() - 8] = char(0x7f); // its length, far beyond a cell's
    QTest::newRow("a record too long") << "cat out.bin" << longRecord << false << garbled;
    QByteArray flood = mark;
    while (flood.size() <= 1024 * 1024)
        flood += xs::progress(50);
    QTest::newRow("floods") << "cat out.bin; exec sleep 600" << flood << false
                            << QStringLiteral("Il file «listino.xls» una volta aperto occuperebbe "
                                              "più di 1 MB: non viene letto. Nulla è stato "
                                              "importato.");
    QTest::newRow("refuses a long sheet")
        << "cat out.bin" << mark + xs::refusal(xs::Refusal::TooManyRows, "Foglio1") << false
        << QStringLiteral("Il foglio «Foglio1» ha più di 1000 righe: un listino così lungo non "
                          "viene letto. Nulla è stato importato.");
    QTest::newRow("cancelled") << "exec sleep 600" << QByteArray() << true
                               << QStringLiteral("Lettura del listino annullata.");
    QTest::newRow("missing") << "" << QByteArray() << false
                             << QStringLiteral("Il file «listino.xls» non si legge: il programma "
                                               "che legge i fogli .xls (%1) non si può avviare. "
                                               "Nulla è stato importato.");
}

void TestPriceLists::xlsReaderWatched() {
    QFETCH(QString, script);
    QFETCH(QByteArray, output);
    QFETCH(bool, cancel);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("listino.xls"));
    QVERIFY(QFile::copy(m_files.filePath(QStringLiteral("Listino Rossi.xls")), path));
    writeFile(dir.filePath(QStringLiteral("out.bin")), output);
    const QString reader = dir.filePath(QStringLiteral("lettore.sh"));
    if (script.isEmpty()) {
        message = message.arg(reader);
    } else {
        writeFile(reader, ("#!/bin/sh\ncd '" + dir.path() + "'\n" + script + "\n").toUtf8());
        QVERIFY(QFile::setPermissions(reader, QFile::ReadOwner | QFile::ExeOwner));
    }
    ReadLimits limits;
    limits.maxRows = 1000;
    limits.maxXlsOutput = 1024 * 1024;
    limits.xlsQuietMs = 2000;
    limits.xlsProgram = QFile::encodeName(reader);
    limits.officeProgram = "/nonexistent/soffice";
    ReadProgress progress;
    progress.cancel = cancel;
    QElapsedTimer took;
    took.start();
    Result<Workbook> book = readWorkbook(path, dir.path(), limits, &progress);
    QVERIFY(!book);
    QCOMPARE(book.error().text, message);
    QVERIFY(took.elapsed() < 10000);
}

// A .xls file on which the spreadsheet library reads past its own memory: the file is told
// damaged, nothing is imported, and the program goes on.
void TestPriceLists::damagedXls() {
    using namespace boxes;
    App app;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("danneggiato.xls"));
    QVERIFY(QFile::copy(sourceDir() + QStringLiteral("/tests/pricelists/danneggiato.xls"), path));
    app.dialogs.answerChoice(path);
    ui::menu(app.window.get(), "ImportaListino");
    const QList<ScriptedDialogs::Box> boxes = app.dialogs.take();
    QCOMPARE(boxes.size(), 2);
    const QString text = boxes.last().text;
    QVERIFY2(text.startsWith(QStringLiteral("Il file «danneggiato.xls» è danneggiato e non si "
                                            "legge (")) &&
                 text.endsWith(QStringLiteral("). Nulla è stato importato.")),
             qPrintable(text));
    QVERIFY(!importWindow());
    QCOMPARE(value(app.db(), "SELECT COUNT(*) FROM ARTICOLO"), QStringLiteral("0"));
    // The program still reads a sound file after it.
    Read sound = readList(m_files.filePath(QStringLiteral("Listino Rossi.xls")), dir.path());
    QVERIFY(!sound.rows.entries.empty());
}

// Where LibreOffice cannot turn the .xls into an .xlsx, the list is read all the same, the
// reason kept for the window, and a price that came empty may be a formula: its row says so.
void TestPriceLists::xlsWithoutOffice_data() {
    QTest::addColumn<QString>("office"); // a script in its place; empty for none on the PATH
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QString>("why");
    QTest::newRow("not installed") << "" << false << "LibreOffice non è installato";
    QTest::newRow("fails") << "exit 1" << false << "la conversione con LibreOffice non è riuscita";
    QTest::newRow("writes nothing")
        << "exit 0" << false << "la conversione con LibreOffice non è riuscita";
    QTest::newRow("hangs") << "exec sleep 600" << false
                           << "la conversione con LibreOffice non è finita entro 1 secondi";
    QTest::newRow("cancelled") << "exec sleep 600" << true << "";
}

void TestPriceLists::xlsWithoutOffice() {
    QFETCH(QString, office);
    QFETCH(bool, cancel);
    QFETCH(QString, why);
    QTemporaryDir dir;
    ReadLimits limits;
    limits.officeTotalMs = 1000;
    const QByteArray path = qgetenv("PATH");
    if (office.isEmpty()) {
        qputenv("PATH", dir.path().toLocal8Bit());
    } else {
        const QString script = dir.filePath(QStringLiteral("soffice"));
        writeFile(script, ("#!/bin/sh\n" + office + "\n").toUtf8());
        QVERIFY(QFile::setPermissions(script, QFile::ReadOwner | QFile::ExeOwner));
        limits.officeProgram = QFile::encodeName(script);
    }
    ReadProgress progress;
    progress.cancel = cancel;
    Result<Workbook> book = readWorkbook(m_files.filePath(QStringLiteral("Listino Rossi.xls")),
                                         dir.path(), limits, &progress);
    qputenv("PATH", path);
    if (cancel) {
        QVERIFY(!book);
        QCOMPARE(book.error().text, QStringLiteral("Lettura del listino annullata."));
        return;
    }
    QVERIFY(book);
    QCOMPARE(book->formulasUnread, why);
    const Sheet& sheet = book->sheets.front();
    const ListRows rows = readRows(sheet, findMapping(sheet));
    QCOMPARE(int(rows.refused.size()), 2);
    QCOMPARE(QStringLiteral("%1 %2").arg(rows.refused[1].row).arg(rows.refused[1].reason),
             QStringLiteral("11 manca il prezzo (se è una formula, il foglio .xls letto così non "
                            "ne dà il risultato)"));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("libreoffice"))));
    if (!office.isEmpty())
        return;
    // The window tells why, and what to do.
    App app;
    app.dialogs.answerChoice(m_files.filePath(QStringLiteral("Listino Rossi.xls")));
    qputenv("PATH", dir.path().toLocal8Bit());
    ui::menu(app.window.get(), "ImportaListino");
    qputenv("PATH", path);
    ImportWindow* w = importWindow();
    QVERIFY(w);
    QVERIFY(w->LblAvviso->isVisibleTo(w));
    QCOMPARE(w->LblAvviso->text(),
             QStringLiteral("Il foglio .xls è stato letto senza i risultati delle sue formule "
                            "(LibreOffice non è installato): una cella con una formula risulta "
                            "vuota. Per leggerli, salvare il listino come .xlsx e importare "
                            "quello."));
    w->close();
}

ImportWindow* importWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<ImportWindow*>(w); d && d->isVisible())
            return d;
    return nullptr;
}

// An .ods whose elements repeat themselves far beyond what is read (as LibreOffice's own
// trailing rows and columns do, and a hostile file ten million times over): the repeats are
// counted before the library builds anything, bounded, and the list reads as the plain one.
void TestPriceLists::repeatedCells() {
    QTemporaryDir dir;
    const QString hostile = dir.filePath(QStringLiteral("ripetuto.ods"));
    run(QStringLiteral("/usr/bin/python3"),
        {QStringLiteral("-c"),
         QStringLiteral("import re,sys,zipfile\n"
                        "src=zipfile.ZipFile(sys.argv[1])\n"
                        "out=zipfile.ZipFile(sys.argv[2],'w',zipfile.ZIP_DEFLATED)\n"
                        "for i in src.infolist():\n"
                        "  data=src.read(i.filename)\n"
                        "  if i.filename=='content.xml':\n"
                        "    data=re.sub(rb'<table:table-cell table:number-columns-repeated="
                        "\"\\d+\"/>',b'<table:table-cell office:value-type=\"float\" "
                        "office:value=\"7\" table:number-columns-repeated=\"10000000\"/>',"
                        "data,count=1)\n"
                        "    data=re.sub(rb'number-rows-repeated=\"\\d+\"',"
                        "b'number-rows-repeated=\"2000000000\"',data)\n"
                        "  out.writestr(i,data)\n"
                        "out.close()"),
         m_files.filePath(QStringLiteral("Listino Rossi.ods")), hostile});
    Result<ZipFacts> facts = checkArchive(hostile, QStringLiteral("foglio"), {}, nullptr);
    QVERIFY(facts);
    QCOMPARE(facts->mostColumnsRepeated, 10000000);
    QCOMPARE(facts->mostRowsRepeated, 2000000000);
    const Read plain = readList(m_files.filePath(QStringLiteral("Listino Rossi.ods")), dir.path());
    const Read read = readList(hostile, dir.path());
    QCOMPARE(read.sheet.rows.size(), plain.sheet.rows.size());
    QCOMPARE(int(read.sheet.rows.front().size()), ReadLimits{}.maxColumns);
    QCOMPARE(read.sheet.rows.front().back().number, 7.0);
    QCOMPARE(read.rows.entries.size(), plain.rows.entries.size());
    QCOMPARE(read.rows.refused.size(), plain.rows.refused.size());
}

// "Annulla" is looked at while the library hands the cells over, not only before and after.
void TestPriceLists::cancelWhileReading() {
    ReadProgress progress;
    StoredValues values(ReadLimits{}, &progress);
    orcus::spreadsheet::iface::import_sheet* sheet = values.append_sheet(0, "Listino");
    progress.cancel = true;
    int handed = 0;
    try {
        for (; handed < 1000000; ++handed)
            sheet->set_value(handed / 10, handed % 10, 1.5);
    } catch (const ReadStopped& stop) {
        QCOMPARE(int(stop.why), int(ReadStopped::Why::Cancelled));
    }
    QVERIFY(handed < 10000);
}

// A .csv's decimal mark, from all the numbers of each number column and the field separator;
// a number that reads either way is refused where the file does not show the mark, and read
// as the agent says once chosen.
void TestPriceLists::decimalMark_data() {
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<int>("chosen"); // -1: the file's; else a DecimalMark
    QTest::addColumn<QString>("mark");
    QTest::addColumn<QStringList>("read");
    const QString both = QStringLiteral("il punto può separare i decimali o le migliaia: "
                                        "scegliere come leggere i numeri");
    const QByteArray english = "Codice,Descrizione,Peso,Prezzo\n"
                               "E1,Olio,1.000,0.990\n"
                               "E2,Sale,2,1.250\n"
                               "E3,Pasta,2.5,12.90\n"
                               "E4,Caffè,1,\"1,234.50\"\n";
    QTest::newRow("English, commas between fields")
        << english << -1 << "punto"
        << QStringList{"E1 1 0.99", "E2 2 1.25", "E3 2.5 12.9", "E4 1 1234.5"};
    QTest::newRow("English, read as Italian by choice")
        << english << int(DecimalMark::Comma) << "virgola"
        << QStringList{"E1 1000 990", "E2 2 1250", "4 Prezzo 12.90: il prezzo non è un numero",
                       "5 Prezzo 1,234.50: il prezzo non è un numero"};
    QTest::newRow("Italian, semicolons")
        << QByteArray("Codice;Peso;Prezzo\nI1;1,5;0,990\nI2;2;1.250\nI3;2;12,90\n") << -1
        << "virgola" << QStringList{"I1 1.5 0.99", "I2 2 1250", "I3 2 12.9"};
    QTest::newRow("English tab-separated, the weights show it")
        << QByteArray("Codice\tPeso\tPrezzo\nT1\t0.5\t1.250\n") << -1 << "punto"
        << QStringList{"T1 0.5 1.25"};
    QTest::newRow("nothing shows it, commas between fields")
        << QByteArray("Codice,Prezzo\nA1,1.250\nA2,3\n") << -1 << "punto?"
        << QStringList{"2 Prezzo 1.250: " + both, "A2 -1 3"};
    QTest::newRow("nothing shows it, semicolons")
        << QByteArray("Codice;Prezzo\nA1;1.250\nA2;3\n") << -1 << "virgola?"
        << QStringList{"2 Prezzo 1.250: " + both, "A2 -1 3"};
    QTest::newRow("nothing shows it, chosen")
        << QByteArray("Codice;Prezzo\nA1;1.250\nA2;3\n") << int(DecimalMark::Point) << "punto"
        << QStringList{"A1 -1 1.25", "A2 -1 3"};
}

void TestPriceLists::decimalMark() {
    QFETCH(QByteArray, csv);
    QFETCH(int, chosen);
    QFETCH(QString, mark);
    QFETCH(QStringList, read);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("listino.csv"));
    writeFile(path, csv);
    Result<Workbook> book = readWorkbook(path, dir.path());
    QVERIFY(book);
    const Sheet& sheet = book->sheets.front();
    const ListRows rows = readRows(sheet, findMapping(sheet),
                                   chosen < 0 ? std::nullopt : std::optional(DecimalMark(chosen)));
    QStringList got;
    for (const Entry& e : rows.entries)
        got << QStringLiteral("%1 %2 %3").arg(e.code).arg(e.weight.value_or(-1)).arg(e.price);
    for (const Refused& r : rows.refused)
        got << QStringLiteral("%1 %2 %3: %4").arg(r.row).arg(r.column, r.text, r.reason);
    got.sort();
    read.sort();
    QCOMPARE(got, read);
    QCOMPARE(
        (rows.mark == DecimalMark::Point ? QStringLiteral("punto") : QStringLiteral("virgola")) +
            (rows.markShown ? QString() : QStringLiteral("?")),
        mark);
    QVERIFY(rows.numberTexts);
}

// The preview says how the numbers were read, and its switch reads them again the other way.
void TestPriceLists::decimalMarkSwitched() {
    App app;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("english.csv"));
    writeFile(path, "Codice,Descrizione,Prezzo\nE1,Olio,0.990\nE2,Pasta,12.90\n");
    app.dialogs.answerChoice(path);
    ui::menu(app.window.get(), "ImportaListino");
    ImportWindow* w = importWindow();
    QVERIFY(w);
    auto shown = [&] {
        QStringList out{w->LblDecimali->text()};
        for (int r = 0; r < w->ListaAnteprima->topLevelItemCount(); ++r)
            out << QStringLiteral("%1 %2 %3")
                       .arg(w->ListaAnteprima->topLevelItem(r)->text(1),
                            w->ListaAnteprima->topLevelItem(r)->text(2),
                            w->ListaAnteprima->topLevelItem(r)->text(4));
        return out;
    };
    QVERIFY(w->LblDecimali->isVisibleTo(w));
    QVERIFY(w->puntoDecimale->isChecked());
    QCOMPARE(shown(), QStringList({"Numeri letti con il punto decimale (12.90)", "2 E1 OLIO, 0,99",
                                   "3 E2 PASTA, 12,90"}));
    ui::click(w->puntoDecimale);
    QVERIFY(!w->puntoDecimale->isChecked());
    QCOMPARE(shown(), QStringList({"Numeri letti con la virgola decimale (12,90)",
                                   "2 E1 OLIO, 990,00", "3  Prezzo: il prezzo non è un numero"}));
    w->close();
}

// The window: the file picked, its preview for a new principal, applied, a bad file told, the
// last list undone.
void TestPriceLists::window() {
    using namespace boxes;
    App app;
    const QString title = QStringLiteral("Importa listino");
    app.dialogs.answerChoice(m_files.filePath(QStringLiteral("primo.csv")));
    ui::menu(app.window.get(), "ImportaListino");
    ImportWindow* w = importWindow();
    QVERIFY(w);
    QCOMPARE(w->TDataListino->text(), QStringLiteral("08/12/2026"));
    w->TDataListino->setText(QStringLiteral("01/09/2026"));
    w->CboMandante->setEditText(QStringLiteral("Rossi Alimentari"));
    QCOMPARE(w->LblConteggi->text(),
             QStringLiteral("Articoli nuovi: 3, Prezzi cambiati: 0, Descrizioni cambiate: 0, "
                            "Formati cambiati: 0, Pesi cambiati: 0, Assenti dal listino: 0, "
                            "Righe scartate: 0"));
    QCOMPARE(w->ListaAnteprima->topLevelItemCount(), 3);
    // One row unticked: that article is not added.
    w->ListaAnteprima->topLevelItem(2)->setCheckState(0, Qt::Unchecked);
    // The article panel open meanwhile shows the articles added.
    ui::menu(app.window.get(), "AAggiorna");
    ReportView* articles = app.find<ReportView>("ListView3");
    QCOMPARE(ui::rowOf(articles, 1, QStringLiteral("P001")), -1);
    app.dialogs.answerYes();
    ui::click(w->CmdApplica);
    QVERIFY(ui::rowOf(articles, 1, QStringLiteral("P001")) >= 0);
    QCOMPARE(app.dialogs.describe(),
             seq({one(ScriptedDialogs::Kind::Choice, title, QDir::homePath()),
                  question(QStringLiteral("Applicare il listino «primo.csv» della mandante «Rossi "
                                          "Alimentari», valido dal 01/09/2026?"),
                           title),
                  message(QStringLiteral("Listino applicato: 2 articoli nuovi, 0 articoli "
                                         "aggiornati, 2 prezzi registrati."),
                          title, BoxIcon::Information)}));
    app.dialogs.clear();
    QCOMPARE(value(app.db(), "SELECT group_concat(CODICE || '=' || AGG, ' ') FROM ARTICOLO"),
             QStringLiteral("P001=2026-09-01 P004=2026-09-01"));
    QCOMPARE(value(app.db(), "SELECT NOME FROM MANDANTE"), QStringLiteral("Rossi Alimentari"));
    QTRY_VERIFY(!importWindow());

    // The article panel shows the list price of an article clicked.
    ui::menu(app.window.get(), "AAggiorna");
    ReportView* list = app.find<ReportView>("ListView3");
    ui::clickRow(list, ui::rowOf(list, 1, QStringLiteral("P001")));
    QCOMPARE(app.find<QLineEdit>("T3")->toolTip(),
             QStringLiteral("Prezzo di listino: 10,00 € (Rossi Alimentari, dal 01/09/2026)"));

    // A file that is not what its name says: a box, and no window.
    QTemporaryDir dir;
    const QString fake = dir.filePath(QStringLiteral("finto.xlsx"));
    writeFile(fake, kFirstList);
    app.dialogs.answerChoice(fake);
    ui::menu(app.window.get(), "ImportaListino");
    QCOMPARE(app.dialogs.describe(),
             seq({one(ScriptedDialogs::Kind::Choice, title, QDir::homePath()),
                  message(QStringLiteral("Il file «finto.xlsx» non è un foglio Excel .xlsx: il suo "
                                         "contenuto non è quello che il nome dice. Nulla è stato "
                                         "importato."),
                          title, BoxIcon::Exclamation)}));
    app.dialogs.clear();
    QVERIFY(!importWindow());

    const QString undo = QStringLiteral("Annulla ultimo listino");
    app.dialogs.answerYes();
    ui::menu(app.window.get(), "AnnullaListino");
    QCOMPARE(app.dialogs.describe(),
             seq({question(kUndoQuestion, undo),
                  message(QStringLiteral("Listino «primo.csv» annullato: 2 articoli tolti, 0 "
                                         "articoli ripristinati, 2 prezzi tolti."),
                          undo, BoxIcon::Information)}));
    QCOMPARE(value(app.db(), "SELECT COUNT(*) FROM ARTICOLO"), QStringLiteral("0"));
    QCOMPARE(value(app.db(), "SELECT COUNT(*) FROM PREZZO_LISTINO"), QStringLiteral("0"));
}

// An apply that fails half-way (here a trigger refuses the prices) leaves nothing behind, the
// principal it would have made included.
// The preview's columns show their texts whole, the long descriptions too, at any density of
// the screen (the test runs again at 144 dots per inch).
void TestPriceLists::previewColumnsFit() {
    const QString dpi = qEnvironmentVariable("GESTIONE_EXPECT_DPI", QStringLiteral("96"));
    const QScreen* screen = QGuiApplication::primaryScreen();
    QCOMPARE(screen->logicalDotsPerInch() * screen->devicePixelRatio(), dpi.toDouble());
    App app;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("lunghi.csv"));
    writeFile(path, "Codice;Descrizione;Prezzo\n"
                    "C001;Caffè macinato per moka miscela classica 250 g;4,50\n"
                    "C002;Caffè in grani miscela arabica extra forte 1 kg;18,90\n");
    app.dialogs.answerChoice(path);
    ui::menu(app.window.get(), "ImportaListino");
    ImportWindow* w = importWindow();
    QVERIFY(w);
    QTreeWidget* list = w->ListaAnteprima;
    QCOMPARE(list->topLevelItemCount(), 2);
    QVERIFY(list->topLevelItem(0)->text(4).startsWith(QStringLiteral("CAFFÈ MACINATO")));
    // What each column needs: its widest text as the list measures it, and its title.
    const QAbstractItemView* view = list;
    QStringList cut;
    for (int c = 0; c < list->columnCount() - 1; ++c) {
        const int need = std::max(view->sizeHintForColumn(c), list->header()->sectionSizeHint(c));
        if (list->columnWidth(c) < need)
            cut << QStringLiteral("%1: %2 px in %3")
                       .arg(list->headerItem()->text(c))
                       .arg(need)
                       .arg(list->columnWidth(c));
    }
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral("; "))));
    w->close();
}

void TestPriceLists::failedApplyLeavesNothing() {
    using namespace boxes;
    App app;
    QVERIFY(app.db().exec("CREATE TRIGGER NO_PREZZI BEFORE INSERT ON PREZZO_LISTINO "
                          "BEGIN SELECT RAISE(ABORT, 'prezzi rifiutati'); END;"));
    const QString title = QStringLiteral("Importa listino");
    app.dialogs.answerChoice(m_files.filePath(QStringLiteral("primo.csv")));
    ui::menu(app.window.get(), "ImportaListino");
    ImportWindow* w = importWindow();
    QVERIFY(w);
    w->CboMandante->setEditText(QStringLiteral("Bianchi Conserve"));
    app.dialogs.clear();
    app.dialogs.answerYes();
    ui::click(w->CmdApplica);
    QCOMPARE(app.dialogs.describe(),
             seq({question(QStringLiteral("Applicare il listino «primo.csv» della mandante "
                                          "«Bianchi Conserve», valido dal 08/12/2026?"),
                           title),
                  message(QStringLiteral("Il listino non è stato applicato (un valore non è "
                                         "ammesso dalla tabella): nulla è stato scritto."),
                          title, BoxIcon::Exclamation)}));
    for (const char* table : {"MANDANTE", "ARTICOLO", "LISTINO", "PREZZO_LISTINO",
                              "LISTINO_MODIFICA", "LISTINO_COLONNE"})
        QCOMPARE(value(app.db(), QByteArray("SELECT COUNT(*) FROM ") + table), QStringLiteral("0"));
    QVERIFY(importWindow());
    w->close();
}

// A code on two rows: the agent ticks the second, the first is unticked, and the second's
// description and price are those applied.
void TestPriceLists::duplicateChosen() {
    App app;
    app.dialogs.answerChoice(m_xlsx);
    ui::menu(app.window.get(), "ImportaListino");
    ImportWindow* w = importWindow();
    QVERIFY(w);
    w->CboMandante->setEditText(QStringLiteral("Rossi Alimentari"));
    auto rowsOf = [&](const QString& kind) {
        QList<QTreeWidgetItem*> out;
        for (int r = 0; r < w->ListaAnteprima->topLevelItemCount(); ++r) {
            QTreeWidgetItem* row = w->ListaAnteprima->topLevelItem(r);
            if (row->text(0) == kind && !row->isHidden())
                out << row;
        }
        return out;
    };
    const QString counts = QStringLiteral("Articoli nuovi: %1, Prezzi cambiati: 0, Descrizioni "
                                          "cambiate: 0, Formati cambiati: 0, Pesi cambiati: 0, "
                                          "Assenti dal listino: 0, Righe scartate: 2, Codici "
                                          "ripetuti: 2");
    QCOMPARE(w->LblConteggi->text(), counts.arg(5));
    const QList<QTreeWidgetItem*> repeats = rowsOf(QStringLiteral("Codici ripetuti"));
    QCOMPARE(repeats.size(), 2);
    QCOMPARE(repeats[0]->checkState(0), Qt::Checked);
    QCOMPARE(repeats[1]->checkState(0), Qt::Unchecked);
    auto newP002 = [&] {
        for (QTreeWidgetItem* row : rowsOf(QStringLiteral("Articoli nuovi")))
            if (row->text(2) == QLatin1String("P002"))
                return row->text(1) + QLatin1Char(' ') + row->text(4);
        return QString();
    };
    QCOMPARE(newP002(), QStringLiteral("5 CAFFÈ MACINATO, 1.234,50"));
    repeats[1]->setCheckState(0, Qt::Checked);
    QCOMPARE(repeats[0]->checkState(0), Qt::Unchecked);
    QCOMPARE(newP002(), QStringLiteral("9 CAFFÈ DOPPIONE, 9,99"));
    // Neither row: the code is left out.
    repeats[1]->setCheckState(0, Qt::Unchecked);
    QCOMPARE(newP002(), QString());
    QCOMPARE(w->LblConteggi->text(), counts.arg(4));
    repeats[1]->setCheckState(0, Qt::Checked);
    app.dialogs.clear();
    app.dialogs.answerYes();
    ui::click(w->CmdApplica);
    QCOMPARE(value(app.db(), "SELECT ARTICOLO || '|' || PREZZO FROM ARTICOLO A JOIN PREZZO_LISTINO "
                             "P USING (CODICE) WHERE CODICE = 'P002'"),
             QStringLiteral("CAFFÈ DOPPIONE|9.99"));
    QCOMPARE(value(app.db(), "SELECT COUNT(*) FROM ARTICOLO WHERE CODICE = 'P002'"),
             QStringLiteral("1"));
}

// Another program adds an article the preview shows as new, or removes one it changes, between
// the preview and Applica: nothing is written, and the message says why.
void TestPriceLists::catalogueChangedMeanwhile() {
    TestDir dir;
    auto db = dir.open();
    auto other = dir.open();
    QVERIFY(addedtables::ensure(*db));
    const Read list = readList(m_files.filePath(QStringLiteral("primo.csv")), dir.path());
    exec(*db, "INSERT INTO ARTICOLO (CODICE, ARTICOLO) VALUES ('P004', 'TONNO VECCHIO');");
    Result<Preview> p = makePreview(*db, 0, list.rows, QDate(2026, 9, 1));
    QVERIFY(p);
    QCOMPARE(p->count(Change::New), 2);
    QCOMPARE(p->count(Change::Description), 1);
    const auto before = rows(*db, "SELECT * FROM ARTICOLO ORDER BY ID");
    const struct {
        const char* change;
        const char* undo;
        QString message;
    } cases[] = {
        {"INSERT INTO ARTICOLO (CODICE, ARTICOLO) VALUES ('p009 ', 'SALE');",
         "DELETE FROM ARTICOLO WHERE CODICE = 'p009 ';",
         QStringLiteral("Il catalogo è cambiato dopo l'anteprima: l'articolo «P009» ora c'è già. "
                        "Nulla è stato scritto: riaprire il listino.")},
        {"DELETE FROM ARTICOLO WHERE CODICE = 'P004';",
         "INSERT INTO ARTICOLO (ID, CODICE, ARTICOLO) VALUES (1, 'P004', 'TONNO VECCHIO');",
         QStringLiteral("Il catalogo è cambiato dopo l'anteprima: l'articolo «P004» non c'è più. "
                        "Nulla è stato scritto: riaprire il listino.")},
    };
    for (const auto& c : cases) {
        exec(*other, c.change);
        Result<Applied> done =
            apply(*db, *p, QStringLiteral("primo.csv"), QDateTime(),
                  rememberedTexts(list.sheet, list.mapping), QStringLiteral("Rossi Alimentari"));
        QVERIFY(!done);
        QCOMPARE(done.error().text, c.message);
        for (const char* table : {"MANDANTE", "LISTINO", "PREZZO_LISTINO", "LISTINO_MODIFICA"})
            QCOMPARE(value(*db, QByteArray("SELECT COUNT(*) FROM ") + table), QStringLiteral("0"));
        exec(*other, c.undo);
    }
    QCOMPARE(rows(*db, "SELECT * FROM ARTICOLO ORDER BY ID"), before);
}

// A principal's list naming a code whose article only another principal has prices for (two
// principals may use one code for two products): its changes are shown unticked, beside the
// other principal's price, and the catalogue keeps the article as it was.
void TestPriceLists::articleOfAnotherPrincipal() {
    App app;
    Database* db = &app.db();
    const Read list = readList(m_files.filePath(QStringLiteral("primo.csv")), app.dir.path());
    Result<Preview> p1 = makePreview(*db, 0, list.rows, QDate(2026, 9, 1));
    QVERIFY(p1);
    QVERIFY(apply(*db, *p1, QStringLiteral("primo.csv"), QDateTime(), {},
                  QStringLiteral("Rossi Alimentari")));
    exec(*db, "UPDATE ARTICOLO SET ARTICOLO = 'DETERSIVO' WHERE CODICE = 'P004';"
              "INSERT INTO MANDANTE (NOME) VALUES ('Bianchi Casa');");
    const auto before = rows(*db, "SELECT * FROM ARTICOLO ORDER BY ID");
    Result<Preview> p2 = makePreview(*db, 2, list.rows, QDate(2027, 1, 1));
    QVERIFY(p2);
    QStringList shown;
    for (const PreviewItem& it : p2->items)
        shown << QStringLiteral("%1 %2: %3 → %4 %5")
                     .arg(changeName(it.kind), it.code, it.before, it.after)
                     .arg(it.ticked);
    QCOMPARE(shown, QStringList({"Prezzi cambiati P001: 10,00 (Rossi Alimentari) → 10,00 0",
                                 "Prezzi cambiati P004: 30,00 (Rossi Alimentari) → 30,00 0",
                                 "Descrizioni cambiate P004: DETERSIVO → TONNO 0",
                                 "Prezzi cambiati P009: 2,00 (Rossi Alimentari) → 2,00 0"}));
    Result<Applied> none = apply(*db, *p2, QStringLiteral("primo.csv"), QDateTime(), {});
    QVERIFY(!none);
    QCOMPARE(none.error().text, QStringLiteral("Nessuna modifica scelta: nulla è stato scritto."));
    QCOMPARE(rows(*db, "SELECT * FROM ARTICOLO ORDER BY ID"), before);

    // In the window, the ticks of the preview for one principal are not carried to another's.
    app.dialogs.answerChoice(m_xlsx);
    ui::menu(app.window.get(), "ImportaListino");
    ImportWindow* w = importWindow();
    QVERIFY(w);
    auto p001 = [&] {
        for (int r = 0; r < w->ListaAnteprima->topLevelItemCount(); ++r) {
            QTreeWidgetItem* row = w->ListaAnteprima->topLevelItem(r);
            if (row->text(0) == QLatin1String("Prezzi cambiati") &&
                row->text(2) == QLatin1String("P001"))
                return QStringLiteral("%1 %2").arg(row->text(3)).arg(row->checkState(0));
        }
        return QString();
    };
    w->CboMandante->setEditText(QStringLiteral("Rossi Alimentari"));
    QCOMPARE(p001(), QStringLiteral("10,00 2"));
    w->CboMandante->setEditText(QStringLiteral("Bianchi Casa"));
    QCOMPARE(p001(), QStringLiteral("10,00 (Rossi Alimentari) 0"));
    w->close();
}

// The last list undone after hand work: only the fields it changed go back, and only where the
// article still holds them; an article it added goes unless corrected or ordered since; what
// stays is named in the box, and the article list shown is filled again.
void TestPriceLists::undoKeepsLaterWork() {
    using namespace boxes;
    App app;
    Database& db = app.db();
    auto applyList = [&](const QString& path, QDate date) {
        const Read list = readList(path, app.dir.path());
        Result<Preview> p = makePreview(db, 1, list.rows, date);
        QVERIFY(p);
        QVERIFY(apply(db, *p, msg::fileName(path), QDateTime(date, QTime(9, 0)), {},
                      QStringLiteral("Rossi Alimentari")));
    };
    applyList(m_files.filePath(QStringLiteral("primo.csv")), QDate(2026, 9, 1));
    QTemporaryDir dir;
    const QString second = dir.filePath(QStringLiteral("secondo.csv"));
    writeFile(second, "Codice;Descrizione;Formato;Peso;Prezzo\n"
                      "P001;Pasta di semola bio;CT 12x500 G;6;11,00\n"
                      "P004;Tonno;CT 24;5;31\n"
                      "P009;Sale grosso;CT 12;12;2,10\n"
                      "P010;Riso;CT 10;10;3\n"
                      "P011;Farro;CT 10;10;4\n"
                      "P012;Orzo;CT 10;10;5\n");
    applyList(second, QDate(2026, 11, 1));

    const struct {
        const char* code;
        const char* handWork; // after the list
        const char* after;    // the article after the undo; empty when it is gone
    } cases[] = {
        // A weight the list never changed, corrected by hand: the list's description goes, the
        // weight stays.
        {"P001", "UPDATE ARTICOLO SET PESO = 6.5 WHERE CODICE = 'P001';",
         "PÀSTA DI SEMOLA|CT 12X500 G|6.5|2026-09-01"},
        // The weight the list changed, corrected since: it stays.
        {"P004", "UPDATE ARTICOLO SET PESO = 5.2 WHERE CODICE = 'P004';",
         "TONNO|CT 24|5.2|2026-11-01"},
        {"P009", "", "SALE FINO|CT 12|12.0|2026-09-01"},
        {"P010", "", ""},
        {"P011", "UPDATE ARTICOLO SET ARTICOLO = 'FARRO PERLATO' WHERE CODICE = 'P011';",
         "FARRO PERLATO|CT 10|10.0|2026-11-01"},
        {"P012",
         "INSERT INTO ORDINE (ANNO, NR, ID_CL, DATAO, ARTICOLO, CODICE, QVENDITA, PREZZO) "
         "VALUES ('2026', '1', '1', '2026-11-05', 'ORZO', 'P012', 2, 5);",
         "ORZO|CT 10|10.0|2026-11-01"},
    };
    for (const auto& c : cases)
        exec(db, c.handWork);

    ui::menu(app.window.get(), "AAggiorna");
    ReportView* list = app.find<ReportView>("ListView3");
    QVERIFY(ui::rowOf(list, 1, QStringLiteral("P010")) >= 0);
    app.dialogs.clear();
    const QString undo = QStringLiteral("Annulla ultimo listino");
    app.dialogs.answerYes();
    ui::menu(app.window.get(), "AnnullaListino");
    QCOMPARE(app.dialogs.describe(),
             seq({question(kUndoQuestion, undo),
                  message(QStringLiteral("Listino «secondo.csv» annullato: 1 articoli tolti, 2 "
                                         "articoli ripristinati, 6 prezzi tolti.\n\n"
                                         "Articoli lasciati come sono ora:\n"
                                         "«P004» TONNO: cambiato dopo il listino (peso)\n"
                                         "«P011» FARRO PERLATO: aggiunto dal listino, è stato "
                                         "cambiato dopo\n"
                                         "«P012» ORZO: aggiunto dal listino, è usato in ordini"),
                          undo, BoxIcon::Information)}));
    for (const auto& c : cases) {
        const QByteArray sql = QByteArray("SELECT ARTICOLO || '|' || FORMATO || '|' || PESO || "
                                          "'|' || AGG FROM ARTICOLO WHERE CODICE = '") +
                               c.code + "'";
        QCOMPARE(value(db, sql), QString::fromUtf8(c.after));
        QCOMPARE(ui::rowOf(list, 1, QString::fromLatin1(c.code)) >= 0, *c.after != 0);
    }
    QCOMPARE(value(db, "SELECT group_concat(CODICE || '=' || PREZZO, ' ') FROM PREZZO_LISTINO"),
             QStringLiteral("P001=10.0 P004=30.0 P009=2.0"));
    QCOMPARE(value(db, "SELECT COUNT(*) FROM LISTINO_MODIFICA"), QStringLiteral("3"));
}

// A file of an earlier version: its tables of the lists gain the new columns, and a list it
// applied then is undone by the dates the list stamped on the articles.
void TestPriceLists::undoOfAnEarlierVersion() {
    TestDir dir;
    auto db = dir.open();
    exec(*db, "DROP TABLE LISTINO_MODIFICA; DROP TABLE LISTINO_COLONNE;"
              "CREATE TABLE LISTINO_MODIFICA (ID INTEGER PRIMARY KEY AUTOINCREMENT, ID_LISTINO "
              "INTEGER NOT NULL, ID_ARTICOLO INTEGER NOT NULL, NUOVO INTEGER NOT NULL, ARTICOLO "
              "TEXT, FORMATO TEXT, PESO REAL, AGG DATE);"
              "CREATE TABLE LISTINO_COLONNE (ID_MANDANTE INTEGER PRIMARY KEY, CODICE TEXT, "
              "ARTICOLO TEXT, FORMATO TEXT, PESO TEXT, PREZZO TEXT);"
              "INSERT INTO MANDANTE (ID, NOME) VALUES (1, 'Rossi Alimentari');"
              "INSERT INTO LISTINO (ID, ID_MANDANTE, FILE, VALIDO_DAL) "
              "VALUES (1, 1, 'vecchio.xlsx', '2026-10-01');"
              "INSERT INTO ARTICOLO (ID, CODICE, ARTICOLO, FORMATO, PESO, AGG) VALUES "
              "(1, 'V001', 'RISO NUOVO', 'CT 10', 10, '2026-10-01'),"
              "(2, 'V002', 'FARRO NUOVO', 'CT 10', 10, '2026-11-15'),"
              "(3, 'V003', 'ORZO', 'CT 10', 10, '2026-10-01'),"
              "(4, 'V004', 'AVENA CORRETTA', 'CT 10', 10, '2026-11-15');"
              "INSERT INTO LISTINO_MODIFICA (ID_LISTINO, ID_ARTICOLO, NUOVO, ARTICOLO, FORMATO, "
              "PESO, AGG) VALUES (1, 1, 0, 'RISO', 'CT 10', 10, '2026-01-01'),"
              "(1, 2, 0, 'FARRO', 'CT 10', 10, '2026-01-01'),"
              "(1, 3, 1, 'ORZO', 'CT 10', 10, '2026-10-01'),"
              "(1, 4, 1, 'AVENA', 'CT 10', 10, '2026-10-01');"
              "INSERT INTO PREZZO_LISTINO (CODICE, ID_MANDANTE, PREZZO, VALIDO_DAL, ID_LISTINO) "
              "VALUES ('V001', 1, 3, '2026-10-01', 1);");
    QVERIFY(addedtables::ensure(*db));
    // The records of then have no fields named and no values after.
    QCOMPARE(value(*db, "SELECT COUNT(*) FROM LISTINO_MODIFICA WHERE CAMPI IS NULL AND "
                        "DOPO_ARTICOLO IS NULL AND DOPO_FORMATO IS NULL AND DOPO_PESO IS NULL "
                        "AND DOPO_AGG IS NULL"),
             QStringLiteral("4"));
    QCOMPARE(value(*db, "SELECT COUNT(PEZZI) FROM LISTINO_COLONNE"), QStringLiteral("0"));
    Result<Undone> undone = undoLast(*db);
    QVERIFY(undone);
    QCOMPARE(
        QStringLiteral("%1 %2 %3").arg(undone->removed).arg(undone->restored).arg(undone->prices),
        QStringLiteral("1 1 1"));
    QCOMPARE(undone->kept,
             QStringList({"«V002» FARRO NUOVO: cambiato dopo il listino",
                          "«V004» AVENA CORRETTA: aggiunto dal listino, è stato cambiato dopo"}));
    QCOMPARE(rows(*db, "SELECT CODICE, ARTICOLO, AGG FROM ARTICOLO ORDER BY ID"),
             QList<QStringList>({{"V001", "RISO", "2026-01-01"},
                                 {"V002", "FARRO NUOVO", "2026-11-15"},
                                 {"V004", "AVENA CORRETTA", "2026-11-15"}}));
}

// A list valid from a later day (its title says so): the preview says it where it is seen, and
// the same list imported again from another day is a change that can be applied.
void TestPriceLists::listValidLater() {
    using namespace boxes;
    App app;
    const QString title = QStringLiteral("Importa listino");
    auto open = [&] {
        app.dialogs.answerChoice(m_xlsx);
        ui::menu(app.window.get(), "ImportaListino");
        ImportWindow* w = importWindow();
        if (w)
            w->CboMandante->setEditText(QStringLiteral("Rossi Alimentari"));
        app.dialogs.clear();
        return w;
    };
    auto priceRows = [&] {
        QStringList out;
        for (int r = 0; r < importWindow()->ListaAnteprima->topLevelItemCount(); ++r) {
            const QTreeWidgetItem* row = importWindow()->ListaAnteprima->topLevelItem(r);
            if (row->text(0) == QLatin1String("Prezzi cambiati") && !row->isHidden())
                out << row->text(2) + QLatin1Char(' ') + row->text(3) + QStringLiteral(" → ") +
                           row->text(4);
        }
        return out;
    };
    ImportWindow* w = open();
    QVERIFY(w);
    QCOMPARE(w->TDataListino->text(), QStringLiteral("01/02/2027"));
    QCOMPARE(w->LblValidita->text(),
             QStringLiteral("Listino valido dal 01/02/2027 (data letta dal titolo del foglio): i "
                            "suoi prezzi non sono ancora in vigore oggi."));
    QVERIFY(w->LblValidita->isVisible());
    QVERIFY(w->LblValidita->font().bold());
    app.dialogs.answerYes();
    ui::click(w->CmdApplica);
    QCOMPARE(app.dialogs.describe(),
             seq({question(QStringLiteral("Applicare il listino «Listino Rossi.xlsx» della "
                                          "mandante «Rossi Alimentari», valido dal 01/02/2027?"),
                           title),
                  message(QStringLiteral("Listino applicato: 5 articoli nuovi, 0 articoli "
                                         "aggiornati, 5 prezzi registrati."),
                          title, BoxIcon::Information)}));
    QTRY_VERIFY(!importWindow());

    // Again, from the same day: nothing to apply.
    w = open();
    QVERIFY(w);
    QCOMPARE(priceRows(), QStringList());
    app.dialogs.answerYes();
    ui::click(w->CmdApplica);
    QCOMPARE(app.dialogs.describe(),
             seq({question(QStringLiteral("Applicare il listino «Listino Rossi.xlsx» della "
                                          "mandante «Rossi Alimentari», valido dal 01/02/2027?"),
                           title),
                  message(QStringLiteral("Nessuna modifica scelta: nulla è stato scritto."), title,
                          BoxIcon::Exclamation)}));
    app.dialogs.clear();

    // From today: each price is a change, shown beside the day it is valid from now.
    w->TDataListino->setText(QStringLiteral("08/12/2026"));
    QCOMPARE(w->LblValidita->text(), QStringLiteral("Listino valido dal 08/12/2026."));
    QCOMPARE(
        priceRows(),
        QStringList({"P001 12,50 dal 01/02/2027 → 12,50", "P002 1.234,50 dal 01/02/2027 → 1.234,50",
                     "P003 45,90 dal 01/02/2027 → 45,90", "P004 30,00 dal 01/02/2027 → 30,00",
                     "P007 8,20 dal 01/02/2027 → 8,20"}));
    app.dialogs.answerYes();
    ui::click(w->CmdApplica);
    QCOMPARE(app.dialogs.describe(),
             seq({question(QStringLiteral("Applicare il listino «Listino Rossi.xlsx» della "
                                          "mandante «Rossi Alimentari», valido dal 08/12/2026?"),
                           title),
                  message(QStringLiteral("Listino applicato: 0 articoli nuovi, 0 articoli "
                                         "aggiornati, 5 prezzi registrati."),
                          title, BoxIcon::Information)}));
    QCOMPARE(value(app.db(),
                   "SELECT group_concat(VALIDO_DAL || '=' || N, ' ') FROM (SELECT "
                   "VALIDO_DAL, COUNT(*) AS N FROM PREZZO_LISTINO GROUP BY 1 ORDER BY 1)"),
             QStringLiteral("2026-12-08=5 2027-02-01=5"));
    Result<std::optional<ListPrice>> today =
        listPriceOn(app.db(), QStringLiteral("P001"), QDate(2026, 12, 8));
    QVERIFY(today && *today);
    QCOMPARE((*today)->price, 12.5);
}

void TestPriceLists::unitOfHeading_data() {
    QTest::addColumn<QString>("heading");
    QTest::addColumn<QString>("unit"); // empty: none named
    QTest::newRow("kg") << "PREZZO ( €/KG )"
                        << "€/kg";
    QTest::newRow("piece") << "Prezzo €/pz"
                           << "€/pz";
    QTest::newRow("each") << "Prezzo cad."
                          << "€/pz";
    QTest::newRow("carton") << "Prezzo €/cartone"
                            << "€/cartone";
    QTest::newRow("parcel") << "Prezzo al collo"
                            << "€/cartone";
    QTest::newRow("none") << "Prezzo €"
                          << "";
}

void TestPriceLists::unitOfHeading() {
    QFETCH(QString, heading);
    QFETCH(QString, unit);
    const std::optional<PriceUnit> found = unitOfHeader(heading);
    QCOMPARE(found ? unitName(*found) : QString(), unit);
}

// A list priced by the piece (as its heading says): the preview asks the unit, guessed from the
// heading, and turns each price into one by the kilogram with the pieces in a carton and its
// weight; a row without them is refused with the reason.
void TestPriceLists::pricePerPiece() {
    using namespace boxes;
    App app;
    app.dialogs.answerChoice(m_files.filePath(QStringLiteral("Listino pezzi.xlsx")));
    ui::menu(app.window.get(), "ImportaListino");
    ImportWindow* w = importWindow();
    QVERIFY(w);
    w->CboMandante->setEditText(QStringLiteral("Oleificio Bianchi"));
    QCOMPARE(w->CboUnitaPrezzo->currentText(), QStringLiteral("€/pz"));
    QCOMPARE(w->CboColonna[std::size_t(Field::Pieces)]->currentText(),
             QStringLiteral("E: Pezzi per cartone"));
    auto shown = [&] {
        QStringList out;
        for (int r = 0; r < w->ListaAnteprima->topLevelItemCount(); ++r) {
            const QTreeWidgetItem* row = w->ListaAnteprima->topLevelItem(r);
            out << QStringLiteral("%1 %2 %3|%4")
                       .arg(row->text(1), row->text(2), row->text(3), row->text(4));
        }
        return out;
    };
    const struct {
        const char* unit;
        QStringList rows;
    } cases[] = {
        {"€/kg",
         {"3 L001 |OLIO EVO LATTA 3 LT, 93,52", "4 L002 |OLIO EVO 1 LT, 8,50",
          "5 L003 |ACETO BALSAMICO 500 ML, 2,35", "6 L004 |ACETO DI VINO, 1,20",
          "7 L005 |OLIO DI SEMI, 2,10", "8 L006 |SALSA, 1,50", "9 L007 |GLASSA, 0,25"}},
        {"€/cartone",
         {"3 L001 |OLIO EVO LATTA 3 LT, 31,17 (93,52 €/cartone / 3 kg)",
          "4 L002 |OLIO EVO 1 LT, 0,71 (8,50 €/cartone / 12 kg)",
          "5 L003 |ACETO BALSAMICO 500 ML, 0,78 (2,35 €/cartone / 3 kg)",
          "6 L004 |ACETO DI VINO, 0,10 (1,20 €/cartone / 12 kg)",
          "7 L005 |OLIO DI SEMI, 0,35 (2,10 €/cartone / 6 kg)",
          "9 L007 |GLASSA, 0,13 (0,25 €/cartone / 2 kg)",
          "8  |Peso: manca anche nel catalogo (serve per il prezzo al kg)"}},
        {"€/pz",
         {"3 L001 |OLIO EVO LATTA 3 LT, 31,17 (93,52 €/pz × 1 pezzo / 3 kg)",
          "4 L002 |OLIO EVO 1 LT, 8,50 (8,50 €/pz × 12 pezzi / 12 kg)",
          "5 L003 |ACETO BALSAMICO 500 ML, 4,70 (2,35 €/pz × 6 pezzi / 3 kg)",
          "9 L007 |GLASSA, 0,13 (0,25 €/pz × 1 pezzo / 2 kg)",
          "6  |Pezzi per cartone: mancano (servono per il prezzo al kg)",
          "7  2,5|Pezzi per cartone: non sono un numero intero positivo",
          "8  |Peso: manca anche nel catalogo (serve per il prezzo al kg)"}},
    };
    for (const auto& c : cases) {
        w->CboUnitaPrezzo->setCurrentText(QString::fromUtf8(c.unit));
        QCOMPARE(shown(), c.rows);
    }
    // Without the column of the pieces, no price by the piece is turned.
    QComboBox* pieces = w->CboColonna[std::size_t(Field::Pieces)];
    pieces->setCurrentIndex(0);
    QCOMPARE(shown().first(),
             QStringLiteral("3  93,52|Prezzo: è al pezzo, scegliere sopra la colonna dei pezzi"));
    QCOMPARE(shown().size(), 7);
    pieces->setCurrentIndex(5);
    // Another column chosen by the agent does not undo the unit chosen.
    w->CboColonna[std::size_t(Field::Format)]->setCurrentIndex(0);
    QCOMPARE(w->CboUnitaPrezzo->currentText(), QStringLiteral("€/pz"));
    app.dialogs.clear();
    app.dialogs.answerYes();
    ui::click(w->CmdApplica);
    QCOMPARE(app.dialogs.take().last().text,
             QStringLiteral("Listino applicato: 4 articoli nuovi, 0 articoli aggiornati, 4 prezzi "
                            "registrati."));
    QCOMPARE(value(app.db(), "SELECT group_concat(CODICE || '=' || PREZZO, ' ') FROM "
                             "PREZZO_LISTINO"),
             QStringLiteral("L001=31.17 L002=8.5 L003=4.7 L007=0.13"));
    QCOMPARE(value(app.db(), "SELECT PEZZI FROM LISTINO_COLONNE"),
             QStringLiteral("Pezzi per cartone"));

    // The agent's own weight and price of an article: the price the list gives by the piece
    // turns into one by the kilogram with the list's weight only, so the two are ticked together.
    QVERIFY(app.db().exec("UPDATE ARTICOLO SET PESO = 10 WHERE CODICE = 'L002';"));
    QVERIFY(app.db().exec("UPDATE PREZZO_LISTINO SET PREZZO = 9 WHERE CODICE = 'L002';"));
    w->close();
    app.dialogs.answerChoice(m_files.filePath(QStringLiteral("Listino pezzi.xlsx")));
    ui::menu(app.window.get(), "ImportaListino");
    w = importWindow();
    QVERIFY(w);
    QCOMPARE(w->CboMandante->currentText(), QStringLiteral("Oleificio Bianchi"));
    auto row = [&](const char* kind) -> QTreeWidgetItem* {
        for (int r = 0; r < w->ListaAnteprima->topLevelItemCount(); ++r) {
            QTreeWidgetItem* item = w->ListaAnteprima->topLevelItem(r);
            if (item->text(0) == QLatin1String(kind) && item->text(2) == QLatin1String("L002"))
                return item;
        }
        return nullptr;
    };
    QTreeWidgetItem* weight = row("Pesi cambiati");
    QTreeWidgetItem* price = row("Prezzi cambiati");
    QVERIFY(weight && price);
    QCOMPARE(price->text(4), QStringLiteral("8,50 (8,50 €/pz × 12 pezzi / 12 kg)"));
    weight->setCheckState(0, Qt::Unchecked);
    QCOMPARE(price->checkState(0), Qt::Unchecked);
    price->setCheckState(0, Qt::Checked);
    QCOMPARE(weight->checkState(0), Qt::Checked);
    price->setCheckState(0, Qt::Unchecked);
    QCOMPARE(weight->checkState(0), Qt::Unchecked);
}

QTEST_MAIN(TestPriceLists)
#include "tst_pricelists.moc"
