// An order leaves by e-mail: the message is drafted from the stored order, sent to the real
// test server with the archive's files, and its sending recorded; what the record tells after.
#include "MailKit.h"
#include "data/AddedTables.h"
#include "mail/CustomerContacts.h"
#include "mail/MailSettings.h"
#include "mail/OrderMail.h"
#include "mail/SendRecord.h"
#include "mail/SmtpSender.h"
#include "sheets/SheetKit.h"
#include "sheets/SpreadsheetSession.h"
#include "support/Fixture.h"
#include "sync/OrderLines.h"

#include <QCryptographicHash>
#include <QJsonArray>

using namespace mail;

namespace {

void storeOrder(Database& db, const QString& nr, const QString& date, int lines) {
    exec(db, "INSERT OR IGNORE INTO CLIENTE (CODICE, SOGGETTO) VALUES ('101', 'ALIMENTARI "
             "D''ANGELO');");
    QList<kit::Line> rows;
    for (int i = 0; i < lines; ++i)
        rows.append({QStringLiteral("ARTICOLO %1").arg(i), QString::number(1000 + i), 2.5,
                     double(i + 1), 12.5, QString()});
    kit::Header h;
    h.nr = nr;
    h.datao = date;
    kit::storeOrder(db, h, rows);
}

QString sha256Of(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(
        QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex());
}

} // namespace

