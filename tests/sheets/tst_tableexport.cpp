// The table export: what the sheet holds, its name, where the workbook is saved, the busy
// pointer, and the failures that are now told.

#include "SheetKit.h"
#include "support/Boxes.h"
#include "support/Fixture.h"
#include "support/Ui.h"

#include "app/Gestione.h"
#include "masterdata/ExportCommands.h"
#include "orders/PrintOrder.h"
#include "sheets/OrderSheet.h"
#include "sheets/SpreadsheetSession.h"
#include "sheets/TableExport.h"
#include "sheets/Workbook.h"
#include "ui/Titles.h"

#include <QCursor>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonArray>
#include <QTemporaryDir>

#include <algorithm>

using namespace sheets;

namespace {

QString exported(const App& app, const QString& name) {
    return QDir(app.dir.path()).filePath(name + QStringLiteral(".xlsx"));
}

QJsonObject cellOf(const QJsonObject& x, const QString& ref) {
    return x["cells"].toObject()[ref].toObject();
}

// An opener that notes the pointer shown while the export runs.
class PointerOpener : public FileOpener {
public:
    Status open(const QString&) override {
        const QCursor* c = QGuiApplication::overrideCursor();
        shape = c ? int(c->shape()) : -1;
        return {};
    }
    int shape = -2;
};

void storeArticles(Database& db, int n) {
    Status s = db.write([&]() -> Status {
        auto st = db.prepare("INSERT INTO ARTICOLO (CODICE, ARTICOLO, FORMATO, PESO, AGG) "
                             "VALUES (?1, ?2, 'CT', ?3, '2026-11-30');");
        if (!st)
            return st.error();
        for (int i = 0; i < n; ++i) {
            st->reset();
            st->bind(1, QStringLiteral("C%1").arg(i))
                .bind(2, QStringLiteral("ARTICOLO NUMERO %1").arg(i))
                .bind(3, i * 0.5);
            if (Status r = st->run(); !r)
                return r;
        }
        return {};
    });
    if (!s)
        qFatal("storeArticles: %s", qPrintable(s.error().text));
}

} // namespace

class TestTableExport : public QObject {
    Q_OBJECT

    QTemporaryDir m_tmp;

private Q_SLOTS:
    void initTestCase() { qputenv("TMPDIR", QFile::encodeName(m_tmp.path())); }

    void namesAndTitle() {
        QCOMPARE(tableexport::cleanSheetName("a:b\\c/d?e*f[g]h"), QStringLiteral("abcdefgh"));
        QCOMPARE(tableexport::cleanSheetName("Ordini: 2026/12"), QStringLiteral("Ordini 202612"));
        QCOMPARE(tableexport::titleLine(),
                 QStringLiteral("Gestione Ordini  %1.%2.%3 - Esportazione Dati.")
                     .arg(GESTIONE_VERSION_MAJOR)
                     .arg(GESTIONE_VERSION_MINOR)
                     .arg(GESTIONE_VERSION_PATCH));
    }

    void theArticleTable_data() { kit::addLocaleRows(); }
    void theArticleTable() {
        QFETCH(QByteArray, locale);
        const kit::ProcessLocale inLocale(locale.constData());
        QVERIFY2(inLocale.active, locale.constData());
        App app(TestDir::Content::Demo);
        ui::menu(app.window.get(), "StampaArticolo");
        QVERIFY2(app.dialogs.boxes.isEmpty(), qPrintable(app.dialogs.describe()));
        const QString path = exported(app, "Foglio");
        QCOMPARE(app.opener.opened, QStringList{path});
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);

        const QList<QStringList> stored =
            rows(app.db(), "SELECT ID, CODICE, ARTICOLO, FORMATO, PESO, AGG FROM ARTICOLO "
                           "ORDER BY ID;");
        QVERIFY(stored.size() > 5);
        const QJsonObject x = kit::readXlsx(
            path, {"col:Foglio:C", "col:Foglio:E", "Foglio!A2", "Foglio!B2", "Foglio!E2",
                   "Foglio!F2", "Foglio!A1", "Foglio!F1", "Foglio!G1", "Foglio!A3"});
        // The new sheet goes before the one the new workbook came with.
        QCOMPARE(x["sheets"].toArray(), (QJsonArray{"Foglio", "Foglio1"}));
        QCOMPARE(x["active"].toString(), QStringLiteral("Foglio"));
        const QJsonObject info = x["info"].toObject()["Foglio"].toObject();
        QCOMPARE(info["max_row"].toInt(), stored.size() + 1);
        QCOMPARE(info["max_col"].toInt(), 6);
        QCOMPARE(info["selection"].toString(), QStringLiteral("A2"));

