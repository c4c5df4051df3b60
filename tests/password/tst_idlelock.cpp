// The lock after minutes without use: set behind the personal password, it hides every panel
// and window, asks the password again and gives back what was typed, the cursor where it was;
// three wrong passwords end the program with nothing saved.

#include "orders/OrderKit.h"

#include "data/Rekey.h"
#include "masterdata/CustomerPanel.h"
#include "password/IdleLock.h"
#include "password/IdleLockSetting.h"
#include "search/SearchWindow.h"

#include <QApplication>
#include <QMenuBar>
#include <QStatusBar>

using namespace kit;

namespace {

const QString kTitle = QStringLiteral("Blocco dopo inattività");
const QString kApp = QStringLiteral("Gestione Ordini");
const QString kLocked =
    QStringLiteral("Il programma è bloccato: i dati sono nascosti.\n\nPassword personale");
const QString kAgain = QStringLiteral("Password errata.\n\n") + kLocked;
const QString kCurrent =
    QStringLiteral("Il database ha una password personale.\n\nPassword personale attuale");
const QString kAsk =
    QStringLiteral("Minuti senza uso dopo i quali il programma nasconde i dati e chiede di nuovo "
                   "la password personale (da 1 a 240; 0 per non bloccarlo).\n\n"
                   "Impostazione attuale: %1.");
const FileKey kKey = FileKey::personalPassword(QStringLiteral("Segreto-1"));

// The program on a file under the personal password, the lock set to `minutes`.
std::unique_ptr<App> locked(int minutes) {
    auto app = std::make_unique<App>(TestDir::Content::Supplied, [&](App& a) {
        {
            auto db = a.dir.open();
            seed(*db);
            QVERIFY(idlelock::setMinutes(*db, minutes));
        }
        QVERIFY(rekey::changeKey(a.dir.dbPath(), FileKey::builtIn(), kKey));
        a.dialogs.answerPassword(QStringLiteral("Segreto-1"));
    });
    app->dialogs.clear();
    return app;
}

QString minutesStored(Database& db) {
    return value(db, "SELECT ifnull((SELECT MINUTI FROM BLOCCO_INATTIVITA), 0);");
}

// What every field of the window holds, by name.
QStringList typedWork(QWidget* window) {
    QStringList out;
    for (auto* e : window->findChildren<QLineEdit*>())
        if (!e->objectName().isEmpty())
            out << e->objectName() + QLatin1Char('=') + e->text();
    for (auto* c : window->findChildren<QComboBox*>())
        out << c->objectName() + QLatin1Char('=') + c->currentText();
    for (auto* t : window->findChildren<QPlainTextEdit*>())
        out << t->objectName() + QLatin1Char('=') + t->toPlainText();
    return out;
}

// The widgets on screen that are neither the lock's own, the menus nor the status bar.
QStringList onScreen(Gestione* window) {
    QStringList out;
    const QWidget* cover = window->findChild<QWidget*>(QStringLiteral("Bloccato"));
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisible() || w == cover || cover->isAncestorOf(w) ||
            window->menuBar()->isAncestorOf(w) || w == window->menuBar() ||
            window->statusBar()->isAncestorOf(w) || w == window->statusBar())
            continue;
        out << w->metaObject()->className() + QStringLiteral(" ") + w->objectName();
    }
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w != window)
            out << QStringLiteral("window ") + w->objectName();
    return out;
}

} // namespace

class TestIdleLock : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theLockIsSetBehindThePersonalPassword() {
        App plain;
        plain.dialogs.clear();
        ui::menu(plain.window.get(), "BloccoInattivita");
        QCOMPARE(plain.dialogs.describe(),
                 message("Il blocco dopo inattività nasconde i dati e chiede la password "
                         "personale: si usa solo con una password personale, da impostare prima "
                         "con \"Password personale…\" del menu Archivio.",
                         kTitle, BoxIcon::Information));

