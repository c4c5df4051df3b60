#include "ArchiveImport.h"

#include "data/AddedTables.h"
#include "data/Database.h"
#include "data/Rekey.h"
#include "data/Schema.h"
#include "files/FileInPlace.h"
#include "files/FolderNames.h"
#include "oldarchive/jet/JetFile.h"
#include "text/ItalianText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace archiveimport {
namespace {

enum class Kind { Id, Text, Number, Date };

struct Col {
    const char* name;
    Kind kind;
    int maxLength = 0;
    bool required = false;
};

struct TableShape {
    const char* table;
    QList<Col> cols;
};

const TableShape kUtente{"UTENTE",
                         {{"ID", Kind::Id},
                          {"UTENTE", Kind::Text},
                          {"VIA", Kind::Text},
                          {"CAP", Kind::Text, 5},
                          {"CITTA", Kind::Text},
                          {"PR", Kind::Text, 2}}};
const TableShape kCliente{"CLIENTE",
                          {{"ID", Kind::Id},
                           {"CODICE", Kind::Text, 11},
                           {"SOGGETTO", Kind::Text},
                           {"CITTA", Kind::Text},
                           {"PROVINCIA", Kind::Text}}};
const TableShape kArticolo{"ARTICOLO",
                           {{"ID", Kind::Id},
                            {"CODICE", Kind::Text, 13},
                            {"ARTICOLO", Kind::Text},
                            {"FORMATO", Kind::Text},
                            {"PESO", Kind::Number},
                            {"AGG", Kind::Date}}};
const TableShape kOrdine{"ORDINE",
                         {{"ID", Kind::Id},
                          {"ANNO", Kind::Text, 0, true},
                          {"NR", Kind::Text, 0, true},
                          {"ID_CL", Kind::Text},
                          {"DATAO", Kind::Date},
                          {"DATAC", Kind::Date},
                          {"DEST", Kind::Text},
                          {"CITTA", Kind::Text},
                          {"PR", Kind::Text},
                          {"ARTICOLO", Kind::Text},
                          {"CODICE", Kind::Text},
                          {"FORMATO", Kind::Text},
                          {"PESO", Kind::Number},
                          {"QVENDITA", Kind::Number},
                          {"QOMAGGIO", Kind::Number},
                          {"PREZZO", Kind::Number},
                          {"SCONTO", Kind::Number},
                          {"NOTE", Kind::Text}}};
const TableShape kAnno{"ANNO", {{"ANNO", Kind::Text, 0, true}}};

// A value ready for the column: none is NULL.
struct Cell {
    Kind kind;
    bool null = true;
    QString text;
    double number = 0;
    std::int64_t id = 0;
};

// The number as text, as a text column of the program holds it ("12", "12.5").
QString numberText(double d) {
    if (std::fabs(d) < 1e15 && d == std::trunc(d))
        return QString::number(std::int64_t(d));
    return QString::number(d, 'g', 15);
}

QString quoted(const QString& s) {
    return QStringLiteral("«%1»").arg(itext::shortened(s, 40));
}

QString idOf(const jet::Value& v) {
    switch (v.kind) {
    case jet::Value::Kind::Integer:
        return QString::number(v.integer);
    case jet::Value::Kind::Real:
        return numberText(v.real);
    case jet::Value::Kind::Text:
        return v.text;
    case jet::Value::Kind::Null:
        return QStringLiteral("(vuoto)");
    default:
        return QStringLiteral("?");
    }
}

Result<Cell> convert(const jet::Value& v, const Col& col) {
    Cell c;
    c.kind = col.kind;
    const QString name = QLatin1String(col.name);
    auto refuse = [&](const QString& why) {
        return makeError(QStringLiteral("colonna %1: %2").arg(name, why));
    };
    if (v.kind == jet::Value::Kind::Other)
        return refuse(QStringLiteral("valore non convertibile (%1)").arg(v.text));
    if (v.isNull()) {
        if (col.required || col.kind == Kind::Id)
            return refuse(QStringLiteral("manca il valore"));
        return c;
    }
    c.null = false;
    switch (col.kind) {
    case Kind::Id: {
        std::optional<std::int64_t> id;
        if (v.kind == jet::Value::Kind::Integer)
            id = v.integer;
        else if (v.kind == jet::Value::Kind::Real && v.real == std::trunc(v.real) &&
                 std::fabs(v.real) < 1e15)
            id = std::int64_t(v.real);
        else if (v.kind == jet::Value::Kind::Text)
            id = itext::parseId(QStringView(v.text).trimmed());
        if (!id)
            return refuse(QStringLiteral("%1 non è un numero intero").arg(quoted(idOf(v))));
        c.id = *id;
        return c;
    }
    case Kind::Text:
        switch (v.kind) {
        case jet::Value::Kind::Text:
            c.text = v.text;
            break;
        case jet::Value::Kind::Integer:
            c.text = QString::number(v.integer);
            break;
        case jet::Value::Kind::Real:
            c.text = numberText(v.real);
            break;
        case jet::Value::Kind::DateTime:
            c.text = itext::isoDate(v.date);
            break;
        default:
            c.text = v.boolean ? QStringLiteral("1") : QStringLiteral("0");
            break;
        }
        if (c.text.isEmpty() && col.required)
            return refuse(QStringLiteral("manca il valore"));
        if (c.text.isEmpty())
            c.null = true;
        if (col.maxLength > 0 && c.text.size() > col.maxLength)
            return refuse(QStringLiteral("il valore %1 è più lungo di %2 caratteri")
                              .arg(quoted(c.text))
                              .arg(col.maxLength));
        return c;
    case Kind::Number:
        if (v.kind == jet::Value::Kind::Integer) {
            c.number = double(v.integer);
        } else if (v.kind == jet::Value::Kind::Real) {
            c.number = v.real;
        } else if (v.kind == jet::Value::Kind::Text) {
            const QString t = v.text.trimmed();
            if (t.isEmpty()) {
                c.null = true;
                return c;
            }
            // The earlier program kept what was typed, in the Italian forms or with a full stop.
            std::optional<double> n = itext::parseNumber(t);
            if (!n) {
                bool ok = false;
                const double d = QLocale::c().toDouble(t, &ok);
                if (ok)
                    n = d;
            }
            if (!n || !std::isfinite(*n))
                return refuse(QStringLiteral("%1 non è un numero").arg(quoted(v.text)));
            c.number = *n;
        } else {
            return refuse(QStringLiteral("il valore non è un numero"));
        }
        if (!std::isfinite(c.number))
            return refuse(QStringLiteral("il valore non è un numero"));
        return c;
    case Kind::Date: {
        QDate d;
        if (v.kind == jet::Value::Kind::DateTime) {
            d = v.date;
        } else if (v.kind == jet::Value::Kind::Text) {
            const QString t = v.text.trimmed();
            if (t.isEmpty()) {
                c.null = true;
                return c;
            }
            if (auto it = itext::parseDate(t))
                d = *it;
            else if (auto iso = itext::parseIsoDate(t.toStdString()))
                d = *iso;
            if (!d.isValid())
                return refuse(QStringLiteral("%1 non è una data").arg(quoted(v.text)));
        } else {
            return refuse(QStringLiteral("il valore non è una data"));
        }
        if (!d.isValid() || d.year() < 1000 || d.year() > 9999)
            return refuse(QStringLiteral("la data è fuori dagli anni 1000-9999"));
        c.text = itext::isoDate(d);
        return c;
    }
    }
    return c;
}

class Copier {
public:
    Copier(jet::Archive& a, Database& db, Report& r) : archive(a), db(db), report(r) {}

