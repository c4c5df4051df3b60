// The old archive's five tables into a new file of the program: the conversions, the rows that
// cannot be stored, the report, and the database tool's command.

#include "JetKit.h"

#include "data/ArchiveImport.h"
#include "data/Database.h"
#include "data/Schema.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <sys/stat.h>

namespace {

using jet::Value;

// An archive of rows given by the test.
class RowsArchive : public jet::Archive {
public:
    struct Table {
        QStringList columns;
        QList<jet::Row> rows;
    };
    std::map<QString, Table> data;

    QStringList tables() const override {
        QStringList out;
        for (const auto& [name, t] : data)
            out << name;
        return out;
    }
    Result<QList<jet::Column>> columns(const QString& table) override {
        auto it = data.find(table);
        if (it == data.end())
            return makeError(QStringLiteral("il file non contiene la tabella %1").arg(table));
        QList<jet::Column> out;
        for (const QString& c : it->second.columns)
            out << jet::Column{c, jet::Type::Text, 50};
        return out;
    }
    Status rows(const QString& table, const jet::RowSink& sink) override {
        for (const jet::Row& r : data.at(table).rows)
            if (Status s = sink(r); !s)
                return s;
        return {};
    }
};

Value t(const char* s) {
    return Value::ofText(QString::fromUtf8(s));
}
Value i(std::int64_t n) {
    return Value::ofInteger(n);
}
Value d(int y, int m, int day) {
    return Value::ofDateTime(QDate(y, m, day), QTime(0, 0));
}
const Value null = Value::null();

// The archive of the earlier program, with a row of each case.
RowsArchive oldArchive() {
    RowsArchive a;
    a.data["UTENTE"] = {
        {"ID", "UTENTE", "VIA", "CAP", "CITTA", "PR"},
        {{i(1), t("MARIO ROSSI"), t("VIA ROMA 1"), t("24121"), t("BERGAMO"), t("BG")}}};
    a.data["CLIENTE"] = {{"id", "Codice", "SOGGETTO", "CITTA", "PROVINCIA", "EXTRA"},
                         {{i(7), t("123"), t("BIANCHI & C."), t("MILANO"), t("MI"), t("x")},
                          // Null in every nullable column.
                          {i(8), null, null, null, null, null},
                          // The same ID again.
                          {i(7), t("456"), t("VERDI"), null, null, null},
                          // A code longer than the column holds.
                          {i(9), t("123456789012"), t("NERI"), null, null, null}}};
    a.data["ARTICOLO"] = {{"ID", "CODICE", "ARTICOLO", "FORMATO", "PESO", "AGG"},
                          {{i(3), t("A1"), t("VINO"), t("CASSA"), t("12,50"), d(1899, 5, 1)},
                           {i(4), null, null, null, null, null},
                           {i(5), t("A2"), t("OLIO"), null, t("molto"), null}}};
    a.data["ORDINE"] = {{"ID", "ANNO", "NR", "ID_CL", "DATAO", "DATAC", "DEST", "CITTA", "PR",
                         "ARTICOLO", "CODICE", "FORMATO", "PESO", "QVENDITA", "QOMAGGIO", "PREZZO",
                         "SCONTO", "NOTE"},
                        {{i(11), i(2024), i(3), t("123"), d(2024, 3, 1), t("05/03/2024"), t("SEDE"),
                          t("MILANO"), t("MI"), t("VINO"), t("A1"), t("CASSA"), Value::ofReal(12.5),
                          i(10), i(0), Value::ofReal(4.35), t("1.5"), t("urgente")},
                         {i(12), t("2024"), t("4"), null, null, null, null, null, null, null, null,
                          null, null, null, null, null, null, null},
                         // An order line without its number.
                         {i(13), t("2024"), null, null, null, null, null, null, null, null, null,
                          null, null, null, null, null, null, null}}};
    a.data["ANNO"] = {{"ANNO"}, {{i(2024)}, {t("2025")}}};
    return a;
}

QStringList rows(Database& db, const char* sql) {
    QStringList out;
    auto st = db.prepare(sql);
    while (st && st->next()) {
        QStringList cells;
        for (int c = 0; c < st->columnCount(); ++c)
            cells << (st->isNull(c)
                          ? QStringLiteral("NULL")
                          : st->text(c) + QLatin1Char(':') + QString::number(st->type(c)));
        out << cells.join(QLatin1Char('|'));
    }
    return out;
}

int modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

} // namespace

class TestArchiveImport : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void copiesTheRowsAndListsThoseLeftOut() {
        QTemporaryDir dir;
        const QString target = dir.filePath("Ordine.mdb");
        RowsArchive archive = oldArchive();
        auto report = archiveimport::run(archive, target, "VECCHIO.mdb");
        QVERIFY2(report, qPrintable(report ? QString() : report.error().text));

