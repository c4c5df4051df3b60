// The window's zoom: its menu and keys, its bounds, the largest step a maximised window takes on
// a screen of 1920 by 1080, and the choice kept (owner-only) for the next run.

#include "support/Fixture.h"
#include "support/Ui.h"

#include "app/Gestione.h"
#include "app/StatusBar.h"
#include "app/ViewSettings.h"
#include "app/WindowZoom.h"
#include "ui/widgets/Twips.h"
#include "ui/widgets/Zoom.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>

namespace {

QString settingsFolder() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("Gestione Ordini"));
}

void keepInSettings(const QString& zoom, const QString& maximised) {
    QSettings s(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Gestione Ordini"),
                QStringLiteral("Gestione Ordini"));
    s.setValue(QStringLiteral("vista/zoom"), zoom);
    s.setValue(QStringLiteral("vista/ingrandita"), maximised);
}

} // namespace

class TestZoom : public QObject {
    Q_OBJECT

    std::unique_ptr<App> app;

    int percent() const { return app->window->zoom().percent(); }
    void key(int key) {
        QWidget* to = QApplication::focusWidget() ? QApplication::focusWidget() : app->window.get();
        QTest::keyClick(to, Qt::Key(key), Qt::ControlModifier);
    }

private Q_SLOTS:
    void initTestCase() {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(screen.size(), QSize(1920, 1080));
    }
    void cleanup() {
        app.reset();
        QFile::remove(settingsFolder());
        QDir(settingsFolder()).removeRecursively();
    }

    void menuAndKeysStepByTenFrom100To200() {
        app = std::make_unique<App>();
        QStringList entries;
        for (QAction* a : app->find<QMenu>("MVisualizza")->actions())
            entries << a->objectName() + QLatin1Char('=') + a->text() + QLatin1Char('=') +
                           a->shortcut().toString(QKeySequence::PortableText);
        QCOMPARE(entries, (QStringList{"Ingrandisci=Ingrandisci=Ctrl++", "Riduci=Riduci=Ctrl+-",
                                       "DimensioneNormale=Dimensione normale=Ctrl+0"}));
        QCOMPARE(app->find<QAction>("MVisualizzaMenu")->text(), QStringLiteral("&Visualizza"));
        QCOMPARE(percent(), 100);
        QVERIFY(!app->find<QAction>("Riduci")->isEnabled());
        key(Qt::Key_Minus);
        QCOMPARE(percent(), 100);
        const QSize at100 = app->window->size();
        for (int p = 110; p <= 200; p += 10) {
            key(Qt::Key_Plus);
            QCOMPARE(percent(), p);
        }
        // Every length of the layout grows with it: the window too.
        QCOMPARE(app->window->centralWidget()->width(), 2 * twips::px(14835));
        QVERIFY(app->window->width() >= 2 * at100.width() - 1);
        QVERIFY(!app->find<QAction>("Ingrandisci")->isEnabled());
        key(Qt::Key_Plus);
        QCOMPARE(percent(), 200);
        key(Qt::Key_Minus);
        QCOMPARE(percent(), 190);
        key(Qt::Key_0);
        QCOMPARE(percent(), 100);
        // Back at 100 % nothing differs from before.
        QCOMPARE(app->window->size(), at100);
        QVERIFY(app->dialogs.unexpected.isEmpty());
    }