    // Copies one table through `insertSql`, whose parameters are the columns of `shape` in order.
    Status copy(const TableShape& shape, const char* insertSql) {
        const QString table = QLatin1String(shape.table);
        auto cols = archive.columns(table);
        if (!cols)
            return makeError(QStringLiteral("archivio: %1").arg(cols.error().text));
        QList<int> at;
        for (const Col& c : shape.cols) {
            int found = -1;
            for (qsizetype i = 0; i < cols->size(); ++i)
                if ((*cols)[i].name.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0)
                    found = int(i);
            if (found < 0)
                return makeError(QStringLiteral("archivio: la tabella %1 non ha la colonna %2")
                                     .arg(table, QLatin1String(c.name)));
            at << found;
        }
        auto st = db.prepare(insertSql);
        if (!st)
            return st.error();
        Copied counts{table};
        QSet<QString> keys;
        Status s = archive.rows(table, [&](const jet::Row& row) -> Status {
            const jet::Value& key = row.value(at.first());
            auto leaveOut = [&](const QString& why) {
                report.leftOut << LeftOut{table, idOf(key), why};
                ++counts.leftOut;
                return Status();
            };
            QList<Cell> cells;
            for (qsizetype i = 0; i < shape.cols.size(); ++i) {
                auto cell = convert(row.value(at[i]), shape.cols[i]);
                if (!cell)
                    return leaveOut(cell.error().text);
                cells << *cell;
            }
            const QString k = cells.first().kind == Kind::Id ? QString::number(cells.first().id)
                                                             : cells.first().text;
            if (keys.contains(k))
                return leaveOut(QStringLiteral("%1 %2 è già di un'altra riga")
                                    .arg(cells.first().kind == Kind::Id ? QStringLiteral("l'ID")
                                                                        : QStringLiteral("l'anno"),
                                         k));
            st->reset();
            for (qsizetype i = 0; i < cells.size(); ++i) {
                const Cell& c = cells[i];
                const int p = int(i + 1);
                if (c.null)
                    st->bindNull(p);
                else if (c.kind == Kind::Id)
                    st->bind(p, c.id);
                else if (c.kind == Kind::Number)
                    st->bind(p, c.number);
                else
                    st->bind(p, c.text);
            }
            Status ran = st->run();
            if (!ran) {
                // A value the table refuses leaves the row out; any other failure stops all.
                if (isRefusedValue(ran.error()))
                    return leaveOut(ran.error().text);
                return ran;
            }
            keys.insert(k);
            ++counts.rows;
            return {};
        });
        if (!s)
            return s;
        report.tables << counts;
        return {};
    }

