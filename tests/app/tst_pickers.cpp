// The toolkit's own file and folder pickers, as the program opens them where the desktop offers
// none: every word Italian and no column heading or entry cut.

#include "app/Translation.h"
#include "ui/QtDialogs.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

namespace {

const QRegularExpression kEnglish(QStringLiteral(
    "\\b(Folder|Drive|Shortcut|Alias|Size|Kind|Type|Date Modified|Name|Look in|Back|Forward|"
    "Parent Directory|New Folder|List View|Detail View|Files of type|Open|Choose|Cancel|Save|"
    "Rename|Delete|Show hidden files|Directory|Directories|All Files)\\b"));

// Every text the picker shows: labels, buttons and their hints, lists, headings and entries.
QStringList textsOf(QFileDialog* picker) {
    QStringList texts{picker->windowTitle()};
    for (QWidget* w : picker->findChildren<QWidget*>()) {
        if (auto* l = qobject_cast<QLabel*>(w))
            texts << l->text();
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            texts << b->text() << b->toolTip();
        if (auto* c = qobject_cast<QComboBox*>(w))
            for (int i = 0; i < c->count(); ++i)
                texts << c->itemText(i);
        if (auto* e = qobject_cast<QLineEdit*>(w))
            texts << e->placeholderText();
        if (auto* v = qobject_cast<QAbstractItemView*>(w)) {
            const QAbstractItemModel* m = v->model();
            const QModelIndex root = v->rootIndex();
            for (int c = 0; c < m->columnCount(root); ++c)
                texts << m->headerData(c, Qt::Horizontal).toString();
            for (int r = 0; r < m->rowCount(root); ++r)
                for (int c = 0; c < m->columnCount(root); ++c)
                    texts << m->index(r, c, root).data().toString()
                          << m->index(r, c, root).data(Qt::ToolTipRole).toString();
        }
    }
    for (QAction* a : picker->findChildren<QAction*>())
        texts << a->text();
    return texts;
}

// Columns narrower than their heading or their widest entry.
QStringList cutColumns(QFileDialog* picker) {
    QStringList cut;
    auto* list = picker->findChild<QTreeView*>(QStringLiteral("treeView"));
    if (!list)
        return {QStringLiteral("no detailed list")};
    QHeaderView* h = list->header();
    for (int c = 0; c < h->count(); ++c) {
        if (h->isSectionHidden(c))
            continue;
        const QString heading = list->model()->headerData(c, Qt::Horizontal).toString();
        if (h->sectionSize(c) < h->sectionSizeHint(c))
            cut << QStringLiteral("%1: %2 px for its heading of %3")
                       .arg(heading)
                       .arg(h->sectionSize(c))
                       .arg(h->sectionSizeHint(c));
        const int entries = static_cast<QAbstractItemView*>(list)->sizeHintForColumn(c);
        if (c > 0 && h->sectionSize(c) < entries)
            cut << QStringLiteral("%1: %2 px for entries of %3")
                       .arg(heading)
                       .arg(h->sectionSize(c))
                       .arg(entries);
    }
    return cut;
}

} // namespace

class TestPickers : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(installItalianTranslation(*qApp)); }

    void pickersAreItalianAndWhole_data() {
        QTest::addColumn<bool>("folder");
        QTest::newRow("cartella") << true;
        QTest::newRow("file") << false;
    }
    void pickersAreItalianAndWhole() {
        QFETCH(bool, folder);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Ordini del mese")));
        for (const char* name : {"elenco clienti.xlsx", "LEGGIMI", "copia.mdb"}) {
            QFile f(dir.filePath(QLatin1String(name)));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(123456, 'x'));
        }
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("Ordini del mese")),
                            dir.filePath(QStringLiteral("collegamento"))));
        const int entries = folder ? 2 : 5;

        QStringList english, cut;
        bool seen = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&]() {
            auto* picker = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!picker)
                return;
            auto* list = picker->findChild<QTreeView*>(QStringLiteral("treeView"));
            // Its entries are read in the background.
            if (!list || list->model()->rowCount(list->rootIndex()) < entries)
                return;
            QCoreApplication::processEvents();
            for (const QString& t : textsOf(picker))
                if (kEnglish.match(t).hasMatch())
                    english << t;
            cut = cutColumns(picker);
            seen = true;
            picker->reject();
        });
        poll.start(20);
        QtDialogs real;
        const auto chosen =
            folder ? real.chooseFolder(QStringLiteral("Cartella della copia"), dir.path())
                   : real.chooseFile(QStringLiteral("Copia da ripristinare"), dir.path(),
                                     QStringLiteral("Tutti i file (*)"));
        QVERIFY(seen);
        QVERIFY(!chosen);
        QVERIFY2(english.isEmpty(), qPrintable(english.join(QStringLiteral(" | "))));
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral("; "))));
    }
};

QTEST_MAIN(TestPickers)
#include "tst_pickers.moc"
