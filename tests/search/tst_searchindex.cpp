// The index of the lines' texts (CERCA_TESTO, CERCA_RIGA) against the lines it stands for, after
// every kind of write, by this program and by the engine's own client (which has none of the
// program's functions); and the orders found through it, or through the newest lines, against
// the engine's scan of every line.

#include "data/AddedTables.h"
#include "data/Database.h"
#include "data/Schema.h"
#include "search/SearchStore.h"
#include "text/TextMatch.h"
#include "tools/makedb/MakeDb.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

void exec(Database& db, const QString& sql) {
    const Status s = db.exec(sql.toStdString());
    if (!s)
        qFatal("%s: %s", qPrintable(sql), qPrintable(s.error().text));
}

QStringList column(Database& db, const char* sql) {
    QStringList out;
    auto st = db.prepare(sql);
    if (!st)
        qFatal("%s: %s", sql, qPrintable(st.error().text));
    while (st->next())
        out << st->text(0);
    return out;
}

// The engine's own client runs the statements on the file.
QByteArray client(const QString& path, const QString& sql) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("sqlcipher"), {path});
    if (!p.waitForStarted())
        return "sqlcipher non parte";
    p.write("PRAGMA key = '" + schema::password() +
            "'; PRAGMA cipher_page_size = 4096; PRAGMA kdf_iter = 64000;\n" + sql.toUtf8() + "\n");
    p.closeWriteChannel();
    p.waitForFinished(20000);
    return p.readAll().trimmed();
}

const char* const kArticles[] = {
    "GRANA PADANO DOP", "CAFFÈ IN GRANI",   "OLIO 50% PIÙ", "PASTA_CORTA",
    "TONNO \"RIO\"",    "ACETO C:\\MODENA", "SPECK"};
const char* const kDests[] = {"BAR SPORT", "TRATTORIA D'ANGELO", "DEPOSITO", nullptr};
const char* const kNotes[] = {nullptr, "", "CONSEGNA AL MATTINO", "GRANA A PARTE"};

// 40 orders on 6 dates, one to three lines each; every third gains a line after all the others
// (its lines are not next to each other).
void seed(Database& db) {
    auto st = db.prepare("INSERT INTO ORDINE (ANNO, NR, ID_CL, DATAO, DEST, ARTICOLO, CODICE, "
                         "PESO, QVENDITA, QOMAGGIO, PREZZO, NOTE) VALUES ('2026', ?1, 'C1', ?2, "
                         "?3, ?4, ?5, 1, 1, 0, 1, ?6);");
    QVERIFY(st);
    int n = 0;
    auto add = [&](int order) {
        st->reset();
        st->bind(1, QString::number(order + 1))
            .bind(2, QStringLiteral("2026-0%1-10").arg(1 + order % 6))
            .bind(4, kArticles[n % 7]);
        if (const char* d = kDests[order % 4])
            st->bind(3, d);
        if (n % 5 != 4)
            st->bind(5, QStringLiteral("GP-%1").arg(n % 9));
        if (const char* note = kNotes[n % 4])
            st->bind(6, note);
        ++n;
        QVERIFY(st->run());
    };
    for (int o = 0; o < 40; ++o)
        for (int l = 0; l <= o % 3; ++l)
            add(o);
    for (int o = 0; o < 40; o += 3)
        add(o);
}

// What the index holds, and what it should hold: each text of each line with its order date.
const char* const kIndexed =
    "SELECT T.TESTO || '|' || R.GIORNO || '|' || R.ID_RIGA FROM CERCA_RIGA R JOIN CERCA_TESTO T "
    "ON T.ID = R.ID_TESTO ORDER BY 1;";
const char* const kTexts = "SELECT TESTO FROM CERCA_TESTO ORDER BY 1;";
#define GESTIONE_LINE_TEXTS                                                                        \
    "(SELECT ARTICOLO AS X, DATAO AS D, rowid AS I FROM ORDINE UNION SELECT CODICE, DATAO, rowid " \
    "FROM ORDINE UNION SELECT DEST, DATAO, rowid FROM ORDINE UNION SELECT NOTE, DATAO, rowid "     \
    "FROM ORDINE) WHERE X IS NOT NULL AND X <> ''"
const char* const kExpected = "SELECT X || '|' || IFNULL(CAST(strftime('%Y%m%d', D) AS INTEGER), "
                              "0) || '|' || I FROM " GESTIONE_LINE_TEXTS " ORDER BY 1;";
const char* const kExpectedTexts = "SELECT DISTINCT X FROM " GESTIONE_LINE_TEXTS " ORDER BY 1;";
#undef GESTIONE_LINE_TEXTS