        const QStringList names = {"ID", "CODICE", "ARTICOLO", "FORMATO", "PESO", "AGG"};
        QCOMPARE(cellOf(x, "Foglio!A1")["value"].toString(), names[0]);
        QVERIFY(cellOf(x, "Foglio!A1")["bold"].toBool());
        QCOMPARE(cellOf(x, "Foglio!F1")["value"].toString(), names[5]);
        QVERIFY(cellOf(x, "Foglio!F1")["bold"].toBool());
        QVERIFY(cellOf(x, "Foglio!G1")["value"].isNull());
        // Numbers as numbers, texts as texts, dates as dates.
        QCOMPARE(cellOf(x, "Foglio!A2")["type"].toString(), QStringLiteral("int"));
        QCOMPARE(cellOf(x, "Foglio!A2")["value"].toInt(), stored[0][0].toInt());
        QVERIFY(!cellOf(x, "Foglio!A2")["bold"].toBool());
        QCOMPARE(cellOf(x, "Foglio!B2")["value"].toString(), stored[0][1]);
        QCOMPARE(cellOf(x, "Foglio!E2")["value"].toDouble(), stored[0][4].toDouble());
        QCOMPARE(cellOf(x, "Foglio!F2")["type"].toString(), QStringLiteral("datetime"));
        QCOMPARE(cellOf(x, "Foglio!F2")["value"].toString(), stored[0][5] + "T00:00:00");
        const QJsonArray descriptions = x["cells"].toObject()["col:Foglio:C"].toArray();
        QCOMPARE(descriptions.size(), stored.size() + 1);
        for (int i = 0; i < stored.size(); ++i)
            QCOMPARE(descriptions[i + 1].toString(), stored[i][2]);
        // Weights with decimals (38,5 on screen) read back as stored.
        const QJsonArray weights = x["cells"].toObject()["col:Foglio:E"].toArray();
        QVERIFY(stored.size() + 1 == weights.size());
        QVERIFY(std::any_of(stored.begin(), stored.end(),
                            [](const QStringList& r) { return r[4] == QLatin1String("38.5"); }));
        for (int i = 0; i < stored.size(); ++i)
            QCOMPARE(weights[i + 1].toDouble(), stored[i][4].toDouble());

