// The workbook model: references, sheet names as the application gives and refuses them, how
// formats reach cells and columns, dates, and the column fit.

#include "sheets/ColumnFit.h"
#include "sheets/NumberFormat.h"
#include "sheets/Workbook.h"

#include <QTest>

using namespace sheets;

class TestWorkbook : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void references() {
        QCOMPARE(Range::parse("A1"), std::optional<Range>(Range::cell(0, 0)));
        QCOMPARE(Range::parse("$A$1:$I65000"), std::optional<Range>(Range{0, 0, 64999, 8}));
        QCOMPARE(Range::parse("f2:a2"), std::optional<Range>(Range{1, 0, 1, 5}));
        QCOMPARE(Range::parse("XFD1048576"), std::optional<Range>(Range::cell(1048575, 16383)));
        for (const char* bad : {"", "A", "1", "A0", "XFE1", "A1048577", "A1:", "A1:B", "A-1"})
            QVERIFY2(!Range::parse(bad), bad);
        QCOMPARE(toA1(Range::at("B2:F2")), std::string("B2:F2"));
        QCOMPARE(columnName(26), std::string("AA"));
    }

    void sheetsAreNamedAndAddedAsTheApplicationDoes() {
        Workbook wb;
        QCOMPARE(wb.sheetCount(), 1);
        QCOMPARE(wb.sheet(0).name(), QStringLiteral("Foglio1"));
        Sheet& second = wb.addSheet();
        // A new sheet goes before the active one and becomes active.
        QCOMPARE(second.name(), QStringLiteral("Foglio2"));
        QCOMPARE(wb.indexOf(second), 0);
        QCOMPARE(wb.activeSheet(), 0);
        QVERIFY(wb.rename(second, QStringLiteral("Foglio")));
        QCOMPARE(wb.addSheet().name(), QStringLiteral("Foglio3"));
        QCOMPARE(wb.sheet(1).name(), QStringLiteral("Foglio"));

        // A taken name is refused in any case; the sheet keeps its own name.
        Status s = wb.rename(wb.sheet(0), QStringLiteral("FOGLIO"));
        QVERIFY(!s);
        QCOMPARE(s.error().code, 1004);
        QVERIFY(s.error().text.contains("già usato"));
        QCOMPARE(wb.sheet(0).name(), QStringLiteral("Foglio3"));
        // Renaming a sheet to its own name in another case is allowed.
        QVERIFY(wb.rename(wb.sheet(1), QStringLiteral("FOGLIO")));
        for (const QString& bad : {QString(), QString(32, 'x'), QStringLiteral("a/b"),
                                   QStringLiteral("a[1]"), QStringLiteral("'a")})
            QVERIFY2(!wb.rename(wb.sheet(0), bad), qPrintable(bad));
        QVERIFY(wb.rename(wb.sheet(0), QString(31, 'x')));

        wb.removeSheet(0);
        QCOMPARE(wb.sheetCount(), 2);
        QCOMPARE(wb.sheet(wb.activeSheet()).name(), QStringLiteral("FOGLIO"));
    }

    void formatsOfCellsAndColumns() {
        Workbook wb;
        Sheet& s = wb.sheet(0);
        s.formatAll(Patch::size(12));
        s.setValue("A1", Value::ofText("x"));
        QCOMPARE(s.format("A1").fontSize, 12.0);
        QCOMPARE(s.format("ZZ9999").fontSize, 12.0);

        // Columns formatted from row 3 down: cells above keep their look, later cells take
        // the new one.
        s.formatColumns(1, 2, 2, Patch::numFmt("0.0"));
        QCOMPARE(s.format("B2").numberFormat, std::string());
        QCOMPARE(s.format("B2").fontSize, 12.0);
        QCOMPARE(s.format("B3").numberFormat, std::string("0.0"));
        s.setValue("C40", Value::ofNumber(1));
        QCOMPARE(s.format("C40").numberFormat, std::string("0.0"));
        QCOMPARE(s.format("D40").numberFormat, std::string());

        // Bounded ranges reach their cells only.
        s.format("A5:B6", Patch::makeBold());
        QVERIFY(s.format("B6").bold);
        QVERIFY(!s.format("C6").bold);
        s.formatPresent(Range::at("A1:Z100"), Patch::font("Arial", 9));
        QCOMPARE(s.format("C40").fontName, std::string("Arial"));
        QCOMPARE(s.format("C41").fontName, std::string());

        s.outline(Range::at("B8:D9"), true);
        QCOMPARE(s.format("B8").borders, std::uint8_t(edge::All & ~edge::Bottom));
        QCOMPARE(s.format("C9").borders, std::uint8_t(edge::Left | edge::Right | edge::Bottom));
        QCOMPARE(s.format("D9").borders, std::uint8_t(edge::Right | edge::Bottom | edge::Left));

        // A date written into a cell without a number format shows as a date; the same format
        // everywhere is one entry of the table.
        s.setValue("E1", *Value::ofDate(QDate(2026, 12, 8)));
        QCOMPARE(s.format("E1").numberFormat, kShortDate);
        const size_t n = wb.formats().size();
        s.setValue("E2", *Value::ofDate(QDate(2026, 12, 9)));
        QCOMPARE(wb.formats().size(), n);

        s.merge(Range::at("A20:C20"));
        s.setValue("B20", Value::ofText("y"));
        QVERIFY(s.mergeAt(19, 2));
        QVERIFY(!s.mergeAt(20, 2));
    }

    void datesAsSerialDays() {
        QCOMPARE(serialOf(QDate(1900, 1, 1)), std::optional<double>(1));
        QCOMPARE(serialOf(QDate(1900, 2, 28)), std::optional<double>(59));
        QCOMPARE(serialOf(QDate(1900, 3, 1)), std::optional<double>(61));
        QCOMPARE(serialOf(QDate(2026, 12, 8)), std::optional<double>(46364));
        QCOMPARE(serialOf(QDate(1899, 12, 31)), std::nullopt);
        QCOMPARE(dateOfSerial(46364), QDate(2026, 12, 8));
        QCOMPARE(dateOfSerial(59), QDate(1900, 2, 28));
    }

    void columnsFitTheirContent() {
        Workbook wb;
        Sheet& s = wb.sheet(0);
        s.setValue("A1", Value::ofText("BREVE"));
        s.setValue("A2", Value::ofText("UN TESTO MOLTO PIÙ LUNGO DEL PRIMO"));
        s.setValue("B1", Value::ofNumber(12345.678));
        s.setValue("C1", Value::ofText("PRIMA\nSECONDA RIGA PIÙ LUNGA"));
        s.setValue("D1", Value::ofText("PAROLA PAROLONA"));
        s.format("D1", [] {
            Patch p;
            p.wrap = true;
            return p;
        }());
        s.setValue("E1", Value::ofText("UN TESTO LUNGO NELLA CELLA UNITA"));
        s.merge(Range::at("E1:F1"));
        s.autofit(0, 6);
        const double a = *s.columnWidth(0);
        QVERIFY2(a > 25 && a < 45, qPrintable(QString::number(a)));
        QVERIFY(*s.columnWidth(1) > 6 && *s.columnWidth(1) < 12);
        // The longest line counts; a wrapping cell needs its longest word only.
        QVERIFY(*s.columnWidth(2) < a);
        QVERIFY(*s.columnWidth(3) < 12);
        // Merged cells and empty columns keep the default width.
        QCOMPARE(s.columnWidth(4), std::nullopt);
        QCOMPARE(s.columnWidth(6), std::nullopt);

        Format bold;
        bold.bold = true;
        Format arial9;
        arial9.fontName = "Arial";
        arial9.fontSize = 9;
        QVERIFY(fit::textWidthPx("ABC", bold) > fit::textWidthPx("ABC", Format{}));
        QVERIFY(fit::textWidthPx("ABC", arial9) < fit::textWidthPx("ABC", Format{}));
        QCOMPARE(fit::numberText(3.14159, "0.0"), std::string("3.1"));
        QCOMPARE(fit::numberText(12.5, "0.00"), std::string("12.50"));
        QCOMPARE(fit::charsForPx(0), 0.0);
    }

    // A number under the number formats of the sheets, as the page shows it.
    void numberFormats_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("shown");
        const QString percent = QStringLiteral("+0.0\" %\";-0.0\" %\";0.0\" %\"");
        QTest::newRow("intero") << 54.0 << QStringLiteral("#,##0") << QStringLiteral("54");
        QTest::newRow("migliaia") << 1234567.0 << QStringLiteral("#,##0")
                                  << QStringLiteral("1.234.567");
        QTest::newRow("decimali facoltativi, interi")
            << 54.0 << QStringLiteral("#,##0.##") << QStringLiteral("54");
        QTest::newRow("decimali facoltativi")
            << 1234.5 << QStringLiteral("#,##0.##") << QStringLiteral("1.234,5");
        QTest::newRow("almeno un decimale")
            << 12.0 << QStringLiteral("#,##0.0#") << QStringLiteral("12,0");
        QTest::newRow("due decimali")
            << 0.25 << QStringLiteral("#,##0.0#") << QStringLiteral("0,25");
        QTest::newRow("euro") << -3287.925 << QStringLiteral("#,##0.00")
                              << QStringLiteral("-3.287,93");
        QTest::newRow("negativo che è zero")
            << -0.004 << QStringLiteral("0.00") << QStringLiteral("0,00");
        QTest::newRow("percentuale positiva") << 12.54 << percent << QStringLiteral("+12,5 %");
        QTest::newRow("percentuale negativa") << -28.48219 << percent << QStringLiteral("-28,5 %");
        QTest::newRow("percentuale zero") << 0.0 << percent << QStringLiteral("0,0 %");
        QTest::newRow("per cento") << 0.125 << QStringLiteral("0.0%") << QStringLiteral("12,5%");
        QTest::newRow("testo con barra")
            << 7.0 << QStringLiteral("0\\ \"kg\"") << QStringLiteral("7 kg");
        QTest::newRow("colore") << -5.0 << QStringLiteral("[Red]0;[Blue]-0")
                                << QStringLiteral("-5");
        QTest::newRow("generale") << 0.1 << QStringLiteral("General") << QStringLiteral("0,1");
    }
    void numberFormats() {
        QFETCH(double, value);
        QFETCH(QString, format);
        QFETCH(QString, shown);
        QCOMPARE(formatNumber(value, format.toStdString()), shown);
    }
};

QTEST_MAIN(TestWorkbook)
#include "tst_workbook.moc"