        auto app = locked(0);
        auto set = [&](const QString& password, const std::optional<QString>& minutes) {
            app->dialogs.clear();
            app->dialogs.answerPassword(password);
            app->dialogs.answerInput(minutes);
            ui::menu(app->window.get(), "BloccoInattivita");
            return app->dialogs.describe();
        };
        const QString none = boxes::input(kAsk.arg("nessun blocco"), kTitle);
        QCOMPARE(set("Sbagliata-1", "5"),
                 seq({boxes::password(kCurrent, kTitle),
                      message("Password personale errata.\n\nNulla è stato cambiato.", kTitle,
                              BoxIcon::Exclamation)}));
        app->dialogs.inputs.clear();
        for (const char* bad : {"5 min", "241", "-1", "0,5", "٥"}) {
            QCOMPARE(set("Segreto-1", QString::fromUtf8(bad)),
                     seq({boxes::password(kCurrent, kTitle), none,
                          message(QStringLiteral("«%1» non è un numero di minuti da 0 a 240.\n\n"
                                                 "Il blocco non è stato cambiato.")
                                      .arg(QString::fromUtf8(bad)),
                                  kTitle, BoxIcon::Exclamation)}));
            QCOMPARE(minutesStored(app->db()), QStringLiteral("0"));
        }
        QCOMPARE(set("Segreto-1", std::nullopt), seq({boxes::password(kCurrent, kTitle), none}));
        QCOMPARE(set("Segreto-1", " 5 "),
                 seq({boxes::password(kCurrent, kTitle), none,
                      message("Da ora il programma si blocca dopo 5 minuti senza uso: nasconde i "
                              "dati e chiede la password personale.",
                              kTitle, BoxIcon::Information)}));
        QCOMPARE(minutesStored(app->db()), QStringLiteral("5"));
        QCOMPARE(app->window->idleLock().minutes(), 5);
        QCOMPARE(
            set("Segreto-1", "0"),
            seq({boxes::password(kCurrent, kTitle),
                 boxes::input(kAsk.arg("dopo 5 minuti senza uso"), kTitle),
                 message("Da ora il programma non si blocca più.", kTitle, BoxIcon::Information)}));
        QCOMPARE(minutesStored(app->db()), QStringLiteral("0"));
        QVERIFY(app->dialogs.unexpected.isEmpty());
    }

    // A half-typed customer, order header or order line is as it was once the password is given
    // again, the cursor in the same field; while locked nothing of it is on screen.
    void theLockHidesEverythingAndKeepsTypedWork_data() {
        QTest::addColumn<QString>("work");
        QTest::newRow("customer") << "customer";
        QTest::newRow("order header") << "header";
        QTest::newRow("order line") << "line";
    }
    void theLockHidesEverythingAndKeepsTypedWork() {
        QFETCH(QString, work);
        auto app = locked(5);
        Gestione* w = app->window.get();
        qint64 now = 1000;
        w->idleLock().setTicks([&]() { return now; });

        QWidget* focus = nullptr;
        if (work == QLatin1String("customer")) {
            ui::menu(w, "CNuovo");
            ui::type(w->Frame1->T1, QStringLiteral("10009"));
            ui::type(w->Frame1->T2, QStringLiteral("BAR CENTR"));
            focus = w->Frame1->T2;
        } else {
            OrderPanel* p = panel(*app);
            QVERIFY(openYear(*app, "Nordine", QStringLiteral("2026")));
            QVERIFY(ui::choose(p->Cbo5, QStringLiteral("ALIMENTARI D'ANGELO SNC")));
            ui::retype(p->Cbo3, QStringLiteral("magazzino"));
            ui::retype(p->Cbo9, QStringLiteral("BERG"));
            focus = p->Cbo9;
            if (work == QLatin1String("line")) {
                header(p, QStringLiteral("magazzino"), QStringLiteral("BERGAMO"),
                       QStringLiteral("BG"));
                QVERIFY(ui::choose(p->Cbo6, QStringLiteral("GRANA PADANO DOP")));
                ui::retype(p->T11, QStringLiteral("3"));
                ui::retype(p->T13, QStringLiteral("12,5"));
                focus = p->T13;
            }
        }
        focus->setFocus(Qt::OtherFocusReason);
        QCOMPARE(QApplication::focusWidget(), focus);
        ui::menu(w, "MCerca");
        QVERIFY(w->Cerca->isVisible());
        focus->activateWindow();
        focus->setFocus(Qt::OtherFocusReason);
        const QStringList before = typedWork(w);
        QVERIFY(app->dialogs.boxes.isEmpty());

        // Not yet, and a jump of the date and time changes nothing.
        now += 5 * 60 * 1000 - 1;
        app->clock.time = app->clock.time.addDays(1);
        w->Timer1_Timer();
        QVERIFY(!w->idleLock().locked());
        QVERIFY(app->dialogs.boxes.isEmpty());

        // Locked: the box is cancelled, the program stays locked, nothing is on screen.
        now += 1;
        app->dialogs.answerPassword(std::nullopt);
        w->Timer1_Timer();
        QVERIFY(w->idleLock().locked());
        QCOMPARE(app->dialogs.describe(), boxes::password(kLocked, kApp));
        QCOMPARE(onScreen(w), QStringList());
        QVERIFY(!w->menuBar()->isEnabled());
        QVERIFY(w->windowTitle().startsWith(QStringLiteral("Gestione Ordini   -  Benvenuto")));
        // The timer asks nothing more while locked.
        now += 60 * 60 * 1000;
        w->Timer1_Timer();
        QCOMPARE(app->dialogs.boxes.size(), 1);

        app->dialogs.clear();
        app->dialogs.answerPassword(QStringLiteral("Sbagliata-1"));
        app->dialogs.answerPassword(QStringLiteral("Segreto-1"));
        ui::click(app->find<QPushButton>("Sblocca"));
        QCOMPARE(app->dialogs.describe(),
                 seq({boxes::password(kLocked, kApp), boxes::password(kAgain, kApp)}));
        QVERIFY(!w->idleLock().locked());
        QCOMPARE(typedWork(w), before);
        QCOMPARE(QApplication::focusWidget(), focus);
        QVERIFY(w->Cerca->isVisible());
        QVERIFY(w->menuBar()->isEnabled());
        QVERIFY(app->dialogs.unexpected.isEmpty());
        QCOMPARE(value(app->db(), "SELECT count(*) FROM CLIENTE WHERE CODICE = '10009';"),
                 QStringLiteral("0"));
        QCOMPARE(value(app->db(), "SELECT count(*) FROM ORDINE;"), QStringLiteral("0"));

        // Use starts the count anew.
        now += 4 * 60 * 1000;
        QTest::keyClick(focus, Qt::Key_End);
        now += 4 * 60 * 1000;
        w->Timer1_Timer();
        QVERIFY(!w->idleLock().locked());
        w->Cerca->hide();
    }

    // Three wrong passwords, a cancelled box between them counting for nothing, end the program:
    // the file is closed with nothing of the half-typed customer in it.
    void threeWrongPasswordsEndTheProgram() {
        auto app = locked(1);
        Gestione* w = app->window.get();
        qint64 now = 0;
        w->idleLock().setTicks([&]() { return now; });
        ui::menu(w, "CNuovo");
        ui::type(w->Frame1->T1, QStringLiteral("10009"));
        ui::type(w->Frame1->T2, QStringLiteral("BAR CENTRALE"));
        now += 60 * 1000;
        app->dialogs.answerPassword(QStringLiteral("Sbagliata-1"));
        app->dialogs.answerPassword(std::nullopt);
        w->Timer1_Timer();
        QVERIFY(w->idleLock().locked());
        app->dialogs.answerPassword(QStringLiteral("segreto-1"));
        app->dialogs.answerPassword(QString());
        ui::click(app->find<QPushButton>("Sblocca"));
        QCOMPARE(app->dialogs.describe(),
                 seq({boxes::password(kLocked, kApp), boxes::password(kAgain, kApp),
                      boxes::password(kLocked, kApp), boxes::password(kAgain, kApp),
                      message("Password personale errata per tre volte.\n\n"
                              "Il programma verrà chiuso.",
                              kApp, BoxIcon::Critical)}));
        QVERIFY(w->ending());
        QVERIFY(!app->ctx.connected());
        QCOMPARE(onScreen(w), QStringList());
        auto db = Database::open(app->dir.dbPath(), kKey);
        QVERIFY(db);
        QCOMPARE(value(**db, "SELECT count(*) FROM CLIENTE WHERE CODICE = '10009';"),
                 QStringLiteral("0"));
    }
};

QTEST_MAIN(TestIdleLock)
#include "tst_idlelock.moc"
