#include "OrderLines.h"

#include "Pg.h"
#include "data/Database.h"

#include <QCryptographicHash>

namespace orderlines {
namespace {

std::optional<QString> textAt(const Statement& st, int c) {
    if (st.isNull(c))
        return std::nullopt;
    return st.text(c);
}
std::optional<double> numberAt(const Statement& st, int c) {
    if (st.isNull(c))
        return std::nullopt;
    return st.real(c);
}

} // namespace

Line fromStatement(const Statement& st, int f) {
    Line l;
    l.idCl = textAt(st, f + 0);
    l.dataO = textAt(st, f + 1);
    l.dataC = textAt(st, f + 2);
    l.dest = textAt(st, f + 3);
    l.citta = textAt(st, f + 4);
    l.pr = textAt(st, f + 5);
    l.articolo = textAt(st, f + 6);
    l.codice = textAt(st, f + 7);
    l.formato = textAt(st, f + 8);
    l.peso = numberAt(st, f + 9);
    l.qVendita = numberAt(st, f + 10);
    l.qOmaggio = numberAt(st, f + 11);
    l.prezzo = numberAt(st, f + 12);
    l.sconto = numberAt(st, f + 13);
    l.note = textAt(st, f + 14);
    return l;
}

Line fromRows(const pg::Rows& r, int row, int f) {
    Line l;
    l.idCl = r.textOrNull(row, f + 0);
    l.dataO = r.textOrNull(row, f + 1);
    l.dataC = r.textOrNull(row, f + 2);
    l.dest = r.textOrNull(row, f + 3);
    l.citta = r.textOrNull(row, f + 4);
    l.pr = r.textOrNull(row, f + 5);
    l.articolo = r.textOrNull(row, f + 6);
    l.codice = r.textOrNull(row, f + 7);
    l.formato = r.textOrNull(row, f + 8);
    l.peso = r.realOrNull(row, f + 9);
    l.qVendita = r.realOrNull(row, f + 10);
    l.qOmaggio = r.realOrNull(row, f + 11);
    l.prezzo = r.realOrNull(row, f + 12);
    l.sconto = r.realOrNull(row, f + 13);
    l.note = r.textOrNull(row, f + 14);
    return l;
}

void appendCopy(QByteArray& out, const Line& l) {
    pg::appendCopyField(out, l.idCl);
    pg::appendCopyField(out, l.dataO);
    pg::appendCopyField(out, l.dataC);
    pg::appendCopyField(out, l.dest);
    pg::appendCopyField(out, l.citta);
    pg::appendCopyField(out, l.pr);
    pg::appendCopyField(out, l.articolo);
    pg::appendCopyField(out, l.codice);
    pg::appendCopyField(out, l.formato);
    pg::appendCopyNumber(out, l.peso);
    pg::appendCopyNumber(out, l.qVendita);
    pg::appendCopyNumber(out, l.qOmaggio);
    pg::appendCopyNumber(out, l.prezzo);
    pg::appendCopyNumber(out, l.sconto);
    pg::appendCopyField(out, l.note);
}

QByteArray fingerprint(const std::vector<Line>& lines) {
    QCryptographicHash h(QCryptographicHash::Sha256);
    QByteArray one;
    for (const Line& l : lines) {
        one.clear();
        appendCopy(one, l);
        one += '\n';
        h.addData(one);
    }
    return h.result().toHex();
}

QByteArray deletedFingerprint() {
    return QByteArrayLiteral("cancellato");
}

Status replaceLocal(Database& db, const QString& anno, const QString& nr,
                    const std::vector<Line>& lines) {
    // The new lines go in before the old ones go out, so that an order changed elsewhere never
    // ceases to exist meanwhile: it stays the same order (its sendings by e-mail stay with it).
    // New lines take keys above every key there is.
    auto highest = db.prepare("SELECT COALESCE(MAX(ID), 0) FROM ORDINE;");
    if (!highest)
        return highest.error();
    const bool got = highest->next();
    if (Status s = highest->status(); !s)
        return s;
    const std::int64_t old = got ? highest->int64(0) : 0;
    highest->reset();
    auto ins = db.prepare("INSERT INTO ORDINE (ANNO, NR, ID_CL, DATAO, DATAC, DEST, CITTA, PR,"
                          " ARTICOLO, CODICE, FORMATO, PESO, QVENDITA, QOMAGGIO, PREZZO, SCONTO,"
                          " NOTE) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13,"
                          " ?14, ?15, ?16, ?17);");
    if (!ins)
        return ins.error();
    for (const Line& l : lines) {
        ins->reset();
        ins->bind(1, anno).bind(2, nr);
        ins->bind(3, l.idCl).bind(4, l.dataO).bind(5, l.dataC).bind(6, l.dest);
        ins->bind(7, l.citta).bind(8, l.pr).bind(9, l.articolo).bind(10, l.codice);
        ins->bind(11, l.formato).bind(12, l.peso).bind(13, l.qVendita).bind(14, l.qOmaggio);
        ins->bind(15, l.prezzo).bind(16, l.sconto).bind(17, l.note);
        if (Status s = ins->run(); !s)
            return s;
    }
    auto del = db.prepare("DELETE FROM ORDINE WHERE ANNO = ?1 AND NR = ?2 AND ID <= ?3;");
    if (!del)
        return del.error();
    return del->bind(1, anno).bind(2, nr).bind(3, old).run();
}

} // namespace orderlines
