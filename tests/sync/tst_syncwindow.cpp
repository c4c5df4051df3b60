// "Sincronizza" and "Server dell'agenzia…" in the window, against the fixture's server: the
// settings kept in the file, the sync off the window's thread, every outcome in a box and the
// status bar.

#include "PgKit.h"
#include "SyncKit.h"
#include "support/Ui.h"
#include "sync/ServerSchema.h"
#include "sync/SyncSettings.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

namespace {

// Fills the settings dialog each time it shows, from the given values in turn, and presses OK.
class DialogFiller : public QObject {
public:
    explicit DialogFiller(QList<syncsettings::Settings> values) : m_values(std::move(values)) {
        m_timer.setInterval(20);
        connect(&m_timer, &QTimer::timeout, this, [this]() { poll(); });
        m_timer.start();
    }

private:
    void poll() {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || w->objectName() != QLatin1String("ServerAgenziaDialog") || m_values.isEmpty())
            return;
        const syncsettings::Settings s = m_values.takeFirst();
        w->findChild<QLineEdit*>(QStringLiteral("SyncServer"))->setText(s.server.host);
        w->findChild<QLineEdit*>(QStringLiteral("SyncPorta"))
            ->setText(QString::number(s.server.port));
        w->findChild<QLineEdit*>(QStringLiteral("SyncDatabase"))->setText(s.server.database);
        w->findChild<QLineEdit*>(QStringLiteral("SyncUtente"))->setText(s.server.user);
        w->findChild<QLineEdit*>(QStringLiteral("SyncPassword"))->setText(s.server.password);
        w->findChild<QLineEdit*>(QStringLiteral("SyncCA"))->setText(s.server.caFile);
        w->findChild<QSpinBox*>(QStringLiteral("SyncMinuti"))->setValue(s.minutes);
        QTest::mouseClick(w->findChild<QDialogButtonBox*>(QStringLiteral("SyncPulsanti"))
                              ->button(QDialogButtonBox::Ok),
                          Qt::LeftButton);
    }
    QList<syncsettings::Settings> m_values;
    QTimer m_timer;
};

} // namespace

class TestSyncWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void syncFromTheMenu() {
        const QString db = synckit::agencyWithCatalogue({QStringLiteral("Anna")});
        App app;
        QVERIFY(app.started);
        const QString title = QStringLiteral("Sincronizzazione");
        ui::menu(app.window.get(), "Sincronizza");
        QCOMPARE(app.dialogs.take().value(0).text,
                 QStringLiteral("Il server dell'agenzia non è impostato: indicarlo in \"Server "
                                "dell'agenzia…\" del menu Archivio."));

        syncsettings::Settings good;
        good.server = pgkit::agent(db, QStringLiteral("Anna"));
        good.minutes = 0;
        syncsettings::Settings noHost = good;
        noHost.server.host.clear();
        syncsettings::Settings wrong = good;
        wrong.server.password = QStringLiteral("sbagliata");
        {
            DialogFiller filler({noHost, wrong});
            ui::menu(app.window.get(), "ServerAgenzia");
        }
        auto boxes = app.dialogs.take();
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes[0].text,
                 QStringLiteral("Impostazioni non salvate: Manca l'indirizzo del server."));
        QCOMPARE(boxes[1].text, QStringLiteral("Impostazioni del server salvate."));
        // The password is kept in the encrypted file.
        QCOMPARE(value(app.db(), "SELECT VALORE FROM SYNC_STATO WHERE CHIAVE = 'server.password';"),
                 QStringLiteral("sbagliata"));

        synckit::addOrder(app.db(), 40, 2);
        ui::menu(app.window.get(), "Sincronizza");
        QTRY_VERIFY_WITH_TIMEOUT(!app.dialogs.boxes.isEmpty(), 30000);
        boxes = app.dialogs.take();
        QCOMPARE(boxes[0].icon, BoxIcon::Critical);
        QVERIFY2(
            boxes[0].text.startsWith(
                QStringLiteral(
                    "Sincronizzazione non riuscita: Il server 127.0.0.1 (porta %1, database %2) "
                    "non accetta il collegamento: ")
                    .arg(good.server.port)
                    .arg(db)),
            qPrintable(boxes[0].text));
        QCOMPARE(agencysync::pendingOrders(app.db()).value(), 1);

        QVERIFY(syncsettings::save(app.db(), good));
        ui::menu(app.window.get(), "Sincronizza");
        QTRY_VERIFY_WITH_TIMEOUT(!app.dialogs.boxes.isEmpty(), 30000);
        boxes = app.dialogs.take();
        const QString articles =
            pgkit::rows(*pgkit::connect(pgkit::admin(db)), "SELECT count(*) FROM articolo")
                .value(0);
        QCOMPARE(boxes.value(0).text,
                 QStringLiteral("Sincronizzazione completata: 1 ordini inviati, 0 ordini "
                                "ricevuti, %1 articoli e 0 mandanti aggiornati.")
                     .arg(articles));
        QCOMPARE(boxes.value(0).title, title);
        QCOMPARE(agencysync::pendingOrders(app.db()).value(), 0);
        QVERIFY2(app.window->statusBar()->currentMessage().startsWith(
                     QStringLiteral("Ultima sincronizzazione: ")),
                 qPrintable(app.window->statusBar()->currentMessage()));
        QVERIFY(app.window->statusBar()->currentMessage().endsWith(
            QStringLiteral("; ordini da inviare: 0")));
        QVERIFY(app.dialogs.unexpected.isEmpty());
    }
};

QTEST_MAIN(TestSyncWindow)
#include "tst_syncwindow.moc"
