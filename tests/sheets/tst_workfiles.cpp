// The files a workbook leaves behind: a full disk while the library writes its work files, the
// modes of what is written, and the descriptors an export keeps.

#include "SheetKit.h"
#include "support/Fixture.h"
#include "support/Ui.h"

#include "app/Gestione.h"
#include "orders/PrintOrder.h"
#include "sheets/OrderSheet.h"
#include "sheets/WorkFiles.h"
#include "sheets/XlsxCheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

// A limit on the size of the files this process writes, as a disk with that much room left:
// writes past it fail (the signal that would end the process is ignored meanwhile).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit l = m_old;
        l.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &l);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_handler);
    }

private:
    rlimit m_old{};
    void (*m_handler)(int) = nullptr;
};

void storeCustomers(Database& db, int n) {
    Status s = db.write([&]() -> Status {
        auto st = db.prepare("INSERT INTO CLIENTE (CODICE, SOGGETTO, CITTA, PROVINCIA) "
                             "VALUES (?1, ?2, "
                             "'SAN GIULIANO MILANESE', 'MI');");
        if (!st)
            return st.error();
        for (int i = 0; i < n; ++i) {
            st->reset();
            st->bind(1, QString::number(1000 + i))
                .bind(2, QStringLiteral("ALIMENTARI DEL CLIENTE NUMERO %1").arg(i));
            if (Status r = st->run(); !r)
                return r;
        }
        return {};
    });
    if (!s)
        qFatal("storeCustomers: %s", qPrintable(s.error().text));
}

QStringList entries(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

int openDescriptors() {
    return int(QDir(QStringLiteral("/proc/self/fd"))
                   .entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)
                   .size());
}

// A workbook of the library's own, written in constant memory into dir: the result of closing
// it, and what the watch saw of its work files.
struct Written {
    lxw_error closed;
    int files;
    int failure;
};

Written writeRows(const QString& path, int rows) {
    const sheets::workfiles::Watch watch;
    QByteArray dir = QFile::encodeName(QFileInfo(path).absolutePath());
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = dir.data();
    lxw_workbook* book = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < 6; ++c)
            worksheet_write_string(sheet, lxw_row_t(r), lxw_col_t(c), "ALIMENTARI DEL CLIENTE",
                                   nullptr);
    const lxw_error closed = workbook_close(book);
    return {closed, watch.files(), watch.failure()};
}

mode_t modeOf(const QString& path) {
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 0777 : 0;
}

} // namespace

class TestWorkFiles : public QObject {
    Q_OBJECT

    QTemporaryDir m_tmp;

private Q_SLOTS:
    void initTestCase() { qputenv("TMPDIR", QFile::encodeName(m_tmp.path())); }

    // The export of 3,040 customers and a 300-line order sheet on a disk with 64 KB left: an
    // error that names the cause, nothing half-written kept, an earlier file of the name kept.
    void aFullDiskIsToldAndNothingCutShortIsKept() {
        App app;
        storeCustomers(app.db(), 3040);
        QList<kit::Line> lines;
        for (int i = 0; i < 300; ++i)
            lines.append(
                {QStringLiteral("ARTICOLO DELLA RIGA %1").arg(i), "100", 2.5, 3, 12.5, "NOTA"});
        kit::storeOrder(app.db(), kit::Header{}, lines);
        const QString earlier = QDir(app.dir.path()).filePath("Foglio.xlsx");
        {
            QFile f(earlier);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("earlier export");
        }
        const QStringList before = entries(app.dir.path());
        {
            const FileSizeLimit diskAlmostFull(64 * 1024);
            ui::menu(app.window.get(), "StampaClienti");
            StampaOrdineV(app.ctx, "2026", "7", "101");
        }
        QCOMPARE(app.dialogs.boxes.size(), 2);
        for (const auto& box : app.dialogs.boxes) {
            QCOMPARE(box.title, QStringLiteral("Errore"));
            QVERIFY2(box.text.startsWith(QStringLiteral("28:\r\nImpossibile scrivere la cartella "
                                                        "di lavoro")),
                     qPrintable(box.text));
            QVERIFY2(box.text.contains(QStringLiteral("spazio esaurito")), qPrintable(box.text));
            QVERIFY2(box.text.contains(QStringLiteral("Il file non è stato salvato.")),
                     qPrintable(box.text));
        }
        QVERIFY(app.opener.opened.isEmpty());
        QCOMPARE(entries(app.dir.path()), before);
        QFile f(earlier);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("earlier export"));
        QVERIFY(entries(kit::archiveFolder()).isEmpty());