    jet::Archive& archive;
    Database& db;
    Report& report;
};

// The report's first choice of name beside the new file, as bytes.
QByteArray nativeReportPathFor(const QByteArray& target) {
    const qsizetype slash = target.lastIndexOf('/');
    QByteArray base = target.mid(slash + 1);
    const qsizetype dot = base.lastIndexOf('.');
    if (dot > 0)
        base.truncate(dot);
    return target.left(slash + 1) + base + " - importazione.txt";
}

// The report, written whole under a work name of its own before the new file takes its name,
// and named (never over a file of the user's, never through a link) only once the new file has
// its own: a run cut short leaves no report of an import that did not happen.
struct PendingReport {
    QByteArray work;
    QByteArray name;
    int fd = -1;

    PendingReport() = default;
    PendingReport(const PendingReport&) = delete;
    PendingReport& operator=(const PendingReport&) = delete;
    ~PendingReport() {
        if (fd < 0)
            return;
        ::unlink(work.constData());
        ::close(fd);
    }
};

// Writes the report's text; its name, the first free beside the new file, is set in the report
// (and said in the text) now.
Status writeReport(Report& r, PendingReport& pending, const QString& sourceName,
                   const QString& target, const QByteArray& nativeTarget) {
    pending.name = inplace::firstFree(nativeReportPathFor(nativeTarget));
    pending.work = inplace::workFor(pending.name);
    pending.fd = ::open(pending.work.constData(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (pending.fd < 0)
        return makeError(QStringLiteral("il resoconto dell'importazione non si può scrivere (%1)")
                             .arg(QString::fromLocal8Bit(strerror(errno))));
    // Held until it is named: another run's clean-up of abandoned work files leaves it alone.
    (void)::flock(pending.fd, LOCK_EX | LOCK_NB);
    r.reportPath = QFile::decodeName(pending.name);
    QString text = QStringLiteral("Importazione di %1 in %2\n\n")
                       .arg(sourceName, QFileInfo(target).fileName()) +
                   summary(r);
    if (!r.leftOut.isEmpty()) {
        text += QStringLiteral("\nRighe non importate:\n");
        for (const LeftOut& l : r.leftOut)
            text += QStringLiteral("%1, %2 %3: %4\n")
                        .arg(l.table,
                             l.table == QLatin1String("ANNO") ? QStringLiteral("anno")
                                                              : QStringLiteral("ID"),
                             l.id, l.reason);
    }
    if (inplace::writeAll(pending.fd, text.toUtf8()) != 0 || ::fsync(pending.fd) != 0)
        return makeError(
            QStringLiteral("il resoconto %1 non si può scrivere (disco pieno?)").arg(r.reportPath));
    return {};
}

// The report takes its name beside the new file, now in place.
void nameReport(Report& r, PendingReport& pending) {
    Result<QByteArray> named = inplace::putFree(pending.work, pending.name);
    // Left under its work name when no name can be given it: the import itself is done.
    r.reportPath = QFile::decodeName(named ? *named : pending.work);
    ::close(pending.fd);
    pending.fd = -1;
}

// The new file before it gets its name: the engine's full check, and every row copied there.
Status checkBuilt(Database& db, const Report& r) {
    auto st = db.prepare("PRAGMA integrity_check;");
    if (!st)
        return st.error();
    if (!st->next())
        return st->status() ? makeError(QStringLiteral("il controllo del nuovo file non risponde"))
                            : st->status().error();
    if (st->text(0) != QLatin1String("ok"))
        return makeError(
            QStringLiteral("il nuovo file non supera il controllo (%1)").arg(st->text(0)));
    for (const Copied& c : r.tables) {
        auto count =
            db.prepare(QStringLiteral("SELECT count(*) FROM %1;").arg(c.table).toStdString());
        if (!count)
            return count.error();
        if (!count->next())
            return count->status() ? makeError(QStringLiteral("il controllo del nuovo file non "
                                                              "risponde"))
                                   : count->status().error();
        if (count->int64(0) != c.rows)
            return makeError(
                QStringLiteral("il nuovo file ha %1 righe nella tabella %2 invece di %3")
                    .arg(count->int64(0))
                    .arg(c.table)
                    .arg(c.rows));
    }
    return {};
}

} // namespace

QString reportPathFor(const QString& target) {
    const QFileInfo fi(target);
    return fi.absoluteDir().filePath(fi.completeBaseName() + QStringLiteral(" - importazione.txt"));
}

QString summary(const Report& report) {
    QString out;
    for (const Copied& c : report.tables) {
        out += QStringLiteral("%1: %2 righe copiate").arg(c.table).arg(c.rows);
        if (c.leftOut > 0)
            out += QStringLiteral(", %1 non importate").arg(c.leftOut);
        out += QLatin1Char('\n');
    }
    if (report.leftOut.isEmpty())
        out += QStringLiteral("Tutte le righe sono state importate.\n");
    else
        out += QStringLiteral("Righe non importate: %1 (elenco in %2)\n")
                   .arg(report.leftOut.size())
                   .arg(folders::shownNative(report.reportPath));
    return out;
}

Result<Report> run(jet::Archive& archive, const QString& target, const QString& sourceName,
                   const Placing& placing) {
    const QByteArray native =
        placing.nativeTarget.isEmpty() ? QFile::encodeName(target) : placing.nativeTarget;
    const bool replacing = !placing.keepExistingAs.isEmpty();
    if (!replacing && inplace::exists(native))
        return makeError(QStringLiteral("il file esiste già"));
    const QByteArray work = inplace::workFor(native);
    const QString workPath = QFile::decodeName(work);
    Database::Options options;
    options.create = true;
    auto opened = Database::open(workPath, schema::password(), options);
    if (!opened)
        return opened.error();
    Database& db = **opened;
    Report report;
    Status s = schema::create(db);
    if (s) {
        Copier copier(archive, db, report);
        s = db.write([&]() -> Status {
            if (Status c = copier.copy(kUtente, "INSERT INTO UTENTE (ID, UTENTE, VIA, CAP, "
                                                "CITTA, PR) VALUES (?1, ?2, ?3, ?4, ?5, ?6);");
                !c)
                return c;
            if (Status c = copier.copy(kCliente, "INSERT INTO CLIENTE (ID, CODICE, SOGGETTO, "
                                                 "CITTA, PROVINCIA) VALUES (?1, ?2, ?3, ?4, ?5);");
                !c)
                return c;
            if (Status c =
                    copier.copy(kArticolo, "INSERT INTO ARTICOLO (ID, CODICE, ARTICOLO, FORMATO, "
                                           "PESO, AGG) VALUES (?1, ?2, ?3, ?4, ?5, ?6);");
                !c)
                return c;
            // The search's tables are filled from all the lines at once, at the end.
            if (Status c = addedtables::setAsideSearch(db); !c)
                return c;
            if (Status c = copier.copy(
                    kOrdine, "INSERT INTO ORDINE (ID, ANNO, NR, ID_CL, DATAO, DATAC, DEST, "
                             "CITTA, PR, ARTICOLO, CODICE, FORMATO, PESO, QVENDITA, QOMAGGIO, "
                             "PREZZO, SCONTO, NOTE) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, "
                             "?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18);");
                !c)
                return c;
            if (Status c = copier.copy(kAnno, "INSERT INTO ANNO (ANNO) VALUES (?1);"); !c)
                return c;
            return addedtables::ensure(db);
        });
    }
    if (s)
        s = checkBuilt(db, report);
    db.close();
    if (s && placing.key.personal)
        s = rekey::changeKey(workPath, FileKey::builtIn(), placing.key);
    if (s)
        s = inplace::syncFile(work);
    PendingReport pending;
    if (s)
        s = writeReport(report, pending, sourceName, target, native);
    if (s)
        s = replacing
                ? inplace::replaceKeeping(work, native, QFile::encodeName(placing.keepExistingAs))
                : inplace::put(work, native);
    if (!s) {
        Database::removeFiles(workPath);
        return s.error();
    }
    nameReport(report, pending);
    return report;
}

Result<Report> fromJetFile(const QString& jetPath, const QString& target, const Placing& placing) {
    auto archive = jet::open(jetPath);
    if (!archive)
        return makeError(
            QStringLiteral("%1: %2").arg(QFileInfo(jetPath).fileName(), archive.error().text));
    return run(**archive, target, QFileInfo(jetPath).fileName(), placing);
}

} // namespace archiveimport
