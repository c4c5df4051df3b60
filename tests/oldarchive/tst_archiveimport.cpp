// The old archive's five tables into a new file of the program: the conversions, the rows that
// cannot be stored, the report, and the database tool's command.

#include "JetKit.h"

#include "data/Database.h"
#include "data/Schema.h"
#include "oldarchive/ArchiveImport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <sys/stat.h>
#include <unistd.h>

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

// An archive of many order lines, for a conversion that lasts long enough to be killed midway.
constexpr int kManyLines = 12000;
RowsArchive manyLines() {
    const RowsArchive shapes = oldArchive();
    RowsArchive a;
    for (const auto& [name, t] : shapes.data)
        a.data[name].columns = t.columns;
    a.data["UTENTE"].rows = shapes.data.at("UTENTE").rows;
    a.data["ANNO"].rows = {{t("2024")}};
    for (int n = 1; n <= kManyLines; ++n)
        a.data["ORDINE"].rows << jet::Row{i(n),
                                          t("2024"),
                                          i(n / 10 + 1),
                                          t("123"),
                                          d(2024, 3, 1),
                                          null,
                                          t("SEDE"),
                                          t("MILANO"),
                                          t("MI"),
                                          t("VINO ROSSO"),
                                          t("A1"),
                                          t("CASSA"),
                                          Value::ofReal(12.5),
                                          i(10),
                                          i(0),
                                          Value::ofReal(4.35),
                                          null,
                                          t("consegna al mattino")};
    return a;
}