        // With room again both go through.
        app.dialogs.boxes.clear();
        ui::menu(app.window.get(), "StampaClienti");
        StampaOrdineV(app.ctx, "2026", "7", "101");
        QVERIFY2(app.dialogs.boxes.isEmpty(), qPrintable(app.dialogs.describe()));
        QCOMPARE(app.opener.opened.size(), 2);
        const QJsonObject x = kit::readXlsx(app.opener.opened[0]);
        const QString exported = x["active"].toString();
        QCOMPARE(x["info"].toObject()[exported].toObject()["max_row"].toInt(), 3041);
    }

    // The library says nothing when its work files are cut short; the watch sees each write
    // that fails. And what a failure can leave of the archive itself, cut short or missing
    // bytes inside, is never taken for a whole workbook.
    void workFilesAreWatchedAndTheArchiveChecked() {
        const QString path = QDir(m_tmp.path()).filePath(QStringLiteral("righe.xlsx"));
        Written w = writeRows(path, 3000);
        QCOMPARE(w.closed, LXW_NO_ERROR);
        QVERIFY(w.files > 0);
        QCOMPARE(w.failure, 0);
        QVERIFY(sheets::checkZip(path));
        QVERIFY(sheets::checkXlsx(path, {3000}));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray whole = f.readAll();
        f.close();
        {
            const FileSizeLimit diskAlmostFull(64 * 1024);
            w = writeRows(QDir(m_tmp.path()).filePath(QStringLiteral("tronco.xlsx")), 3000);
        }
        QCOMPARE(w.closed, LXW_NO_ERROR);
        QCOMPARE(w.failure, EFBIG);

        const QString damaged = QDir(m_tmp.path()).filePath(QStringLiteral("danneggiato.xlsx"));
        const qsizetype n = whole.size();
        const struct {
            const char* what;
            qsizetype from;
            qsizetype length;
        } losses[] = {
            {"the last byte", n - 1, 1},
            {"the end record", n - 22, 22},
            {"the index", n - 600, 600},
            {"a piece of the largest part", n / 3, 4096},
            {"the first part's header", 0, 30},
            {"everything after the first half", n / 2, n - n / 2},
        };
        for (const auto& loss : losses) {
            QFile out(damaged);
            QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            out.write(whole.left(loss.from) + whole.mid(loss.from + loss.length));
            out.close();
            QVERIFY2(!sheets::checkZip(damaged), loss.what);
        }
    }

    // Workbooks are the agent's data: owner-only under the usual mask, and an export keeps no
    // descriptor open once it is done.
    void workbooksAreOwnerOnlyAndLeaveNoDescriptor() {
        const mode_t mask = ::umask(022);
        App app;
        kit::storeOrder(app.db(), kit::Header{}, {{"BURRO", "200", 2.25, 1, 7.8, ""}});
        // Customers to list: the export streams its rows through the library's work files.
        storeCustomers(app.db(), 5);
        const int descriptors = openDescriptors();
        QVERIFY(descriptors > 3);
        ui::menu(app.window.get(), "StampaClienti");
        QCOMPARE(openDescriptors(), descriptors);
        ui::menu(app.window.get(), "StampaArticolo");
        ui::menu(app.window.get(), "StampaClienti");
        QCOMPARE(openDescriptors(), descriptors);
        StampaOrdineV(app.ctx, "2026", "7", "101");
        QCOMPARE(openDescriptors(), descriptors);
        ::umask(mask);
        QVERIFY2(app.dialogs.boxes.isEmpty(), qPrintable(app.dialogs.describe()));
        QCOMPARE(app.opener.opened.size(), 4);
        for (const QString& path : app.opener.opened)
            QVERIFY2(modeOf(path) == 0600, qPrintable(path));
    }
};

QTEST_MAIN(TestWorkFiles)
#include "tst_workfiles.moc"
