// A Jet Ordine.mdb of the earlier program found at start-up: the conversion is offered, and a
// refusal or a failed conversion leaves the old file as it was.

#include "JetKit.h"
#include "support/Boxes.h"
#include "support/Fixture.h"

#include <QDir>
#include <QTest>

namespace {

const QString kQuestion = QStringLiteral(
    "Il file\n%1\nè un archivio Access del programma precedente.\n\nConvertirlo nel formato di "
    "questo programma? L'archivio resta com'è, con il nome \"Ordine (vecchio formato).mdb\".");

} // namespace

class TestOldArchive : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theConversionIsOfferedAndAFailureChangesNothing_data() {
        QTest::addColumn<QByteArray>("old");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("told");
        const QByteArray good = jetkit::unpacked("jet4-password");
        QTest::newRow("No: the file is refused as before")
            << good << false
            << "Impossibile aprire il database\n%1\n\nPassword errata, oppure il file non è un "
               "database valido.\n\nIl programma verrà chiuso.";
        QTest::newRow("Yes, but the archive lacks the tables")
            << good << true
            << "La conversione dell'archivio non è riuscita.\n\nArchivio: il file non contiene "
               "la tabella UTENTE.\n\nIl programma verrà chiuso.";
        // One damaged byte on which the archive library crashes.
        QTest::newRow("Yes, but the archive is damaged")
            << jetkit::changed("jet3-types", "0x1023=ff") << true
            << "La conversione dell'archivio non è riuscita.\n\nOrdine.mdb: l'archivio è "
               "danneggiato e non si può convertire.\n\nIl programma verrà chiuso.";
    }
    void theConversionIsOfferedAndAFailureChangesNothing() {
        QFETCH(QByteArray, old);
        QFETCH(bool, yes);
        QFETCH(QString, told);
        App app(
            TestDir::Content::None,
            [&](App& a) {
                jetkit::put(a.dir.path(), "Ordine.mdb", old);
                yes ? a.dialogs.answerYes() : a.dialogs.answerNo();
            },
            false);
        QVERIFY(!app.started);
        const QString path = app.dir.dbPath();
        QCOMPARE(app.dialogs.describe(),
                 boxes::seq({boxes::question(kQuestion.arg(path), "Gestione Ordini"),
                             boxes::message(told.contains("%1") ? told.arg(path) : told,
                                            "Gestione Ordini", BoxIcon::Critical)}));
        QCOMPARE(QDir(app.dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"Ordine.mdb"});
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), old);
    }
};

QTEST_MAIN(TestOldArchive)
#include "tst_oldarchive.moc"