// The conversion the kill loop kills, in a process of its own: the test program run with
// "--converti TARGET [KEEP]".
int convertForKill(const QString& target, const QString& keep) {
    RowsArchive archive = manyLines();
    archiveimport::Placing placing;
    placing.keepExistingAs = keep;
    return archiveimport::run(archive, target, "VECCHIO.mdb", placing) ? 0 : 1;
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
        QTest::newRow("damaged: the reader crashes")
            << jetkit::changed("jet3-types", "0x1023=ff")
            << "VECCHIO.mdb: l'archivio è danneggiato e non si può convertire";
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

    // Under a personal password the new file is put under it before it takes its name: no file
    // readable with the built-in key is ever at the target. The tool reads the password from its
    // input, never from its arguments, and one refused makes no file.
    void anImportUnderAPersonalPassword() {
        QTemporaryDir dir;
        const QString target = dir.filePath("Ordine.mdb");
        RowsArchive archive = oldArchive();
        archiveimport::Placing placing;
        placing.key = FileKey::personalPassword(QStringLiteral("Segreto-1"));
        auto report = archiveimport::run(archive, target, "VECCHIO.mdb", placing);
        QVERIFY2(report, qPrintable(report ? QString() : report.error().text));
        QVERIFY(!Database::open(target, FileKey::builtIn()));
        auto db = Database::open(target, placing.key);
        QVERIFY(db);
        QCOMPARE(rows(**db, "SELECT ANNO FROM ANNO ORDER BY ANNO;"),
                 (QStringList{"2024:3", "2025:3"}));
        QCOMPARE(modeOf(target), 0600);
        db->reset();
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{"Ordine - importazione.txt", "Ordine.mdb"}));

        const QByteArray bytes = jetkit::unpacked("jet4-types");
        const QString old = jetkit::put(dir.path(), "VECCHIO.mdb", bytes);
        const QString other = dir.filePath("Altro.mdb");
        auto tool = [&](const QByteArray& input) {
            QProcess p;
            p.setStandardOutputFile(QProcess::nullDevice());
            p.start(QStringLiteral(GESTIONE_MAKEDB),
                    {"--password-personale", "--importa", old, other});
            p.write(input);
            p.closeWriteChannel();
            p.waitForFinished(60000);
            return std::make_pair(p.exitCode(), QString::fromUtf8(p.readAllStandardError()));
        };
        QCOMPARE(tool("12345678\n"),
                 std::make_pair(2, QStringLiteral("La password non può essere fatta di sole "
                                                  "cifre: servono almeno 8 caratteri, non solo "
                                                  "cifre.\n")));
        QCOMPARE(tool(""), std::make_pair(2, QStringLiteral("Nessuna password letta.\n")));
        QVERIFY(!QFile::exists(other));
        QFile f(old);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), bytes);
    }

    // The report goes under a free name: a file of the user's keeps its bytes, a link is never
    // followed.
    void theReportNeverOverwritesNorFollowsALink() {
        QTemporaryDir dir;
        const QString mine = jetkit::put(dir.path(), "Ordine - importazione.txt", "del cliente");
        const QString other = jetkit::put(dir.path(), "altro.txt", "di un altro");
        QVERIFY(QFile::link(other, dir.filePath("Ordine - importazione (2).txt")));
        RowsArchive archive = oldArchive();
        auto report = archiveimport::run(archive, dir.filePath("Ordine.mdb"), "VECCHIO.mdb");
        QVERIFY2(report, qPrintable(report ? QString() : report.error().text));
        QCOMPARE(report->reportPath, dir.filePath("Ordine - importazione (3).txt"));
        QVERIFY(archiveimport::summary(*report).contains(report->reportPath));
        QCOMPARE(modeOf(report->reportPath), 0600);
        for (const auto& [path, bytes] :
             {std::pair{mine, QByteArray("del cliente")}, {other, QByteArray("di un altro")}}) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), bytes);
        }
    }

    // Killed at random moments, the conversion leaves the archive as it was under its name (and
    // nothing at the new file's name), or the whole new file; what a killed run left never
    // stops the next one. Over the archive itself (the start-up's conversion) and into a new
    // name (the tool's).
    void aKilledConversionLeavesTheArchiveOrTheWholeFile_data() {
        QTest::addColumn<bool>("overTheArchive");
        QTest::newRow("new file") << false;
        QTest::newRow("over the archive") << true;
    }
    void aKilledConversionLeavesTheArchiveOrTheWholeFile() {
        QFETCH(bool, overTheArchive);
        QTemporaryDir dir;
        const QString target = dir.filePath("Ordine.mdb");
        const QString keep = overTheArchive ? dir.filePath("Ordine (vecchio formato).mdb") : "";
        const QByteArray old = "the archive's bytes";
        auto fresh = [&] {
            for (const QString& f : QDir(dir.path()).entryList(QDir::Files | QDir::Hidden))
                QFile::remove(dir.filePath(f));
            if (overTheArchive)
                jetkit::put(dir.path(), "Ordine.mdb", old);
        };
        auto bytesOf = [](const QString& path) {
            QFile f(path);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        auto convert = [&](int killAfterMs) {
            QProcess p;
            p.start(QCoreApplication::applicationFilePath(), {"--converti", target, keep});
            if (!p.waitForStarted())
                return -2;
            if (killAfterMs >= 0 && !p.waitForFinished(killAfterMs))
                p.kill();
            p.waitForFinished(120000);
            return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        };
        // Whether the new file is there: then whole, and the archive kept beside it.
        auto converted = [&]() -> bool {
            if (overTheArchive && bytesOf(target) == old) {
                // A second name of the archive may have been made already: the same file.
                if (QFile::exists(keep)) {
                    struct stat a {
                    }, b{};
                    ::stat(QFile::encodeName(target).constData(), &a);
                    ::stat(QFile::encodeName(keep).constData(), &b);
                    if (a.st_ino != b.st_ino)
                        qFatal("a second file beside the archive");
                }
                return false;
            }
            if (!overTheArchive && !QFile::exists(target))
                return false;
            auto db = Database::open(target, schema::password());
            if (!db)
                qFatal("the new file does not open: %s", qPrintable(db.error().text));
            if (!schema::verify(**db) ||
                rows(**db, "SELECT count(*) FROM ORDINE;") != QStringList{"12000:1"})
                qFatal("the new file is not whole");
            if (overTheArchive && bytesOf(keep) != old)
                qFatal("the archive was not kept");
            return true;
        };

        fresh();
        QElapsedTimer took;
        took.start();
        QCOMPARE(convert(-1), 0);
        const int whole = int(took.elapsed());
        QVERIFY(converted());
        fresh();
        QElapsedTimer loop;
        loop.start();
        int kills = 0;
        int finished = 0;
        while (loop.elapsed() < 6000 || kills < 3) {
            convert(int(QRandomGenerator::global()->bounded(whole + whole / 5 + 1)));
            ++kills;
            if (converted()) {
                ++finished;
                fresh();
            }
        }
        qInfo("%d kills, %d of them after the end; a whole run takes %d ms", kills, finished,
              whole);
        // After the kills, a run goes to its end and leaves no work file behind.
        QCOMPARE(convert(-1), 0);
        QVERIFY(converted());
        QStringList expected{"Ordine - importazione.txt", "Ordine.mdb"};
        if (overTheArchive)
            expected << "Ordine (vecchio formato).mdb";
        expected.sort();
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), expected);
    }
};

int main(int argc, char** argv) {
    if (argc >= 3 && qstrcmp(argv[1], "--converti") == 0) {
        QCoreApplication app(argc, argv);
        return convertForKill(QString::fromLocal8Bit(argv[2]),
                              argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString());
    }
    QCoreApplication app(argc, argv);
    TestArchiveImport test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_archiveimport.moc"