// The newest orders holding the text, as the window's statement lists them from the lines found.
QStringList found(Database& db, const QString& text, int limit, int recent) {
    const std::string folded = textmatch::fold(text);
    auto lines = searchstore::linesOfOrders(db, folded, limit, recent);
    if (!lines)
        return {lines.error().text};
    std::string ids;
    for (const std::int64_t id : *lines)
        searchstore::appendPacked(ids, std::to_string(id));
    auto st = db.prepare(searchstore::kOrders);
    st->bind(1, "").bind(2, ids).bindNull(3).bind(4, limit);
    QStringList out;
    while (st->next())
        out << st->text(0) + QLatin1Char('/') + st->text(1);
    return out;
}

// The same from every line.
QStringList scanned(Database& db, const QString& text, int limit) {
    auto st = db.prepare(
        "SELECT ANNO || '/' || NR FROM ORDINE WHERE (ANNO, NR) IN (SELECT ANNO, NR FROM ORDINE "
        "WHERE MATCHES_FOLDED(?1, ARTICOLO, CODICE, DEST, NOTE)) GROUP BY ANNO, NR "
        "ORDER BY DATAO DESC, ANNO DESC, MAX(ID) DESC LIMIT ?2;");
    st->bind(1, textmatch::fold(text)).bind(2, limit);
    QStringList out;
    while (st->next())
        out << st->text(0);
    return out;
}

} // namespace

class TestSearchIndex : public QObject {
    Q_OBJECT

    // The seeded file each case starts from a copy of.
    QTemporaryDir m_seeded;
    QString seededPath() const { return m_seeded.filePath(QStringLiteral("Ordine.mdb")); }
    // A copy of the seeded file in `dir`, open; none when it cannot be made.
    std::unique_ptr<Database> openCopy(const QTemporaryDir& dir) const {
        const QString path = dir.filePath(QStringLiteral("Ordine.mdb"));
        if (!QFile::copy(seededPath(), path))
            return nullptr;
        auto opened = Database::open(path, schema::password());
        return opened ? std::move(*opened) : nullptr;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(makedb::makeSupplied(seededPath(), 2026, makedb::Agent{}));
        auto opened = Database::open(seededPath(), schema::password());
        QVERIFY(opened);
        seed(**opened);
    }

    void keptInStepWithTheLines_data() {
        QTest::addColumn<QString>("write");
        QTest::addColumn<bool>("byClient");
        // The index holds exactly the lines' texts afterwards (not after a replace, whose deleted
        // line the engine tells no trigger of: its entries stay, and the line itself is asked).
        QTest::addColumn<bool>("exact");
        // The program opens the file again afterwards.
        QTest::addColumn<bool>("reopened");
        const QList<std::tuple<const char*, QString, bool, bool>> writes{
            {"righe nuove",
             "INSERT INTO ORDINE (ANNO, NR, DATAO, ARTICOLO, DEST, NOTE) VALUES ('2026', '41', "
             "'2026-06-10', 'GRANA GRATTUGIATA', 'SPECK', 'SPECK'), ('2025', '41', NULL, "
             "'PECORINO', '', NULL);",
             true, false},
            {"descrizione cambiata",
             "UPDATE ORDINE SET ARTICOLO = 'PECORINO' WHERE NR IN ('3', '4', '5');", true, false},
            {"data cambiata", "UPDATE ORDINE SET DATAO = '2027-01-01' WHERE NR = '5';", true,
             false},
            {"note tolte e vuote",
             "UPDATE ORDINE SET NOTE = NULL WHERE NR = '6'; UPDATE ORDINE SET NOTE = '' WHERE NR "
             "= '7';",
             true, false},
            {"scritture con una regola per i conflitti",
             "INSERT OR FAIL INTO ORDINE (ANNO, NR, DATAO, ARTICOLO, NOTE) VALUES ('2026', '42', "
             "'2026-02-10', 'GRANA PADANO DOP', NULL); INSERT OR ROLLBACK INTO ORDINE (ANNO, NR, "
             "DATAO, ARTICOLO, CODICE) VALUES ('2026', '42', '2026-02-10', 'SPECK', '');"
             "UPDATE OR FAIL ORDINE SET NOTE = 'SPECK', DEST = NULL WHERE NR = '11';"
             "INSERT OR IGNORE INTO ORDINE (ANNO, NR, ARTICOLO) VALUES ('2026', '43', 'SPECK');",
             true, false},
            {"righe eliminate", "DELETE FROM ORDINE WHERE NR IN ('1', '2', '8');", true, false},
            {"numero di riga cambiato", "UPDATE ORDINE SET ID = ID + 100000 WHERE NR = '9';", true,
             false},
            {"tutto eliminato", "DELETE FROM ORDINE;", true, false},
            {"riga sostituita",
             "INSERT OR REPLACE INTO ORDINE (ID, ANNO, NR, DATAO, ARTICOLO) SELECT ID, ANNO, NR, "
             "DATAO, 'PECORINO' FROM ORDINE WHERE ARTICOLO = 'GRANA PADANO DOP' LIMIT 2;",
             false, false},
            {"un trigger tolto", "DROP TRIGGER CERCA_RIGA_VIA; DELETE FROM ORDINE WHERE NR = '10';",
             true, true},
            {"tabelle di una versione precedente",
             "DROP TRIGGER CERCA_RIGA_NUOVA; DROP TRIGGER CERCA_RIGA_CAMBIO; DROP TRIGGER "
             "CERCA_RIGA_VIA; DROP TABLE CERCA_RIGA; DROP TABLE CERCA_TESTO;",
             true, true},
        };
        // The client's writes fire the same triggers: those that do each kind of write.
        const QStringList byClientToo{"righe nuove", "descrizione cambiata", "righe eliminate",
                                      "scritture con una regola per i conflitti"};
        for (const auto& [name, sql, exact, reopened] : writes)
            for (bool byClient : {false, true})
                if (!byClient || byClientToo.contains(QLatin1String(name)))
                    QTest::addRow("%s, %s", name, byClient ? "dal client" : "dal programma")
                        << sql << byClient << exact << reopened;
    }
    void keptInStepWithTheLines() {
        QFETCH(QString, write);
        QFETCH(bool, byClient);
        QFETCH(bool, exact);
        QFETCH(bool, reopened);
        QTemporaryDir dir;
        const std::unique_ptr<Database> opened = openCopy(dir);
        QVERIFY(opened);
        Database& db = *opened;
        QCOMPARE(column(db, kIndexed), column(db, kExpected));
        if (byClient)
            QCOMPARE(client(dir.filePath(QStringLiteral("Ordine.mdb")), write), QByteArray());
        else
            exec(db, write);
        if (reopened)
            QVERIFY(schema::ensureIndexes(db));
        if (exact) {
            QCOMPARE(column(db, kIndexed), column(db, kExpected));
            QCOMPARE(column(db, kTexts), column(db, kExpectedTexts));
        }
        for (const char* text : {"grana", "caffe", "gp-0", "%", "_", "\\", "\"", "d'angelo", "a",
                                 "pecorino", "speck", "nessuno"}) {
            const QString t = QString::fromUtf8(text);
            for (int limit : {3, searchstore::kMaxRows}) {
                const QStringList want = scanned(db, t, limit);
                for (int recent : {0, 4, searchstore::kRecentLines}) {
                    const QStringList got = found(db, t, limit, recent);
                    if (got != want)
                        QFAIL(qPrintable(QStringLiteral("%1, %2 al più, %3 righe recenti: %4 / %5")
                                             .arg(t)
                                             .arg(limit)
                                             .arg(recent)
                                             .arg(got.join(' '), want.join(' '))));
                }
            }
        }
    }

