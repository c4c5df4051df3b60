// The shared widgets: the date box and the report list.

#include "support/Fixture.h"
#include "support/Ui.h"

#include "data/Database.h"
#include "data/Schema.h"
#include "ui/widgets/DateBox.h"
#include "ui/widgets/ReportList.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

class TestWidgets : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dateBoxTakesItalianDatesAndMayBeEmpty() {
        QWidget top;
        auto* box = new DateBox(&top);
        auto* other = new QLineEdit(&top);
        top.show();
        QVERIFY(QTest::qWaitForWindowExposed(&top));
        QVERIFY(box->isEmpty());
        QVERIFY(!box->date());
        // Short forms become the whole date on leaving the box; what is no date stays as typed.
        const std::pair<const char*, const char*> typed[] = {
            {"8/12/26", "08/12/2026"},  {"20/12/26", "20/12/2026"}, {"201226", "20/12/2026"},
            {"20122026", "20/12/2026"}, {"31/02/2026", nullptr},    {"2012202", nullptr},
            {"32122026", nullptr},
        };
        for (const auto& [text, date] : typed) {
            ui::retype(box, QString::fromLatin1(text));
            ui::leave(box, other);
            QCOMPARE(box->lineEdit()->text(), QString::fromLatin1(date ? date : text));
            QCOMPARE(box->date().has_value(), date != nullptr);
        }
        ui::retype(box, QStringLiteral("ab-1.2/3"));
        QCOMPARE(box->text(), QStringLiteral("12/3"));
        box->setDate(QDate(2026, 1, 5));
        QCOMPARE(box->text(), QStringLiteral("05/01/2026"));
        box->clear();
        QVERIFY(box->isEmpty());
    }

    void dateBoxCalendarPicksADate() {
        QWidget top;
        auto* box = new DateBox(&top);
        top.resize(300, 100);
        box->setGeometry(10, 10, 150, 24);
        top.show();
        QVERIFY(QTest::qWaitForWindowExposed(&top));
        box->setDate(QDate(2026, 12, 8));
        QTimer::singleShot(0, [&] {
            auto* cal = qApp->activePopupWidget()
                            ? qApp->activePopupWidget()->findChild<QCalendarWidget*>()
                            : nullptr;
            QVERIFY(cal);
            QCOMPARE(cal->selectedDate(), QDate(2026, 12, 8));
            Q_EMIT cal->clicked(QDate(2026, 12, 24));
        });
        ui::click(box->calendarButton());
        QCOMPARE(box->text(), QStringLiteral("24/12/2026"));
    }

    void reportListShowsStoredValuesInItalianForms() {
        QTemporaryDir dir;
        Database::Options o;
        o.create = true;
        auto db = Database::open(dir.filePath("r.db"), schema::password(), o);
        QVERIFY(db);
        QVERIFY((*db)->exec("CREATE TABLE R (A TEXT, B REAL, C REAL, D TEXT);"
                            "INSERT INTO R VALUES ('D''AMICO', 12.5, 12.5, '2026-12-08'),"
                            "(NULL, 1500, 0.1, NULL), ('x', NULL, 3, 'non data'),"
                            "('', 1, 1, '');"));
        ReportView view;
        view.setColumns({{"A", "ALFA", 1000, Qt::AlignLeft, CellKind::Text, true},
                         {"B", "NUMERO", 0, Qt::AlignRight, CellKind::Number, false},
                         {"C", "PREZZO", 1800, Qt::AlignRight, CellKind::Fixed2, false},
                         {"D", "DATA", 1, Qt::AlignHCenter, CellKind::Date, false}});
        auto st = (*db)->prepare("SELECT A, B, C, D FROM R ORDER BY rowid;");
        QVERIFY(st);
        QVERIFY(view.report()->fill(*st));
        ReportModel* m = view.report();
        QCOMPARE(m->rows(), 4);
        QCOMPARE(m->cell(0, 0), QStringLiteral("D'AMICO"));
        QCOMPARE(m->cell(0, 1), QStringLiteral("12,5"));
        QCOMPARE(m->cell(0, 2), QStringLiteral("12,50"));
        QCOMPARE(m->cell(0, 3), QStringLiteral("08/12/2026"));
        QCOMPARE(m->cell(1, 0), QString());
        QVERIFY(m->isNull(1, 0));
        QCOMPARE(m->cell(1, 1), QStringLiteral("1500"));
        QCOMPARE(m->cell(1, 2), QStringLiteral("0,10"));
        QCOMPARE(m->cell(2, 3), QStringLiteral("non data"));
        // An empty text is a value, not a NULL.
        QVERIFY(!m->isNull(3, 0));
        QVERIFY(m->isNull(2, 1));
        QCOMPARE(m->cell(3, 0), QString());
        QCOMPARE(m->headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("PREZZO"));
        QVERIFY(m->data(m->index(0, 0), Qt::FontRole).value<QFont>().bold());
        QVERIFY(!m->data(m->index(0, 1), Qt::FontRole).isValid());
        QCOMPARE(Qt::Alignment(m->data(m->index(0, 2), Qt::TextAlignmentRole).toInt()) &
                     Qt::AlignHorizontal_Mask,
                 Qt::AlignRight);
        QVERIFY(view.isColumnHidden(1));
        QVERIFY(!view.isColumnHidden(2));
        // Columns are set again with the headings; the rows are gone.
        view.setColumns({{"X", "X", 1000}});
        QCOMPARE(m->rows(), 0);
        QCOMPARE(m->columnCount(), 1);
    }

    void clickReportsTheSelectedRow() {
        QTemporaryDir dir;
        Database::Options o;
        o.create = true;
        auto db = Database::open(dir.filePath("r.db"), schema::password(), o);
        QVERIFY((*db)->exec("CREATE TABLE R (A TEXT); INSERT INTO R VALUES ('1'), ('2'), ('3');"));
        ReportView view;
        view.resize(400, 300);
        view.setColumns({{"A", "A", 3000}});
        auto st = (*db)->prepare("SELECT A FROM R;");
        QVERIFY(view.report()->fill(*st));
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        int clicked = -1;
        connect(&view, &ReportView::rowClicked, [&](int r) { clicked = r; });
        ui::clickRow(&view, 1);
        QCOMPARE(clicked, 1);
        QCOMPARE(view.selectedRow(), 1);
    }

    void aRowCostsLittleMoreThanItsText() {
        QTemporaryDir dir;
        Database::Options o;
        o.create = true;
        auto db = Database::open(dir.filePath("r.db"), schema::password(), o);
        QVERIFY((*db)->exec("CREATE TABLE R (A, B, C, D, E);"
                            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                            "WHERE i < 20000) INSERT INTO R SELECT i, 'C' || i, "
                            "'CLIENTE NUMERO ' || i, 'MILANO', 'MI' FROM n;"));
        ReportModel m;
        m.setColumns({{"A", "A"}, {"B", "B"}, {"C", "C"}, {"D", "D"}, {"E", "E"}});
        auto st = (*db)->prepare("SELECT * FROM R;");
        QVERIFY(m.fill(*st));
        QCOMPARE(m.rows(), 20000);
        QVERIFY2(m.memoryBytes() / 20000 < 120,
                 qPrintable(QString::number(m.memoryBytes() / 20000)));
        QCOMPARE(m.cell(19999, 2), QStringLiteral("CLIENTE NUMERO 20000"));
    }
};

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
