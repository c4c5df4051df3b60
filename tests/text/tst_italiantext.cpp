// Number and date texts in the Italian forms, whatever the machine's locale.

#include "masterdata/InputRules.h"
#include "text/ItalianText.h"

#include <QLocale>
#include <QTest>

class TestItalianText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        // The forms must not follow the machine's locale.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void readsNumbers_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("whole") << "12" << 12.0;
        QTest::newRow("decimal comma") << "12,5" << 12.5;
        QTest::newRow("leading comma") << ",5" << 0.5;
        QTest::newRow("trailing comma") << "5," << 5.0;
        QTest::newRow("negative") << "-3" << -3.0;
        QTest::newRow("negative comma") << "-,25" << -0.25;
        QTest::newRow("thousands") << "1.500" << 1500.0;
        QTest::newRow("thousands and decimals") << "1.500,00" << 1500.0;
        QTest::newRow("millions") << "12.345.678,9" << 12345678.9;
        QTest::newRow("blanks around") << " 7,25 " << 7.25;
        QTest::newRow("leading zeros") << "007" << 7.0;
        QTest::newRow("fifteen digits") << "123456789012345" << 123456789012345.0;
        QTest::newRow("zero") << "0" << 0.0;
        QTest::newRow("minus zero") << "-0" << 0.0;
    }
    void readsNumbers() {
        QFETCH(QString, text);
        QFETCH(double, value);
        const auto v = itext::parseNumber(text);
        QVERIFY2(v.has_value(), qPrintable(text));
        QCOMPARE(*v, value);
        QVERIFY(!std::signbit(*v) || value < 0);
    }

    void refusesWhatIsNoNumber_data() {
        QTest::addColumn<QString>("text");
        for (const char* t : {"",
                              "-",
                              ",",
                              "-,",
                              "1,2,3",
                              "1-2",
                              "--5",
                              "1.5",
                              "15.00",
                              "1.50,0",
                              "1..500",
                              ".500",
                              "1.5000",
                              "12a",
                              "e5",
                              "1e5",
                              "+",
                              "1 000",
                              "1,5.0",
                              "1234567890123456",
                              "0,1234567890123456",
                              "∞",
                              "١٢"})
            QTest::newRow(t) << QString::fromUtf8(t);
    }
    void refusesWhatIsNoNumber() {
        QFETCH(QString, text);
        QVERIFY2(!itext::parseNumber(text).has_value(), qPrintable(text));
    }

    void ctrNumDFormatsMoney_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("12") << "12"
                            << "12,00";
        QTest::newRow("12,5") << "12,5"
                              << "12,50";
        QTest::newRow(",5") << ",5"
                            << "0,50";
        QTest::newRow("-3") << "-3"
                            << "-3,00";
        QTest::newRow("1500") << "1500"
                              << "1.500,00";
        QTest::newRow("1.500,00") << "1.500,00"
                                  << "1.500,00";
        QTest::newRow("millions") << "1234567,891"
                                  << "1.234.567,89";
        QTest::newRow("half rounds away from zero") << "1,005"
                                                    << "1,01";
        QTest::newRow("negative half") << "-2,675"
                                       << "-2,68";
        QTest::newRow("carry") << "999,999"
                               << "1.000,00";
        QTest::newRow("tiny negative is zero") << "-0,001"
                                               << "0,00";
        QTest::newRow("0") << "0"
                           << "0,00";
    }
    void ctrNumDFormatsMoney() {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        const auto v = itext::parseNumber(typed);
        QVERIFY(v);
        QCOMPARE(CtrNumD(*v), shown);
        // What CtrNumD writes reads back as the same amount.
        QCOMPARE(itext::formatGrouped2(*itext::parseNumber(shown)), shown);
    }

    void listFormsAreShortAndReadBack_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("fixed2");
        QTest::newRow("12.5") << 12.5 << "12,5"
                              << "12,50";
        QTest::newRow("1500") << 1500.0 << "1500"
                              << "1500,00";
        QTest::newRow("0.1+0.2") << (0.1 + 0.2) << "0,3"
                                 << "0,30";
        QTest::newRow("-0.75") << -0.75 << "-0,75"
                               << "-0,75";
        QTest::newRow("1e20") << 1e20 << "100000000000000000000"
                              << "100000000000000000000,00";
        QTest::newRow("0.00001") << 0.00001 << "0,00001"
                                 << "0,00";
    }
    void listFormsAreShortAndReadBack() {
        QFETCH(double, value);
        QFETCH(QString, number);
        QFETCH(QString, fixed2);
        QCOMPARE(itext::formatNumber(value), number);
        QCOMPARE(itext::formatFixed2(value), fixed2);
        if (number.size() <= 16)
            QCOMPARE(*itext::parseNumber(number), *itext::parseNumber(itext::formatNumber(value)));
    }

    void storedNumbersShowInItalian() {
        QCOMPARE(itext::storedNumberText("12.5"), QStringLiteral("12,5"));
        QCOMPARE(itext::storedNumberText("12.0"), QStringLiteral("12"));
        QCOMPARE(itext::storedNumberText("7"), QStringLiteral("7"));
        QCOMPARE(itext::storedNumberText("abc"), QStringLiteral("abc"));
    }

    void readsDates() {
        QCOMPARE(itext::parseDate(u"08/12/2026"), std::optional<QDate>(QDate(2026, 12, 8)));
        QCOMPARE(itext::parseDate(u"8/2/2026"), std::optional<QDate>(QDate(2026, 2, 8)));
        QCOMPARE(itext::parseDate(u"29/02/2024"), std::optional<QDate>(QDate(2024, 2, 29)));
        for (const char16_t* bad :
             {u"31/02/2026", u"29/02/2025", u"00/01/2026", u"12/13/2026", u"2026-12-08",
              u"08/12/26", u"08/12", u"", u"aa/bb/cccc", u"08/12/2026x", u"8//2026"})
            QVERIFY2(!itext::parseDate(bad), qPrintable(QString::fromUtf16(bad)));
        QCOMPARE(itext::formatDate(QDate(2026, 1, 5)), QStringLiteral("05/01/2026"));
        QCOMPARE(itext::isoDate(QDate(2026, 1, 5)), QStringLiteral("2026-01-05"));
        QCOMPARE(itext::storedDateText("2026-01-05"), QStringLiteral("05/01/2026"));
        QCOMPARE(itext::storedDateText("ieri"), QStringLiteral("ieri"));
    }

    void fieldConversionsNameTheFieldAndText() {
        auto n = itext::numberField(QStringLiteral("Prezzo"), QStringLiteral("1,2,3"));
        QVERIFY(!n);
        QVERIFY(n.error().text.contains(QStringLiteral("Prezzo")));
        QVERIFY(n.error().text.contains(QStringLiteral("\"1,2,3\"")));
        auto empty = itext::numberField(QStringLiteral("Sconto"), QString());
        QVERIFY(empty && !empty->has_value());
        auto d = itext::dateField(QStringLiteral("Data Ordine"), QStringLiteral("31/02/2026"));
        QVERIFY(!d);
        QVERIFY(d.error().text.contains(QStringLiteral("Data Ordine")));
        QCOMPARE(**itext::dateField(QStringLiteral("D"), QStringLiteral("08/12/2026")),
                 QStringLiteral("2026-12-08"));
    }

    void orderNumbersAreWholeNumbersUpTo32767() {
        QCOMPARE(*itext::orderNumberField(QStringLiteral("Nr"), QStringLiteral("25")), 25);
        QCOMPARE(*itext::orderNumberField(QStringLiteral("Nr"), QStringLiteral("32767")), 32767);
        QCOMPARE(*itext::orderNumberField(QStringLiteral("Nr"), QStringLiteral("007")), 7);
        for (const char* bad : {"0", "32768", "-1", "1,5", "-", "", "100000", "1-2"})
            QVERIFY2(!itext::orderNumberField(QStringLiteral("Nr"), QString::fromLatin1(bad)), bad);
    }

    void idsAreWholePositiveNumbers() {
        QCOMPARE(itext::parseId(u"42"), std::optional<std::int64_t>(42));
        QVERIFY(!itext::parseId(u"L1"));
        QVERIFY(!itext::parseId(u""));
        QVERIFY(!itext::parseId(u"1 OR 1=1"));
        QVERIFY(!itext::parseId(u"-3"));
    }
};

QTEST_GUILESS_MAIN(TestItalianText)
#include "tst_italiantext.moc"