    void theChoiceIsKeptForTheOwnerAlone() {
        app = std::make_unique<App>();
        ui::menu(app->window.get(), "Ingrandisci");
        ui::menu(app->window.get(), "Ingrandisci");
        const viewsettings::View kept = viewsettings::load();
        QCOMPARE(kept.zoom, 120);
        QVERIFY(!kept.maximised);
        const QFileInfo folder(settingsFolder());
        // Nothing for the group or others (the toolkit's "user" bits repeat the owner's).
        QCOMPARE(folder.permissions() & 0x7077,
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QFileInfo file(folder.filePath() + QStringLiteral("/Gestione Ordini.ini"));
        QVERIFY(file.exists());
        QCOMPARE(file.permissions() & 0x7077, QFile::ReadOwner | QFile::WriteOwner);
    }

    void theKeptZoomOpensTheNextRun_data() {
        QTest::addColumn<QString>("kept");
        QTest::addColumn<int>("opens");
        QTest::newRow("130") << "130" << 130;
        QTest::newRow("200") << "200" << 200;
        QTest::newRow("nulla") << "" << 100;
        QTest::newRow("testo") << "grande" << 100;
        QTest::newRow("troppo") << "250" << 100;
        QTest::newRow("poco") << "90" << 100;
        QTest::newRow("negativo") << "-130" << 100;
        QTest::newRow("fuori passo") << "125" << 100;
        QTest::newRow("decimale") << "1.5" << 100;
    }
    void theKeptZoomOpensTheNextRun() {
        QFETCH(QString, kept);
        QFETCH(int, opens);
        app = std::make_unique<App>(TestDir::Content::Supplied,
                                    [&](App&) { keepInSettings(kept, QStringLiteral("no")); });
        QCOMPARE(percent(), opens);
        QCOMPARE(app->window->centralWidget()->width(), zoom::scaled(989, opens));
        QVERIFY(!app->window->zoom().keptMaximised());
    }

    void aMaximisedWindowTakesTheLargestStepThatFits() {
        app = std::make_unique<App>();
        const QSize at100 = app->window->size();
        app->window->showMaximized();
        QTRY_VERIFY(app->window->isMaximized());
        QTRY_VERIFY(percent() > 100);
        const QSize room = app->window->size();
        // On a screen of 1920 by 1080 the window is half as large again, or more.
        QVERIFY2(percent() >= 150, qPrintable(QString::number(percent())));
        QCOMPARE(percent(), WindowZoom::fitting(at100, room));
        QVERIFY(app->window->minimumSize().width() <= room.width());
        QVERIFY(app->window->minimumSize().height() <= room.height());
        // The next step would not fit; the layout lies in the middle.
        QVERIFY(!app->find<QAction>("Ingrandisci")->isEnabled());
        QWidget* client = app->window->centralWidget();
        const int left = client->x();
        const int right = room.width() - client->geometry().right() - 1;
        QVERIFY2(qAbs(left - right) <= 1, qPrintable(QStringLiteral("%1 %2").arg(left).arg(right)));
        QCOMPARE(viewsettings::load().zoom, percent());
        QVERIFY(viewsettings::load().maximised);
        // A smaller step stays while the window is maximised.
        ui::menu(app->window.get(), "Riduci");
        const int chosen = percent();
        QCOMPARE(viewsettings::load().zoom, chosen);
        QVERIFY(app->window->isMaximized());
        QVERIFY(app->find<QAction>("Ingrandisci")->isEnabled());
        // Given back its size, the window keeps the zoom and takes the size it needs.
        app->window->showNormal();
        QTRY_VERIFY(!app->window->isMaximized());
        QCOMPARE(percent(), chosen);
        QTRY_COMPARE(app->window->size(), app->window->minimumSize());
        QCOMPARE(client->x(), 0);
        QVERIFY(!viewsettings::load().maximised);
    }

    void aChoiceThatCannotBeKeptIsTold() {
        app = std::make_unique<App>();
        // Where the folder of the settings should be, a file.
        QFile blocker(settingsFolder());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        ui::menu(app->window.get(), "Ingrandisci");
        QCOMPARE(percent(), 110);
        QCOMPARE(app->window->StatusBar1->currentMessage(),
                 QStringLiteral("Impossibile ricordare la dimensione della finestra: il file "
                                "%1/Gestione Ordini.ini non si può scrivere.")
                     .arg(settingsFolder()));
        QVERIFY(app->dialogs.unexpected.isEmpty());
    }
};

QTEST_MAIN(TestZoom)
#include "tst_zoom.moc"
