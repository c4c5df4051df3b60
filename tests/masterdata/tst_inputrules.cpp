// The rules applied while typing: upper case with the caret kept, the numeric keys, and the
// price formatted on leaving.

#include "support/Fixture.h"
#include "support/Ui.h"

#include "masterdata/CustomerPanel.h"
#include "masterdata/InputRules.h"
#include "orders/OrderPanel.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

class TestInputRules : public QObject {
    Q_OBJECT

    std::unique_ptr<App> app;

    template <class T = QLineEdit> T* field(const char* name) { return app->find<T>(name); }

private Q_SLOTS:
    void init() {
        app = std::make_unique<App>();
        app->window->Frame1->show();
        app->window->Frame3->show();
    }
    void cleanup() { app.reset(); }

    void typedTextTurnsUpperCase() {
        QLineEdit* t2 = field("T2");
        ui::type(t2, QStringLiteral("d'amico nicolò è già là"));
        QCOMPARE(t2->text(), QStringLiteral("D'AMICO NICOLÒ È GIÀ LÀ"));
        ui::type(field<QComboBox>("Cbo8"), QStringLiteral("cantù"));
        QCOMPARE(field<QComboBox>("Cbo8")->currentText(), QStringLiteral("CANTÙ"));
    }

    void aLetterTypedInTheMiddleKeepsTheCaretAfterIt() {
        QLineEdit* t2 = field("T2");
        ui::type(t2, QStringLiteral("ROSI"));
        t2->setCursorPosition(3);
        ui::type(t2, QStringLiteral("s"));
        QCOMPARE(t2->text(), QStringLiteral("ROSSI"));
        QCOMPARE(t2->cursorPosition(), 4);
    }

    void textSetByTheProgramOrPastedTurnsUpperCase() {
        QLineEdit* t2 = field("T2");
        t2->setText(QStringLiteral("bianchi"));
        QCOMPARE(t2->text(), QStringLiteral("BIANCHI"));
        t2->clear();
        QApplication::clipboard()->setText(QStringLiteral("verdi"));
        t2->paste();
        QCOMPARE(t2->text(), QStringLiteral("VERDI"));
        auto* t15 = field<QPlainTextEdit>("T15");
        t15->setPlainText(QStringLiteral("consegna\nal mattino"));
        QCOMPARE(t15->toPlainText(), QStringLiteral("CONSEGNA\nAL MATTINO"));
    }

    void notesKeepTheCaretAcrossLines() {
        auto* t15 = field<QPlainTextEdit>("T15");
        ui::type(t15, QStringLiteral("riga uno"));
        QTest::keyClick(t15, Qt::Key_Return);
        ui::type(t15, QStringLiteral("due"));
        QCOMPARE(t15->toPlainText(), QStringLiteral("RIGA UNO\nDUE"));
        QCOMPARE(t15->textCursor().position(), 12);
    }

    void numericFieldsTakeOnlyDigitsCommaAndMinus() {
        QLineEdit* t1 = field("T1");
        ui::type(t1, QStringLiteral("1a-2b,.3 x"));
        QCOMPARE(t1->text(), QStringLiteral("1-2,,3"));
        QTest::keyClick(t1, Qt::Key_Backspace);
        QCOMPARE(t1->text(), QStringLiteral("1-2,,"));
        QTest::keyClick(t1, Qt::Key_Return);
        QCOMPARE(t1->text(), QStringLiteral("1-2,,"));
        ui::type(t1, QStringLiteral("è"));
        QCOMPARE(t1->text(), QStringLiteral("1-2,,"));
    }

    void theFullStopKeyTypesAComma() {
        QLineEdit* t11 = field("T11");
        ui::type(t11, QStringLiteral("12.5"));
        QCOMPARE(t11->text(), QStringLiteral("12,5"));
    }

    void clipboardShortcutsAreDropped() {
        QLineEdit* t12 = field("T12");
        QApplication::clipboard()->setText(QStringLiteral("abc"));
        t12->setFocus();
        QTest::keyClick(t12, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(t12->text(), QString());
    }

    void codeFieldTakesAtMostElevenCharacters() {
        QLineEdit* t1 = field("T1");
        ui::type(t1, QStringLiteral("1234567890123"));
        QCOMPARE(t1->text(), QStringLiteral("12345678901"));
    }

    void manualNumberFieldUsesTheFilterToo() {
        QLineEdit* t7 = field("T7");
        t7->setReadOnly(false);
        ui::type(t7, QStringLiteral("2x5"));
        QCOMPARE(t7->text(), QStringLiteral("25"));
    }

    void priceIsFormattedOnLeaving_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("after");
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
        QTest::newRow("1,2,3") << "1,2,3"
                               << "1,2,3";
        QTest::newRow("-") << "-"
                           << "-";
        QTest::newRow("empty") << ""
                               << "";
    }
    void priceIsFormattedOnLeaving() {
        QFETCH(QString, typed);
        QFETCH(QString, after);
        QLineEdit* t13 = field("T13");
        // Typed "1.500,00" arrives as "1,500,00" through the key filter: set it as pasted.
        t13->setText(typed);
        ui::leave(t13, field("T14"));
        QCOMPARE(t13->text(), after);
    }

    void pastedLettersInThePriceStayAsTheyAre() {
        QLineEdit* t13 = field("T13");
        QApplication::clipboard()->setText(QStringLiteral("dodici"));
        t13->setFocus();
        t13->paste();
        ui::leave(t13, field("T14"));
        QCOMPARE(t13->text(), QStringLiteral("dodici"));
    }
};

QTEST_MAIN(TestInputRules)
#include "tst_inputrules.moc"