        // Fitted: the descriptions need a wider column than the keys.
        const QJsonObject cols = info["columns"].toObject();
        const double id = cols["A"].toObject()["width"].toDouble();
        const double description = cols["C"].toObject()["width"].toDouble();
        QVERIFY2(id > 2 && description > 2 * id,
                 qPrintable(QStringLiteral("%1 %2").arg(id).arg(description)));
    }

    void exportingAgainAddsASheetWithANewName() {
        App app(TestDir::Content::Demo);
        tableexport::StampaArticolo(app.ctx);
        tableexport::StampaClienti(app.ctx);
        QVERIFY2(app.dialogs.boxes.isEmpty(), qPrintable(app.dialogs.describe()));
        QCOMPARE(app.opener.opened,
                 (QStringList{exported(app, "Foglio"), exported(app, "Foglio-nuovo")}));
        // The first file stays as it was saved; the second holds both sheets.
        QCOMPARE(kit::readXlsx(exported(app, "Foglio"))["sheets"].toArray(),
                 (QJsonArray{"Foglio", "Foglio1"}));
        const QJsonObject x = kit::readXlsx(exported(app, "Foglio-nuovo"), {"Foglio-nuovo!C1"});
        QCOMPARE(x["sheets"].toArray(), (QJsonArray{"Foglio-nuovo", "Foglio", "Foglio1"}));
        QCOMPARE(cellOf(x, "Foglio-nuovo!C1")["value"].toString(), QStringLiteral("SOGGETTO"));
        QCOMPARE(x["info"].toObject()["Foglio"].toObject()["max_row"].toInt(),
                 value(app.db(), "SELECT count(*) FROM ARTICOLO;").toInt() + 1);

        // A third time the single pass makes "Foglio-nuovo" again, which is taken: the name
        // takes one more suffix and the export goes through.
        tableexport::StampaClienti(app.ctx);
        QVERIFY2(app.dialogs.boxes.isEmpty(), qPrintable(app.dialogs.describe()));
        QCOMPARE(app.opener.opened.size(), 3);
        QCOMPARE(app.opener.opened.last(), exported(app, "Foglio-nuovo-nuovo"));
        QCOMPARE(kit::readXlsx(exported(app, "Foglio-nuovo-nuovo"))["sheets"].toArray(),
                 (QJsonArray{"Foglio-nuovo-nuovo", "Foglio-nuovo", "Foglio", "Foglio1"}));
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    }

    // However long a session, every export gets a name of its own that a sheet can have: past
    // the suffixes, a number in brackets takes the end of the name, whatever its digits.
    void manyExportsInOneSessionAllGoThrough() {
        App app;
        exec(app.db(), "INSERT INTO CLIENTE (CODICE, SOGGETTO) VALUES ('1', 'A');");
        constexpr int kExports = 50;
        for (int i = 0; i < kExports; ++i)
            ui::menu(app.window.get(), "StampaClienti");
        QVERIFY2(app.dialogs.boxes.isEmpty(), qPrintable(app.dialogs.describe()));
        QCOMPARE(app.opener.opened.size(), kExports);
        QStringList names;
        for (const QString& p : app.opener.opened) {
            QVERIFY2(QFile::exists(p), qPrintable(p));
            names << QFileInfo(p).completeBaseName();
        }
        QCOMPARE(names[5], QStringLiteral("Foglio-nuovo-nuovo-nuovo-nuovo-"));
        QCOMPARE(names[6], QStringLiteral("Foglio-nuovo-nuovo-nuovo-nu (2)"));
        QCOMPARE(names[14], QStringLiteral("Foglio-nuovo-nuovo-nuovo-n (10)"));
        QCOMPARE(names.last(), QStringLiteral("Foglio-nuovo-nuovo-nuovo-n (45)"));
        QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), kExports);
        for (const QString& n : names)
            QVERIFY2(n.size() <= 31, qPrintable(n));
        // The workbook holds every sheet under the name of its file.
        Workbook* wb = app.ctx.spreadsheet->activeWorkbook();
        QVERIFY(wb);
        QCOMPARE(wb->sheetCount(), kExports + 1);
        for (const QString& n : names)
            QVERIFY2(wb->findSheet(n), qPrintable(n));
    }

    void anEmptyTable() {
        App app;
        tableexport::StampaClienti(app.ctx);
        QVERIFY2(app.dialogs.boxes.isEmpty(), qPrintable(app.dialogs.describe()));
        const QJsonObject x = kit::readXlsx(exported(app, "Foglio"));
        // The sheet keeps the name it was given; the file has the export's name.
        QCOMPARE(x["sheets"].toArray(), (QJsonArray{"Foglio2", "Foglio1"}));
        QCOMPARE(cellOf(x, "Foglio2!A1")["value"].toString(), tableexport::titleLine());
        QVERIFY(!cellOf(x, "Foglio2!A1")["bold"].toBool());
        QCOMPARE(cellOf(x, "Foglio2!A2")["value"].toString(),
                 QStringLiteral("Attendere, lettura dati in corso: Foglio"));
        QCOMPARE(cellOf(x, "Foglio2!A4")["value"].toString(),
                 QStringLiteral("NESSUN dato disponibile"));
        QVERIFY(cellOf(x, "Foglio2!A4")["bold"].toBool());
        QCOMPARE(x["info"].toObject()["Foglio2"].toObject()["max_row"].toInt(), 4);
    }

    void theExportJoinsTheOpenOrderSheet() {
        App app(TestDir::Content::Demo);
        const QStringList order =
            rows(app.db(), "SELECT ANNO, NR, ID_CL FROM ORDINE ORDER BY ID LIMIT 1;").first();
        StampaOrdineV(app.ctx, order[0], order[1], order[2]);
        tableexport::StampaArticolo(app.ctx);
        QVERIFY2(app.dialogs.boxes.isEmpty(), qPrintable(app.dialogs.describe()));
        const QJsonObject x = kit::readXlsx(exported(app, "Foglio"), {"Ordine!A13"});
        QCOMPARE(x["sheets"].toArray(), (QJsonArray{"Foglio", "Ordine"}));
        QCOMPARE(cellOf(x, "Ordine!A13")["value"].toString(), QStringLiteral("CODICE ARTICOLO"));
        QCOMPARE(x["info"].toObject()["Ordine"].toObject()["merged"].toArray().size(), 3);
    }

    void namesStayInTheApplicationDirectory() {
        App app(TestDir::Content::Demo);
        QDir parent(app.dir.path());
        QVERIFY(parent.cdUp());
        const QStringList before = parent.entryList();
        auto rs = app.db().prepare("SELECT * FROM ARTICOLO;");
        QVERIFY(rs);
        QString name = QStringLiteral("../../fuori:/x\\y");
        QVERIFY(tableexport::Ado2excel(app.ctx, *rs, name));
        QCOMPARE(name, QStringLiteral("....fuorixy"));
        QVERIFY(QFile::exists(exported(app, name)));
        QCOMPARE(parent.entryList(), before);

        // Longer than 31 characters: cut after the suffix.
        const QString longName(28, QLatin1Char('L'));
        for (int i = 0; i < 2; ++i) {
            auto again = app.db().prepare("SELECT * FROM CLIENTE;");
            QString n = longName;
            QVERIFY(tableexport::Ado2excel(app.ctx, *again, n));
            QCOMPARE(n, i == 0 ? longName : longName + "-nu");
            QVERIFY(QFile::exists(exported(app, n)));
        }
        QString tooLong(40, QLatin1Char('K'));
        auto third = app.db().prepare("SELECT * FROM CLIENTE;");
        QVERIFY(tableexport::Ado2excel(app.ctx, *third, tooLong));
        QCOMPARE(tooLong.size(), 31);
        QVERIFY(app.dialogs.boxes.isEmpty());
    }

    // A table with more rows than a sheet holds is refused before anything is written, in
    // words that name the table and the limit; the menu entries count the rows before reading
    // them.
    void aTableLargerThanASheetIsRefused() {
        const auto refusal = [](const char* table) {
            return QStringLiteral("La tabella %1 ha 1.048.576 righe: un foglio di lavoro ne "
                                  "contiene al massimo 1.048.575 sotto la riga con i nomi delle "
                                  "colonne.\nL'esportazione non è stata fatta e nessun file è "
                                  "stato scritto.")
                .arg(QLatin1String(table));
        };
        QVERIFY(!tableexport::tooManyRows(QStringLiteral("CLIENTE"), 1048575));
        QCOMPARE(tableexport::tooManyRows(QStringLiteral("CLIENTE"), 1048576).value_or(QString()),
                 refusal("CLIENTE"));

        App app;
        exec(app.db(), "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE "
                       "i < 1048576) INSERT INTO ARTICOLO (CODICE) SELECT NULL FROM n;");
        ui::menu(app.window.get(), "StampaArticolo");
        QCOMPARE(app.dialogs.describe(),
                 boxes::message(refusal("ARTICOLO"), titles::t18(), BoxIcon::Exclamation));
        QVERIFY(app.opener.opened.isEmpty());
        QVERIFY(!app.ctx.spreadsheet);

        // A statement handed to the export directly is refused the same way once its rows pass
        // the limit, and the workbook stays as it was.
        auto rs = app.db().prepare(tableexport::kArticoli);
        QVERIFY(rs);
        QString name = QStringLiteral("Foglio");
        Status s = tableexport::Ado2excel(app.ctx, *rs, name);
        QVERIFY(!s);
        QCOMPARE(s.error().text, refusal("ARTICOLO"));
        QCOMPARE(app.ctx.spreadsheet->activeWorkbook()->sheetCount(), 1);
        QVERIFY(app.opener.opened.isEmpty());
        QCOMPARE(QDir(app.dir.path()).entryList({"*.xlsx"}, QDir::Files), QStringList());
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    }

    void thousandsOfRows() {
        App app;
        storeArticles(app.db(), 5000);
        tableexport::Esporta(app.ctx);
        QVERIFY2(app.dialogs.boxes.isEmpty(), qPrintable(app.dialogs.describe()));
        const QJsonObject x = kit::readXlsx(exported(app, "Foglio"),
                                            {"col:Foglio:C", "Foglio!F5001", "Foglio!E5001"});
        const QJsonArray c = x["cells"].toObject()["col:Foglio:C"].toArray();
        QCOMPARE(c.size(), 5001);
        QCOMPARE(c[1].toString(), QStringLiteral("ARTICOLO NUMERO 0"));
        QCOMPARE(c[5000].toString(), QStringLiteral("ARTICOLO NUMERO 4999"));
        QCOMPARE(cellOf(x, "Foglio!E5001")["value"].toDouble(), 4999 * 0.5);
        QCOMPARE(cellOf(x, "Foglio!F5001")["value"].toString(),
                 QStringLiteral("2026-11-30T00:00:00"));
    }

    void theBusyPointerShowsWhileItRuns() {
        App app(TestDir::Content::Demo);
        PointerOpener opener;
        AppContext ctx(app.dialogs, app.clock, opener, app.dir.path());
        ctx.connection = app.dir.open();
        tableexport::StampaClienti(ctx);
        QCOMPARE(opener.shape, int(Qt::WaitCursor));
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    }

    void aFailedSaveIsToldAndLeavesNothing() {
        App app(TestDir::Content::Demo);
        // A folder where the file should go.
        QVERIFY(QDir(app.dir.path()).mkdir("Foglio.xlsx"));
        tableexport::StampaArticolo(app.ctx);
        QCOMPARE(app.dialogs.boxes.size(), 1);
        const auto box = app.dialogs.boxes.first();
        QCOMPARE(box.title, QStringLiteral("Errore"));
        QCOMPARE(box.icon, BoxIcon::Critical);
        QVERIFY2(box.text.contains("Foglio.xlsx"), qPrintable(box.text));
        QVERIFY(app.opener.opened.isEmpty());
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
        // No temporary file is left behind.
        QCOMPARE(QDir(app.dir.path()).entryList({"*.tmp", "*.xlsx"}, QDir::Files | QDir::Hidden),
                 QStringList());

        // The failed sheet went away: the next export takes the name again.
        QVERIFY(QDir(app.dir.path()).rmdir("Foglio.xlsx"));
        app.dialogs.clear();
        tableexport::StampaArticolo(app.ctx);
        QVERIFY2(app.dialogs.boxes.isEmpty(), qPrintable(app.dialogs.describe()));
        QCOMPARE(app.opener.opened, QStringList{exported(app, "Foglio")});
    }

    void aDatabaseErrorIsToldByEveryEntry() {
        App app(TestDir::Content::Demo);
        exec(app.db(), "DROP TABLE ARTICOLO;");
        tableexport::Esporta(app.ctx);
        ui::menu(app.window.get(), "StampaArticolo");
        QCOMPARE(app.dialogs.boxes.size(), 2);
        for (const auto& box : app.dialogs.boxes) {
            QCOMPARE(box.title, QStringLiteral("Errore"));
            QCOMPARE(box.icon, BoxIcon::Critical);
        }
        QVERIFY(app.opener.opened.isEmpty());
        QVERIFY(!QFile::exists(exported(app, "Foglio")));
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    }

    void theUserIsToldWhereTheExportIsWhenNothingOpensIt() {
        App app(TestDir::Content::Demo);
        app.opener.result = false;
        tableexport::StampaClienti(app.ctx);
        QCOMPARE(app.dialogs.boxes.size(), 1);
        QCOMPARE(app.dialogs.boxes.first().icon, BoxIcon::Information);
        QVERIFY(app.dialogs.boxes.first().text.contains(
            QDir::toNativeSeparators(exported(app, "Foglio"))));
    }
};

QTEST_MAIN(TestTableExport)
#include "tst_tableexport.moc"
