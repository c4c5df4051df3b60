// The version of the file's added tables: a file of every earlier version (made by the database
// tool of that version, in tests/data/fixtures) is brought to this one at its opening, with the
// very tables, indexes and triggers of a new file and every row it held; a second opening runs
// no step; a file of a newer program is refused and left as it was.

#include "data/AddedTables.h"
#include "data/Database.h"
#include "data/Rekey.h"
#include "data/Schema.h"
#include "tools/makedb/MakeDb.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <string>

namespace {

const QString kNewer = QStringLiteral("il file dei dati è stato creato da una versione più recente "
                                      "del programma: aggiornare Gestione Ordini per aprirlo");

QString fixture(const char* name) {
    return QDir(qEnvironmentVariable("GESTIONE_SOURCE_DIR"))
        .filePath(QStringLiteral("tests/data/fixtures/") + QLatin1String(name));
}

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

std::unique_ptr<Database> openPlain(const QString& path) {
    auto db = Database::open(path, schema::password());
    return db ? std::move(*db) : nullptr;
}

// The file opened as the program's start-up opens it.
Result<std::unique_ptr<Database>> openAsTheProgram(const QString& path) {
    auto db = Database::open(path, schema::password());
    if (!db)
        return db.error();
    if (Status s = schema::prepareOpened(**db); !s)
        return s.error();
    return std::move(*db);
}

QStringList column(Database& db, const char* sql) {
    QStringList out;
    auto st = db.prepare(sql);
    while (st && st->next())
        out << st->text(0);
    return out;
}

// What the file is made of: every table, index and trigger with its text.
QStringList objects(Database& db) {
    QStringList out;
    auto st =
        db.prepare("SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY type, name;");
    while (st && st->next())
        out << QStringLiteral("%1 %2 on %3: %4")
                   .arg(st->text(0), st->text(1), st->text(2),
                        st->isNull(3) ? QStringLiteral("(no text)") : st->text(3));
    return out;
}

// Every row of every table of the file, each with its table's name and its values in the order
// of the columns it has now; the columns a later version added are left out with `columnsOf`.
using Rows = QStringList;
using Columns = QMap<QString, QStringList>;

Columns columnsOf(Database& db) {
    Columns out;
    for (const QString& table :
         column(db, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name;")) {
        auto st = db.prepare("PRAGMA table_info(\"" + table.toStdString() + "\");");
        while (st && st->next())
            out[table] << st->text(1);
    }
    return out;
}

Rows rowsOf(Database& db, const Columns& columns) {
    Rows out;
    for (auto it = columns.begin(); it != columns.end(); ++it) {
        QStringList quoted;
        for (const QString& c : it.value())
            quoted << QStringLiteral("quote(\"%1\")").arg(c);
        const QString sql = QStringLiteral("SELECT %1 FROM \"%2\";")
                                .arg(quoted.join(QStringLiteral(" || ',' || ")), it.key());
        auto st = db.prepare(sql.toStdString());
        if (!st) {
            out << it.key() + QStringLiteral(": ") + st.error().text;
            continue;
        }
        while (st->next())
            out << it.key() + QStringLiteral(": ") + st->text(0);
        if (!st->status())
            out << it.key() + QStringLiteral(": ") + st->status().error().text;
    }
    std::sort(out.begin(), out.end());
    return out;
}

// The rows of `before` missing from `after`, each as often as it is missing.
QStringList missing(const Rows& before, const Rows& after) {
    QStringList out;
    std::set_difference(before.begin(), before.end(), after.begin(), after.end(),
                        std::back_inserter(out));
    return out;
}

} // namespace

class TestSchemaVersion : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_new.isValid());
        const QString path = m_new.filePath(QStringLiteral("Ordine.mdb"));
        QVERIFY(makedb::makeSupplied(path, 2026, makedb::Agent{}));
        auto db = openPlain(path);
        QVERIFY(db);
        m_objects = objects(*db);
        QVERIFY(m_objects.size() > 40);
        QCOMPARE(*addedtables::version(*db), addedtables::kVersion);
    }

    void anEarlierFileIsBroughtToThisVersion_data() {
        QTest::addColumn<QString>("file");
        // Oldest first; README.md beside them names the commit whose tool made each.
        for (const char* name : {"earlier-1-five-tables.mdb", "earlier-2-lists-sync-mail.mdb",
                                 "earlier-3-customers-by-code.mdb", "earlier-4-sync-customers.mdb",
                                 "earlier-5-search-identity.mdb", "earlier-6-list-undo.mdb"})
            QTest::newRow(name) << fixture(name);
    }

    void anEarlierFileIsBroughtToThisVersion() {
        QFETCH(QString, file);
        QVERIFY2(QFile::exists(file), qPrintable(file));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Ordine.mdb"));
        QVERIFY(QFile::copy(file, path));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));

        Columns columns;
        Rows before;
        {
            auto db = openPlain(path);
            QVERIFY(db);
            QCOMPARE(*addedtables::version(*db), 0);
            columns = columnsOf(*db);
            before = rowsOf(*db, columns);
        }
        QVERIFY(!before.isEmpty());

        {
            auto db = openAsTheProgram(path);
            QVERIFY2(db, db ? "" : qPrintable(db.error().text));
            QCOMPARE(*addedtables::version(**db), addedtables::kVersion);
            QCOMPARE(objects(**db), m_objects);
            QCOMPARE(missing(before, rowsOf(**db, columns)), QStringList());
            // The search holds the lines the file had.
            QCOMPARE(column(**db, "SELECT count(*) FROM ORDINE WHERE NOT EXISTS (SELECT 1 FROM "
                                  "CERCA_RIGA WHERE ID_RIGA = ORDINE.rowid);"),
                     QStringList{"0"});
        }

        // The second opening runs no step: the file keeps every byte.
        const QByteArray once = contents(path);
        {
            auto db = openAsTheProgram(path);
            QVERIFY2(db, db ? "" : qPrintable(db.error().text));
            QCOMPARE(*addedtables::version(**db), addedtables::kVersion);
            QCOMPARE(objects(**db), m_objects);
        }
        QVERIFY(contents(path) == once);
    }

    // A file of a newer program is refused at its opening with the reason, and keeps every
    // byte: no step, no index, no journal.
    void aNewerFileIsRefusedAndLeftAsItWas() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Ordine.mdb"));
        QVERIFY(makedb::makeSupplied(path, 2026, makedb::Agent{}));
        {
            auto db = openPlain(path);
            QVERIFY(db);
            const std::string newer = std::to_string(addedtables::kVersion + 1);
            QVERIFY((*db).exec("PRAGMA user_version = " + newer + ";"));
            QCOMPARE(*addedtables::version(*db), addedtables::kVersion + 1);
            QVERIFY((*db).exec("DROP INDEX ORDINE_PR;"));
        }
        const QByteArray before = contents(path);
        const QStringList files = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        {
            auto db = openAsTheProgram(path);
            QVERIFY(!db);
            QCOMPARE(db.error().text, kNewer);
        }
        QVERIFY(contents(path) == before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), files);
        auto db = openPlain(path);
        QVERIFY(db);
        QCOMPARE(*addedtables::version(*db), addedtables::kVersion + 1);
        QCOMPARE(column(*db, "SELECT count(*) FROM sqlite_master WHERE name = 'ORDINE_PR';"),
                 QStringList{"0"});
        // The steps alone refuse it too, whoever calls them.
        QCOMPARE(addedtables::upgrade(*db).error().text, kNewer);
    }

    // A change of key writes the file anew: it keeps its version, and so its next opening runs
    // no step.
    void aChangeOfKeyKeepsTheVersion() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Ordine.mdb"));
        QVERIFY(makedb::makeSupplied(path, 2026, makedb::Agent{}));
        const FileKey personal = FileKey::personalPassword(QStringLiteral("Segreto-1"));
        QVERIFY(rekey::changeKey(path, FileKey::builtIn(), personal));
        auto db = Database::open(path, personal);
        QVERIFY(db);
        QCOMPARE(*addedtables::version(**db), addedtables::kVersion);
    }

private:
    QTemporaryDir m_new;
    // What a new file is made of.
    QStringList m_objects;
};

QTEST_MAIN(TestSchemaVersion)
#include "tst_schemaversion.moc"
