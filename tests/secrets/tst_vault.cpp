// Where the accounts' passwords are kept, on a scripted keyring: the keyring when it answers;
// else the file while it has a personal password; else memory until the program ends. An
// earlier version's passwords leave the file, their bytes with them.

#include "support/CipherKit.h"
#include "support/Fixture.h"
#include "support/ScriptedKeyring.h"

#include "data/Rekey.h"
#include "data/Schema.h"
#include "secrets/Vault.h"

#include <QTest>

using secrets::Account;
using secrets::Place;
using secrets::Vault;
using State = ScriptedKeyring::State;

Q_DECLARE_METATYPE(ScriptedKeyring::State)
Q_DECLARE_METATYPE(secrets::Place)

namespace {

const QString kMail = QStringLiteral("Posta-segreta-1");
const QString kServer = QStringLiteral("Server-segreto-2");

// A personal password with few rounds of derivation: what is tested is where the secrets go,
// not the cost of a guess.
const FileKey& personalKey() {
    static const FileKey key{QByteArrayLiteral("Personale-9"), 4000, true};
    return key;
}

// The test's database, under a personal password when asked.
std::unique_ptr<Database> openFile(TestDir& dir, bool personal) {
    if (personal && !rekey::changeKey(dir.dbPath(), FileKey::builtIn(), personalKey()))
        qFatal("rekey");
    auto db = Database::open(dir.dbPath(), personal ? personalKey() : FileKey::builtIn());
    if (!db)
        qFatal("open: %s", qPrintable(db.error().text));
    return std::move(*db);
}

QString protection(Database& db) {
    QStringList out;
    for (const QStringList& r :
         rows(db, "SELECT CHIAVE, VALORE FROM PROTEZIONE WHERE CHIAVE <> 'portachiavi' "
                  "ORDER BY CHIAVE;"))
        out << r.join(QLatin1Char('='));
    return out.join(QLatin1Char(';'));
}

// Whether the file's pages, free space included, hold the text anywhere.
bool fileHolds(Database& db, const QString& text) {
    // What the journal holds is folded into the file first.
    exec(db, "PRAGMA wal_checkpoint(TRUNCATE);");
    return cipherkit::plainPages(db.path(), db.key()).contains(text.toUtf8());
}

} // namespace

