// "Importa listino" on a principal's list of 50,000 articles, written as an .xlsx by the
// program's own workbook writer, against a catalogue that holds half of them with an earlier
// price: the list read and shown in its preview window, against liborcus's own read of the same
// file; the list applied in its one transaction, against a bare insert of the same rows in one
// transaction.

#include "BenchWindow.h"
#include "Ops.h"

#include "data/AddedTables.h"
#include "data/Database.h"
#include "data/Schema.h"
#include "pricelists/ColumnMap.h"
#include "pricelists/ImportWindow.h"
#include "pricelists/ListRows.h"
#include "pricelists/PriceListStore.h"
#include "pricelists/SheetFile.h"
#include "sheets/Workbook.h"
#include "sheets/WorkbookFiles.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <orcus/orcus_xlsx.hpp>
#include <orcus/spreadsheet/document.hpp>
#include <orcus/spreadsheet/factory.hpp>

#include <cstdio>
#include <string>

namespace bench {
namespace {

constexpr int kArticles = 50000;

QString code(int i) {
    return QStringLiteral("L%1").arg(i, 6, 10, QLatin1Char('0'));
}

// The catalogue: every other article of the list, with the principal's earlier price.
Status makeCatalogue(Database& db) {
    if (Status s = schema::create(db); !s)
        return s;
    return db.write([&]() -> Status {
        if (Status s = addedtables::ensure(db); !s)
            return s;
        if (Status s = db.exec("INSERT INTO MANDANTE (NOME) VALUES ('Rossi Alimentari');"); !s)
            return s;
        Result<Statement> art = db.prepare(
            "INSERT INTO ARTICOLO (CODICE, ARTICOLO, FORMATO, PESO) VALUES (?1, ?2, ?3, ?4);");
        Result<Statement> price =
            db.prepare("INSERT INTO PREZZO_LISTINO (CODICE, ID_MANDANTE, PREZZO, VALIDO_DAL) "
                       "VALUES (?1, 1, ?2, '2026-01-01');");
        if (!art)
            return art.error();
        if (!price)
            return price.error();
        for (int i = 0; i < kArticles; i += 2) {
            art->reset();
            art->bind(1, code(i))
                .bind(2, QStringLiteral("ARTICOLO %1").arg(i))
                .bind(3, QStringLiteral("CT 6"))
                .bind(4, 1.0 + i % 7);
            if (Status s = art->run(); !s)
                return s;
            price->reset();
            price->bind(1, code(i)).bind(2, 1.0 + (i % 997) / 100.0);
            if (Status s = price->run(); !s)
                return s;
        }
        return {};
    });
}

// The list: a title with its date, the header, and the articles with new prices (one in ten
// with a new description).
Status makeList(const QString& path) {
    sheets::Workbook wb;
    sheets::Sheet& s = wb.sheet(0);
    s.setValue(0, 0, sheets::Value::ofText("Listino prezzi valido dal 01/02/2027"));
    const char* header[] = {"Codice", "Descrizione", "Formato", "Peso", "Prezzo €"};
    for (int c = 0; c < 5; ++c)
        s.setValue(2, c, sheets::Value::ofText(header[c]));
    for (int i = 0; i < kArticles; ++i) {
        const int r = 3 + i;
        s.setValue(r, 0, sheets::Value::ofText(code(i)));
        s.setValue(r, 1,
                   sheets::Value::ofText(i % 10 == 0 ? QStringLiteral("Articolo nuovo %1").arg(i)
                                                     : QStringLiteral("Articolo %1").arg(i)));
        s.setValue(r, 2, sheets::Value::ofText("CT 6"));
        s.setValue(r, 3, sheets::Value::ofNumber(1.0 + i % 7));
        s.setValue(r, 4, sheets::Value::ofNumber(1.5 + (i % 997) / 100.0));
    }
    return sheets::saveWorkbook(wb, path);
}

Row limitRow(const QString& op, const Sample& s, const QString& notes) {
    Row r;
    r.operation = op;
    r.take(s);
    r.target = QStringLiteral("≤ 2 s");
    r.met = r.both([](double ours, double) { return ours <= 2000; });
    r.peak = s.peak;
    r.notes = notes;
    return r;
}

} // namespace

bool priceListBench(const Options& o, const Emit& emit) {
    QTemporaryDir work(QDir(o.workDir.isEmpty() ? QDir::tempPath() : o.workDir)
                           .filePath(QStringLiteral("listini-XXXXXX")));
    if (!work.isValid()) {
        fail(QStringLiteral("listini: no work folder"));
        return false;
    }
    Database::Options opts;
    opts.create = true;
    auto opened =
        Database::open(work.filePath(QStringLiteral("Ordine.mdb")), schema::password(), opts);
    if (!opened) {
        fail(QStringLiteral("listini: ") + opened.error().text);
        return false;
    }
    const QString list = work.filePath(QStringLiteral("Listino Rossi.xlsx"));
    if (Status s = makeCatalogue(**opened); !s) {
        fail(QStringLiteral("listini: ") + s.error().text);
        return false;
    }
    if (Status s = makeList(list); !s) {
        fail(QStringLiteral("listini: ") + s.error().text);
        return false;
    }

    QuietDialogs dialogs;
    SystemClock clock;
    KeepOpener opener;
    AppContext ctx(dialogs, clock, opener, work.path());
    ctx.connection = std::move(*opened);
    Database& db = ctx.db();

    // Read, and shown in the preview window with its counts and rows.
    bool ok = true;
    QString counts;
    int shown = 0;
    const Sample read = compare(
        o.warmups, o.runs,
        [&] {
            Result<pricelists::Workbook> book = pricelists::readWorkbook(list, work.path());
            if (!book) {
                ok = false;
                fail(QStringLiteral("listini: ") + book.error().text);
                return;
            }
            ImportWindow w(ctx, list, std::move(*book));
            w.CboMandante->setEditText(QStringLiteral("Rossi Alimentari"));
            w.show();
            settle();
            counts = w.LblConteggi->text();
            shown = w.ListaAnteprima->topLevelItemCount();
        },
        [&] {
            orcus::spreadsheet::document doc{orcus::spreadsheet::range_size_t{1048576, 16384}};
            orcus::spreadsheet::import_factory factory{doc};
            orcus::orcus_xlsx filter(&factory);
            filter.read_file(QFile::encodeName(list).toStdString());
        });
    if (!ok)
        return false;
    emit(limitRow(QStringLiteral("Price list of 50,000 articles read and shown in its preview "
                                 "(.xlsx)"),
                  read,
                  QStringLiteral("against liborcus's own read of the same file; %1 rows in the "
                                 "preview (%2)")
                      .arg(shown)
                      .arg(counts)));

    // Applied, and undone (unmeasured) before the next run.
    Result<pricelists::Workbook> book = pricelists::readWorkbook(list, work.path());
    if (!book) {
        fail(QStringLiteral("listini: ") + book.error().text);
        return false;
    }
    const pricelists::Sheet& sheet = book->sheets.front();
    const pricelists::Mapping mapping = pricelists::findMapping(sheet);
    const pricelists::ListRows rows = pricelists::readRows(sheet, mapping);
    Result<pricelists::Preview> preview = pricelists::makePreview(db, 1, rows, QDate(2027, 2, 1));
    if (!preview) {
        fail(QStringLiteral("listini: ") + preview.error().text);
        return false;
    }
    const QStringList columns = pricelists::rememberedTexts(sheet, mapping);
    bool applied = false;
    int bare = 0;
    pricelists::Applied last;
    auto undo = [&] {
        if (applied)
            ok = ok && pricelists::undoLast(db).ok();
        applied = false;
    };
    const Sample apply = compare(
        o.warmups, o.runs,
        [&] {
            Result<pricelists::Applied> done = pricelists::apply(
                db, *preview, QStringLiteral("Listino Rossi.xlsx"), clock.now(), columns);
            ok = ok && done.ok();
            applied = done.ok();
            if (done)
                last = *done;
        },
        [&] {
            // The same prices, a table of their own each run.
            const std::string table = "BARE" + std::to_string(++bare);
            ok = ok && db.exec("CREATE TABLE " + table +
                               " (CODICE TEXT NOT NULL, ID_MANDANTE INTEGER NOT NULL, PREZZO "
                               "REAL NOT NULL, VALIDO_DAL DATE NOT NULL, ID_LISTINO INTEGER);")
                           .ok();
            Status s = db.write([&]() -> Status {
                Result<Statement> st =
                    db.prepare("INSERT INTO " + table + " VALUES (?1, 1, ?2, '2027-02-01', 1);");
                if (!st)
                    return st.error();
                for (const pricelists::Entry& e : rows.entries) {
                    st->reset();
                    st->bind(1, e.code).bind(2, e.price);
                    if (Status r = st->run(); !r)
                        return r;
                }
                return {};
            });
            ok = ok && s.ok();
        },
        undo);
    undo();
    if (!ok) {
        fail(QStringLiteral("listini: the apply or its undo failed"));
        return false;
    }
    emit(limitRow(QStringLiteral("Price list of 50,000 articles applied (one transaction)"), apply,
                  QStringLiteral("against a bare insert of its 50,000 prices in one transaction; "
                                 "%1 articles added, %2 changed, %3 prices")
                      .arg(last.added)
                      .arg(last.updated)
                      .arg(last.prices)));
    return true;
}

} // namespace bench