class TestOrderMail : public QObject {
    Q_OBJECT
    SmtpFixture fx = SmtpFixture::load();
    QTemporaryDir home;

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(fx.ok(), "the test SMTP server is not running");
        qputenv("HOME", QFile::encodeName(home.path()));
    }

    // The order goes to its principal with a copy to the customer, the texts filled in, the
    // archive's two files byte for byte; the record then tells when and to whom, and that the
    // order changed after.
    void sentAndRecorded() {
        TestDir dir;
        auto db = dir.open();
        storeOrder(*db, "12", "2026-12-09", 3);
        storeOrder(*db, "13", "2026-12-09", 1);
        storeOrder(*db, "14", "2026-12-08", 1);
        exec(*db, "INSERT INTO MANDANTE (NOME, EMAIL) VALUES ('Dolciaria Però Spa', "
                  "'ordini@mandante.it');");
        contacts::Card c;
        c.code = QStringLiteral("101");
        c.email = QStringLiteral("angelo@cliente.it");
        c.vatNumber = QStringLiteral("01234567897");
        QVERIFY(contacts::save(*db, c));

        settings::Settings s = *settings::load(*db);
        s.server = fx.server("starttls");
        s.senderName = QStringLiteral("Mario Rossi");
        s.senderAddress = QStringLiteral("agente@prova.it");
        QVERIFY(settings::save(*db, s));
        // The account's password is never among the settings.
        QCOMPARE(settings::load(*db)->server.password, QString());
        s.server.caFile = fx.ca();

        // The orders of a day not sent, newest (highest number) first.
        auto unsent = [&] {
            QStringList numbers;
            const auto found = sendrecord::pending(*db, QDate(2026, 12, 9), QDate(2026, 12, 9));
            if (!found)
                return QStringList{found.error().text};
            for (const sendrecord::Pending& p : found.value())
                numbers << p.number;
            return numbers;
        };
        QCOMPARE(*sendrecord::stateText(*db, "2026", "12"), QStringLiteral("Non inviato"));
        QCOMPARE(unsent(), QStringList({QStringLiteral("13"), QStringLiteral("12")}));

        sheets::SpreadsheetSession session;
        const QDateTime now(QDate(2026, 12, 9), QTime(18, 4, 30));
        auto d = ordermail::draft(*db, session, s, "2026", "12", now);
        QVERIFY2(d.ok(), qPrintable(d.ok() ? QString() : d.error().text));
        QCOMPARE(d->message.subject,
                 QStringLiteral("Ordine n. 12 del 09/12/2026 - ALIMENTARI D'ANGELO"));
        QVERIFY2(d->message.body.contains(QStringLiteral(
                     "in allegato l'ordine n. 12 del 09/12/2026 del cliente ALIMENTARI D'ANGELO, "
                     "per un totale di 187,50 euro.")),
                 qPrintable(d->message.body));
        auto sent = sendMail(s.server, d->message);
        QVERIFY2(sent.ok(), qPrintable(sent.ok() ? QString() : sent.error().text));
        sendrecord::Sending rec{"2026",
                                "12",
                                now,
                                sent->recipients,
                                {},
                                sent->serverReply,
                                sent->messageId,
                                *sendrecord::fingerprint(*db, "2026", "12")};
        QVERIFY(sendrecord::record(*db, rec));

        const QJsonObject r = fx.recorded(sent->messageId);
        QCOMPARE(r.value("to").toString(),
                 QStringLiteral("Dolciaria Però Spa <ordini@mandante.it>"));
        QCOMPARE(r.value("cc").toString(),
                 QStringLiteral("ALIMENTARI D'ANGELO <angelo@cliente.it>"));
        QCOMPARE(r.value("subject").toString(), d->message.subject);
        const QJsonArray parts = r.value("attachments").toArray();
        QCOMPARE(parts.size(), 2);
        QCOMPARE(parts[0].toObject().value("filename").toString(),
                 QStringLiteral("Ordine 2026-12.pdf"));
        QCOMPARE(parts[1].toObject().value("filename").toString(),
                 QStringLiteral("Ordine 2026-12.xlsx"));
        for (int i = 0; i < 2; ++i)
            QCOMPARE(parts[i].toObject().value("sha256").toString(),
                     sha256Of(d->message.attachments[i].path));
        QVERIFY(d->message.attachments[0].path.startsWith(home.path()));

        QCOMPARE(*sendrecord::stateText(*db, "2026", "12"),
                 QStringLiteral("Inviato il 09/12/2026 alle 18:04 a ordini@mandante.it, "
                                "angelo@cliente.it"));
        QCOMPARE(unsent(), QStringList({QStringLiteral("13")}));
        exec(*db, "UPDATE ORDINE SET QVENDITA = 9 WHERE NR = '12' AND CODICE = '1001';");
        QCOMPARE(*sendrecord::stateText(*db, "2026", "12"),
                 QStringLiteral("Inviato il 09/12/2026 alle 18:04 a ordini@mandante.it, "
                                "angelo@cliente.it, modificato dopo l'invio"));
    }

    // A sending belongs to its order, whatever writes the lines: the order changed in any way
    // stays sent (changed since); deleted, line by line or whole, or moved to another number, it
    // keeps its sendings as history and the next order of that number starts unsent; replaced
    // whole by a synchronisation, it is the same order.
    void sendingBelongsToItsOrder() {
        TestDir dir;
        auto db = dir.open();
        const QString sent =
            QStringLiteral("Inviato il 09/12/2026 alle 18:04 a ordini@mandante.it");
        auto send = [&](const char* nr) {
            storeOrder(*db, nr, "2026-12-09", 2);
            sendrecord::Sending s;
            s.year = "2026";
            s.number = nr;
            s.when = QDateTime(QDate(2026, 12, 9), QTime(18, 4));
            s.recipients = {"ordini@mandante.it"};
            s.fingerprint = *sendrecord::fingerprint(*db, "2026", nr);
            QVERIFY(sendrecord::record(*db, s));
            QCOMPARE(*sendrecord::stateText(*db, "2026", nr), sent);
        };
        auto lines = [](int n) {
            std::vector<orderlines::Line> out(static_cast<size_t>(n));
            for (int i = 0; i < n; ++i) {
                out[size_t(i)].idCl = QStringLiteral("101");
                out[size_t(i)].articolo = QStringLiteral("RIGA DEL SERVER %1").arg(i);
            }
            return out;
        };
        const QString changed = sent + QStringLiteral(", modificato dopo l'invio");

        send("12");
        QVERIFY(orderlines::replaceLocal(*db, "2026", "12", lines(3)));
        QCOMPARE(*sendrecord::stateText(*db, "2026", "12"), changed);
        exec(*db, "DELETE FROM ORDINE WHERE ANNO = '2026' AND NR = '12';");
        QCOMPARE(*sendrecord::stateText(*db, "2026", "12"), QStringLiteral("Non inviato"));

        send("13");
        exec(*db, "DELETE FROM ORDINE WHERE ID = (SELECT MIN(ID) FROM ORDINE WHERE NR = '13');");
        QCOMPARE(*sendrecord::stateText(*db, "2026", "13"), changed);
        exec(*db, "DELETE FROM ORDINE WHERE ID = (SELECT MIN(ID) FROM ORDINE WHERE NR = '13');");
        storeOrder(*db, "13", "2026-12-10", 1);
        QCOMPARE(*sendrecord::stateText(*db, "2026", "13"), QStringLiteral("Non inviato"));

        send("14");
        exec(*db, "UPDATE ORDINE SET NR = '15' WHERE NR = '14';");
        QCOMPARE(*sendrecord::stateText(*db, "2026", "15"), QStringLiteral("Non inviato"));
        storeOrder(*db, "14", "2026-12-10", 1);
        QCOMPARE(*sendrecord::stateText(*db, "2026", "14"), QStringLiteral("Non inviato"));

        send("16");
        QVERIFY(orderlines::replaceLocal(*db, "2026", "16", {}));
        storeOrder(*db, "16", "2026-12-10", 1);
        QCOMPARE(*sendrecord::stateText(*db, "2026", "16"), QStringLiteral("Non inviato"));

        // Every sending is kept, each with the order it sent.
        QCOMPARE(value(*db, "SELECT COUNT(*) FROM INVIO WHERE ID_ORDINE IN (SELECT ID FROM "
                            "IDENTITA_ORDINE WHERE CANCELLATO_IL IS NOT NULL);"),
                 "4");
    }

    // A file whose sendings were recorded by year and number alone: each goes to the order of
    // its number when there is one (as it was shown), else to a deleted order.
    void sendingsOfAnEarlierVersion() {
        TestDir dir;
        auto db = dir.open();
        storeOrder(*db, "12", "2026-12-09", 1);
        exec(*db, "DROP TABLE INVIO; CREATE TABLE INVIO (ID INTEGER PRIMARY KEY AUTOINCREMENT, "
                  "ANNO TEXT NOT NULL, NR TEXT NOT NULL, INVIATO_IL TEXT NOT NULL, DESTINATARI "
                  "TEXT NOT NULL, ALLEGATI TEXT, RISPOSTA TEXT, MESSAGE_ID TEXT, IMPRONTA TEXT);");
        const QByteArray print = *sendrecord::fingerprint(*db, "2026", "12");
        exec(*db, qPrintable(
                      QStringLiteral(
                          "INSERT INTO INVIO (ANNO, NR, INVIATO_IL, DESTINATARI, IMPRONTA) VALUES "
                          "('2026', '12', '2026-12-09T17:04:00Z', 'ordini@mandante.it', '%1'), "
                          "('2026', '99', '2026-12-01T17:04:00Z', 'ordini@mandante.it', 'x');")
                          .arg(QString::fromLatin1(print))));
        QVERIFY(db->write([&] { return addedtables::ensure(*db); }));
        QVERIFY(db->write([&] { return addedtables::ensure(*db); }));
        QCOMPARE(*sendrecord::stateText(*db, "2026", "12"),
                 QStringLiteral("Inviato il 09/12/2026 alle 18:04 a ordini@mandante.it"));
        storeOrder(*db, "99", "2026-12-10", 1);
        QCOMPARE(*sendrecord::stateText(*db, "2026", "99"), QStringLiteral("Non inviato"));
        QCOMPARE(value(*db, "SELECT COUNT(*) FROM INVIO WHERE ID_ORDINE IS NULL;"), "0");
        QCOMPARE(value(*db, "SELECT GROUP_CONCAT(CANCELLATO_IL IS NULL) FROM IDENTITA_ORDINE;"),
                 "1,0");
    }

    // Each field of a customer card is checked for form, and a refused card changes nothing.
    void cardChecked_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("e-mail") << "email"
                                << "angelo@cliente"
                                << "L'indirizzo e-mail \"angelo@cliente\" non è valido.";
        QTest::newRow("PEC") << "pec"
                             << "pec cliente@pec.it"
                             << "L'indirizzo PEC \"pec cliente@pec.it\" non è valido.";
        QTest::newRow("CAP") << "cap"
                             << "2690"
                             << "Il CAP deve essere di 5 cifre.";
        QTest::newRow("partita IVA, cifra di controllo")
            << "iva"
            << "01234567890"
            << "La partita IVA \"01234567890\" non è valida: servono 11 cifre con la cifra di "
               "controllo giusta.";
        QTest::newRow("partita IVA, lettere")
            << "iva"
            << "0123456789A"
            << "La partita IVA \"0123456789A\" non è valida: servono 11 cifre con la cifra di "
               "controllo giusta.";
        QTest::newRow("codice fiscale") << "cf"
                                        << "RSSMRA80A01"
                                        << "Il codice fiscale \"RSSMRA80A01\" non è valido.";
        QTest::newRow("a capo") << "telefono"
                                << "0371 123\n456"
                                << "Il campo \"Telefono\" contiene un a capo o un carattere di "
                                   "controllo.";
    }
    void cardChecked() {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        TestDir dir;
        auto db = dir.open();
        contacts::Card good;
        good.code = QStringLiteral("101");
        good.email = QStringLiteral("angelo@cliente.it");
        good.pec = QStringLiteral("angelo@pec.it");
        good.postalCode = QStringLiteral("26900");
        good.vatNumber = QStringLiteral("12345678903");
        good.taxCode = QStringLiteral("rssmra80a01f205x");
        good.phone = QStringLiteral("+39 0371 123456");
        QVERIFY(contacts::save(*db, good));
        contacts::Card bad = good;
        (field == "email" ? bad.email
         : field == "pec" ? bad.pec
         : field == "cap" ? bad.postalCode
         : field == "iva" ? bad.vatNumber
         : field == "cf"  ? bad.taxCode
                          : bad.phone) = value;
        const Status s = contacts::save(*db, bad);
        QVERIFY(!s);
        QCOMPARE(s.error().text, expected);
        const auto stored = contacts::load(*db, "101");
        QCOMPARE(stored->email, good.email);
        QCOMPARE(stored->vatNumber, good.vatNumber);
        QCOMPARE(stored->taxCode, QStringLiteral("RSSMRA80A01F205X"));
    }
};

QTEST_MAIN(TestOrderMail)
#include "tst_ordermail.moc"