class TestVault : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void whereAPasswordGoes_data() {
        QTest::addColumn<State>("keyring");
        QTest::addColumn<bool>("personal");
        QTest::addColumn<Place>("place");
        QTest::addColumn<QString>("rows");
        QTest::addColumn<QString>("placeText");
        QTest::addColumn<bool>("nextRunReads");
        const QString inKeyring = QStringLiteral(
            "La password è custodita nel portachiavi del computer, non nel database.");
        QTest::newRow("keyring, built-in key") << State::Open << false << Place::Keyring
                                               << "posta.dove=portachiavi" << inKeyring << true;
        QTest::newRow("keyring, personal password")
            << State::Open << true << Place::Keyring << "posta.dove=portachiavi" << inKeyring
            << true;
        QTest::newRow("no keyring, personal password")
            << State::Absent << true << Place::File << "posta.dove=file;posta.password=" + kMail
            << "La password è custodita nel database, protetto dalla password personale: il "
               "portachiavi del computer non si può usare (nessun portachiavi risponde)."
            << true;
        QTest::newRow("no keyring, built-in key")
            << State::Absent << false << Place::Memory << "posta.dove=memoria"
            << "La password non viene salvata: il portachiavi del computer non si può usare "
               "(nessun portachiavi risponde) e il database non ha una password personale. Il "
               "programma la chiede al primo invio e la ricorda fino all'uscita."
            << false;
        QTest::newRow("locked keyring, built-in key")
            << State::Locked << false << Place::Memory << "posta.dove=memoria"
            << "La password non viene salvata: il portachiavi del computer non si può usare "
               "(il portachiavi del computer è bloccato) e il database non ha una password "
               "personale. Il programma la chiede al primo invio e la ricorda fino all'uscita."
            << false;
    }
    void whereAPasswordGoes() {
        QFETCH(State, keyring);
        QFETCH(bool, personal);
        QFETCH(Place, place);
        QFETCH(QString, rows);
        QFETCH(QString, placeText);
        QFETCH(bool, nextRunReads);
        TestDir dir;
        auto db = openFile(dir, personal);
        ScriptedKeyring ring;
        ring.state = keyring;
        Vault vault;
        vault.useKeyring(ring);
        const secrets::Found none = vault.find(*db, Account::Mail, true);
        QVERIFY(!none.password && !none.toAsk);
        QCOMPARE(none.place, place);
        QCOMPARE(Vault::placeText(Account::Mail, none), placeText);

        QCOMPARE(vault.keep(*db, Account::Mail, kMail).value(), place);
        QCOMPARE(protection(*db), rows);
        QCOMPARE(ring.entries.values(),
                 keyring == State::Open ? QStringList{kMail} : QStringList{});
        QCOMPARE(vault.find(*db, Account::Mail).password.value_or(QString()), kMail);
        QCOMPARE(Vault::placeText(Account::Mail, vault.find(*db, Account::Mail, true)), placeText);
        QCOMPARE(fileHolds(*db, kMail), place == Place::File);
        // The server's account is apart.
        QVERIFY(!vault.find(*db, Account::Server).password);

        // The next run of the program.
        Vault next;
        next.useKeyring(ring);
        const secrets::Found again = next.find(*db, Account::Mail);
        QCOMPARE(again.password.has_value(), nextRunReads);
        QCOMPARE(again.toAsk, !nextRunReads);
        if (!nextRunReads)
            QCOMPARE(Vault::askText(Account::Mail, again, "agente", "posta.example.it"),
                     QStringLiteral("Il portachiavi del computer non si può usare (%1) e il "
                                    "database non ha una password personale: la password si "
                                    "ricorda solo fino all'uscita del programma.\n\nPassword "
                                    "dell'account di posta agente sul server posta.example.it")
                         .arg(keyring == State::Locked ? ScriptedKeyring::lockedText()
                                                       : ScriptedKeyring::absentText()));

        // No password: none is kept anywhere.
        QCOMPARE(next.keep(*db, Account::Mail, QString()).value(), place);
        QCOMPARE(protection(*db), QString());
        QVERIFY(ring.entries.isEmpty());
        QVERIFY(!next.find(*db, Account::Mail).toAsk);
    }

    // The passwords an earlier version kept among the plain settings move out at the first
    // start, and no byte of them stays in the file; where no keyring answers and the file has a
    // personal password they stay in the file, now as the vault's own.
    void anEarlierVersionsPasswordsLeaveTheFile_data() {
        QTest::addColumn<State>("keyring");
        QTest::addColumn<bool>("personal");
        QTest::addColumn<bool>("moved");
        QTest::addColumn<Place>("place");
        QTest::newRow("to the keyring") << State::Open << false << true << Place::Keyring;
        QTest::newRow("to the keyring, personal password")
            << State::Open << true << true << Place::Keyring;
        QTest::newRow("to memory") << State::Absent << false << true << Place::Memory;
        QTest::newRow("kept in the file") << State::Absent << true << false << Place::File;
    }
    void anEarlierVersionsPasswordsLeaveTheFile() {
        QFETCH(State, keyring);
        QFETCH(bool, personal);
        QFETCH(bool, moved);
        QFETCH(Place, place);
        TestDir dir;
        auto db = openFile(dir, personal);
        exec(*db, "INSERT INTO IMPOSTAZIONE_INVIO (CHIAVE, VALORE) VALUES ('password', "
                  "'Posta-segreta-1'), ('server', 'posta.example.it');"
                  "INSERT INTO SYNC_STATO (CHIAVE, VALORE) VALUES ('server.password', "
                  "'Server-segreto-2'), ('server.host', 'agenzia.example.it');");
        QVERIFY(fileHolds(*db, kMail) && fileHolds(*db, kServer));
        ScriptedKeyring ring;
        ring.state = keyring;
        Vault vault;
        vault.useKeyring(ring);
        auto tidied = vault.tidy(*db);
        QVERIFY(tidied);
        QCOMPARE(tidied->has_value(), moved);
        if (moved) {
            QCOMPARE((*tidied)->accounts, (QList<Account>{Account::Mail, Account::Server}));
            QCOMPARE((*tidied)->place, place);
        }
        QCOMPARE(value(*db, "SELECT count(*) FROM IMPOSTAZIONE_INVIO WHERE CHIAVE = 'password';"),
                 QStringLiteral("0"));
        QCOMPARE(value(*db, "SELECT VALORE FROM IMPOSTAZIONE_INVIO WHERE CHIAVE = 'server';"),
                 QStringLiteral("posta.example.it"));
        QCOMPARE(value(*db, "SELECT count(*) FROM SYNC_STATO WHERE CHIAVE = 'server.password';"),
                 QStringLiteral("0"));
        QCOMPARE(fileHolds(*db, kMail), place == Place::File);
        QCOMPARE(fileHolds(*db, kServer), place == Place::File);
        QCOMPARE(vault.find(*db, Account::Mail).password.value_or(QString()), kMail);
        QCOMPARE(vault.find(*db, Account::Server).password.value_or(QString()), kServer);
        // Done once: nothing more to move.
        QVERIFY(!vault.tidy(*db)->has_value());
    }

    // Kept in the file for want of a keyring: once one answers the passwords go there; and they
    // leave the file before it loses its personal password.
    void theFileKeepsThemOnlyWhileItMust() {
        TestDir dir;
        auto db = openFile(dir, true);
        ScriptedKeyring ring;
        ring.state = State::Absent;
        Vault vault;
        vault.useKeyring(ring);
        QCOMPARE(vault.keep(*db, Account::Mail, kMail).value(), Place::File);
        QCOMPARE(vault.keep(*db, Account::Server, kServer).value(), Place::File);
        // The keyring still does not answer: nothing moves.
        QVERIFY(!vault.tidy(*db)->has_value());
        ring.state = State::Open;
        auto tidied = vault.tidy(*db);
        QVERIFY(tidied && tidied->has_value());
        QCOMPARE((*tidied)->place, Place::Keyring);
        QCOMPARE(protection(*db), QStringLiteral("posta.dove=portachiavi;server.dove=portachiavi"));
        QVERIFY(!fileHolds(*db, kMail) && !fileHolds(*db, kServer));

        // Back to the file, then out of it before the password goes: to memory.
        ring.entries.clear();
        ring.state = State::Absent;
        QCOMPARE(vault.keep(*db, Account::Server, kServer).value(), Place::File);
        auto left = vault.leaveFile(*db);
        QVERIFY(left && left->has_value());
        QCOMPARE((*left)->accounts, QList<Account>{Account::Server});
        QCOMPARE((*left)->place, Place::Memory);
        QCOMPARE((*left)->keyringTrouble, ScriptedKeyring::absentText());
        QVERIFY(!fileHolds(*db, kServer));
        QCOMPARE(vault.find(*db, Account::Server).password.value_or(QString()), kServer);
    }

    // A keyring that lost the password (another computer, an entry deleted): it is asked, and
    // given back to the keyring.
    void aPasswordTheKeyringLostIsAsked() {
        TestDir dir;
        auto db = openFile(dir, false);
        ScriptedKeyring ring;
        Vault vault;
        vault.useKeyring(ring);
        QVERIFY(vault.keep(*db, Account::Server, kServer));
        ring.entries.clear();
        const secrets::Found lost = vault.find(*db, Account::Server);
        QVERIFY(lost.toAsk && !lost.password);
        QCOMPARE(Vault::askText(Account::Server, lost, "anna", "agenzia.example.it"),
                 QStringLiteral("Il portachiavi del computer non ha più la password.\n\n"
                                "Password dell'utente anna sul server dell'agenzia "
                                "agenzia.example.it"));
        QCOMPARE(vault.keep(*db, Account::Server, kServer).value(), Place::Keyring);
        QCOMPARE(ring.entries.values(), QStringList{kServer});

        // Kept in memory by an earlier run, with a keyring that answers now: asked, and kept
        // there.
        ring.state = State::Absent;
        QCOMPARE(vault.keep(*db, Account::Mail, kMail).value(), Place::Memory);
        ring.state = State::Open;
        Vault next;
        next.useKeyring(ring);
        const secrets::Found memory = next.find(*db, Account::Mail);
        QVERIFY(memory.toAsk && memory.place == Place::Keyring && !memory.lost);
        QCOMPARE(Vault::askText(Account::Mail, memory, "agente", "posta.example.it"),
                 QStringLiteral("La password non è stata conservata: ora sarà custodita nel "
                                "portachiavi del computer.\n\nPassword dell'account di posta "
                                "agente sul server posta.example.it"));
    }
};

QTEST_GUILESS_MAIN(TestVault)
#include "tst_vault.moc"