    // Lines written in bulk with the triggers set aside (a conversion of an old archive) are in
    // the index once it is ensured again, in the same transaction.
    void linesWrittenAsideAreIndexedAtTheEnd() {
        QTemporaryDir dir;
        const std::unique_ptr<Database> opened = openCopy(dir);
        QVERIFY(opened);
        Database& db = *opened;
        QVERIFY(db.write([&]() -> Status {
            if (Status s = addedtables::setAsideSearch(db); !s)
                return s;
            if (Status s = db.exec("UPDATE ORDINE SET NOTE = 'GRANA' WHERE NR = '3'; DELETE FROM "
                                   "ORDINE WHERE NR = '4'; INSERT INTO ORDINE (ANNO, NR, DATAO, "
                                   "ARTICOLO) VALUES ('2026', '44', '2026-03-03', 'PECORINO');");
                !s)
                return s;
            return addedtables::ensure(db);
        }));
        QCOMPARE(column(db, kIndexed), column(db, kExpected));
        QCOMPARE(column(db, kTexts), column(db, kExpectedTexts));
        QCOMPARE(column(db, "SELECT count(*) FROM sqlite_master WHERE name LIKE 'CERCA_RIGA_%';"),
                 QStringList{"3"});
    }

    // A trigger of another text (an earlier version's) is made again at the next opening, and
    // an opening that finds everything in place changes nothing.
    void anEarlierTriggerIsMadeAgain() {
        QTemporaryDir dir;
        const std::unique_ptr<Database> opened = openCopy(dir);
        QVERIFY(opened);
        Database& db = *opened;
        exec(db, "DROP TRIGGER CERCA_RIGA_VIA; CREATE TRIGGER CERCA_RIGA_VIA AFTER DELETE ON "
                 "ORDINE BEGIN SELECT 1; END;");
        QVERIFY(schema::ensureIndexes(db));
        const QStringList version = column(db, "PRAGMA schema_version;");
        QVERIFY(schema::ensureIndexes(db));
        QCOMPARE(column(db, "PRAGMA schema_version;"), version);
        exec(db, "DELETE FROM ORDINE WHERE NR IN ('12', '13');");
        QCOMPARE(column(db, kIndexed), column(db, kExpected));
        QCOMPARE(column(db, kTexts), column(db, kExpectedTexts));
    }
};

QTEST_MAIN(TestSearchIndex)
#include "tst_searchindex.moc"