        auto db = Database::open(target, schema::password());
        QVERIFY(db);
        QVERIFY(schema::verify(**db));
        // Storage classes: 1 integer, 2 real, 3 text.
        QCOMPARE(
            rows(**db, "SELECT * FROM CLIENTE ORDER BY ID;"),
            (QStringList{"7:1|123:3|BIANCHI & C.:3|MILANO:3|MI:3", "8:1|NULL|NULL|NULL|NULL"}));
        QCOMPARE(rows(**db, "SELECT * FROM ARTICOLO ORDER BY ID;"),
                 (QStringList{"3:1|A1:3|VINO:3|CASSA:3|12.5:2|1899-05-01:3",
                              "4:1|NULL|NULL|NULL|NULL|NULL"}));
        QCOMPARE(rows(**db, "SELECT * FROM ORDINE ORDER BY ID;"),
                 (QStringList{"11:1|2024:3|3:3|123:3|2024-03-01:3|2024-03-05:3|SEDE:3|MILANO:3|"
                              "MI:3|VINO:3|A1:3|CASSA:3|12.5:2|10.0:2|0.0:2|4.35:2|1.5:2|urgente:3",
                              "12:1|2024:3|4:3|NULL|NULL|NULL|NULL|NULL|NULL|NULL|NULL|NULL|NULL|"
                              "NULL|NULL|NULL|NULL|NULL"}));
        QCOMPARE(rows(**db, "SELECT * FROM ANNO ORDER BY ANNO;"),
                 (QStringList{"2024:3", "2025:3"}));
        QCOMPARE(rows(**db, "SELECT ID, UTENTE, CAP FROM UTENTE;"),
                 (QStringList{"1:1|MARIO ROSSI:3|24121:3"}));

        const QString reportPath = dir.filePath("Ordine - importazione.txt");
        QCOMPARE(report->reportPath, reportPath);
        const QString summary = "UTENTE: 1 righe copiate\n"
                                "CLIENTE: 2 righe copiate, 2 non importate\n"
                                "ARTICOLO: 2 righe copiate, 1 non importate\n"
                                "ORDINE: 2 righe copiate, 1 non importate\n"
                                "ANNO: 2 righe copiate\n"
                                "Righe non importate: 4 (elenco in " +
                                reportPath + ")\n";
        QCOMPARE(archiveimport::summary(*report), summary);
        QFile f(reportPath);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(f.readAll()),
                 "Importazione di VECCHIO.mdb in Ordine.mdb\n\n" + summary +
                     "\nRighe non importate:\n"
                     "CLIENTE, ID 7: l'ID 7 è già di un'altra riga\n"
                     "CLIENTE, ID 9: colonna CODICE: il valore «123456789012» è più lungo di 11 "
                     "caratteri\n"
                     "ARTICOLO, ID 5: colonna PESO: «molto» non è un numero\n"
                     "ORDINE, ID 13: colonna NR: manca il valore\n");
        QCOMPARE(modeOf(reportPath), 0600);
        QCOMPARE(modeOf(target), 0600);
    }

    void aMissingTableLeavesNoFile() {
        QTemporaryDir dir;
        const QString target = dir.filePath("Ordine.mdb");
        RowsArchive archive = oldArchive();
        archive.data.erase("ANNO");
        auto report = archiveimport::run(archive, target, "VECCHIO.mdb");
        QVERIFY(!report);
        QCOMPARE(report.error().text,
                 QStringLiteral("archivio: il file non contiene la tabella ANNO"));
        QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    }

    // The tool on a Jet file without the program's tables, and on a file that is no Jet file.
    void theToolRefusesAnArchiveItCannotUse_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error");
        QTest::newRow("other tables")
            << jetkit::unpacked("jet4-types") << "archivio: il file non contiene la tabella UTENTE";
        QTest::newRow("not Jet") << QByteArray("not a database")
                                 << "VECCHIO.mdb: il file non è un archivio Access (Jet)";
    }
    void theToolRefusesAnArchiveItCannotUse() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        QTemporaryDir dir;
        const QString old = jetkit::put(dir.path(), "VECCHIO.mdb", bytes);
        const QString target = dir.filePath("Ordine.mdb");
        QProcess p;
        p.setStandardOutputFile(QProcess::nullDevice());
        p.start(QStringLiteral(GESTIONE_MAKEDB), {"--importa", old, target});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 1);
        QCOMPARE(QString::fromUtf8(p.readAllStandardError()).trimmed(),
                 target + QStringLiteral(": ") + error);
        QVERIFY(!QFile::exists(target));
        QFile f(old);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), bytes);
    }
};

QTEST_GUILESS_MAIN(TestArchiveImport)
#include "tst_archiveimport.moc"
