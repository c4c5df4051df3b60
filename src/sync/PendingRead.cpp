#include "PendingRead.h"

#include "OrderLines.h"
#include "Pg.h"
#include "data/Database.h"

#include <QCryptographicHash>

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace pendingread {
namespace {

constexpr const char* kHeadsSql = "SELECT rowid, ANNO, NR, CAMBIATO, CAMBIATO_IL, VERSIONE"
                                  " FROM SYNC_ORDINE WHERE CAMBIATO > 0;";
// Lines come in the order they were written, the order each order's fingerprint takes them in.
constexpr const char* kAllLinesSql =
    "SELECT ANNO, NR, ID_CL, DATAO, DATAC, DEST, CITTA, PR, ARTICOLO, CODICE, FORMATO, PESO,"
    " QVENDITA, QOMAGGIO, PREZZO, SCONTO, NOTE FROM ORDINE ORDER BY ID;";
constexpr const char* kOrderLinesSql =
    "SELECT ANNO, NR, ID_CL, DATAO, DATAC, DEST, CITTA, PR, ARTICOLO, CODICE, FORMATO, PESO,"
    " QVENDITA, QOMAGGIO, PREZZO, SCONTO, NOTE FROM ORDINE WHERE ANNO = ?1 AND NR = ?2"
    " ORDER BY ID;";

// Up to this many pending orders, each one's lines are looked up by its key; beyond, one pass
// over all the lines costs less.
constexpr std::size_t kLookups = 2000;
constexpr qsizetype kPiece = 1 << 20;

// Text in the COPY form, as the server takes it, followed by a tab.
void appendText(std::string& out, std::string_view v) {
    pg::appendCopyText(out, v);
    out += '\t';
}

void appendField(std::string& out, const Statement& st, int column) {
    const std::optional<std::string_view> v = st.utf8OrNull(column);
    if (!v)
        out += "\\N\t";
    else
        appendText(out, *v);
}

void appendNumber(std::string& out, const Statement& st, int column) {
    if (st.isNull(column)) {
        out += "\\N";
    } else {
        const QByteArray n = QByteArray::number(st.real(column), 'g', 17);
        out.append(n.constData(), size_t(n.size()));
    }
    out += '\t';
}

// The fingerprints are made while the lines are read: one running hash per order.
struct Reading {
    Pending& out;
    std::unordered_map<const Order*, std::unique_ptr<QCryptographicHash>> hashes;
    const Order* last = nullptr;
    QCryptographicHash* lastHash = nullptr;
    std::string line;

    QByteArray& piece() {
        if (out.lines.empty() || out.lines.back().size() > kPiece) {
            out.lines.emplace_back();
            out.lines.back().reserve(kPiece + kPiece / 8);
        }
        return out.lines.back();
    }

    // The line the statement stands on, of the given order. Its fields are taken in the form
    // orderlines::appendCopy gives them, the one the fingerprint is made from.
    void add(Order& order, const Statement& st) {
        // The line is made apart, in memory kept from line to line, and added whole.
        line.clear();
        appendText(line, st.utf8(0));
        appendText(line, st.utf8(1));
        line += std::to_string(++order.lines);
        line += '\t';
        const size_t start = line.size();
        for (int c = 2; c <= 10; ++c)
            appendField(line, st, c);
        for (int c = 11; c <= 15; ++c)
            appendNumber(line, st, c);
        appendField(line, st, 16);
        if (&order != last) {
            auto& hash = hashes[&order];
            if (!hash)
                hash = std::make_unique<QCryptographicHash>(QCryptographicHash::Sha256);
            last = &order;
            lastHash = hash.get();
        }
        // The fingerprint takes each field followed by its tab, and the line's end.
        lastHash->addData(QByteArrayView(line.data() + start, qsizetype(line.size() - start)));
        lastHash->addData(QByteArrayView("\n"));
        line.back() = '\n';
        piece().append(line.data(), qsizetype(line.size()));
    }

    void finish() {
        for (auto& [key, order] : out.orders) {
            auto it = hashes.find(&order);
            order.fingerprint = it == hashes.end() ? orderlines::deletedFingerprint()
                                                   : it->second->result().toHex();
        }
    }
};

Status readHeads(Database& db, Pending& out) {
    auto st = db.prepare(kHeadsSql);
    if (!st)
        return st.error();
    while (st->next()) {
        Order& o = out.orders[{st->text(1), st->text(2)}];
        o.row = st->int64(0);
        o.changes = st->int64(3);
        o.changedAt = st->text(4);
        o.version = st->int64(5);
    }
    return st->status();
}

Status readEach(Database& db, Reading& r) {
    auto st = db.prepare(kOrderLinesSql);
    if (!st)
        return st.error();
    for (auto& [key, order] : r.out.orders) {
        st->reset();
        st->bind(1, key.first).bind(2, key.second);
        while (st->next())
            r.add(order, *st);
        if (!st->status())
            return st->status();
    }
    return {};
}

Status readAll(Database& db, Reading& r) {
    auto st = db.prepare(kAllLinesSql);
    if (!st)
        return st.error();
    // The lines of an order mostly follow one another: its entry is looked up again only when
    // the key changes.
    QByteArray anno;
    QByteArray nr;
    auto it = r.out.orders.end();
    bool first = true;
    while (st->next()) {
        const std::string_view a = st->utf8(0);
        const std::string_view n = st->utf8(1);
        if (first || a != std::string_view(anno.constData(), size_t(anno.size())) ||
            n != std::string_view(nr.constData(), size_t(nr.size()))) {
            first = false;
            anno = QByteArray(a.data(), qsizetype(a.size()));
            nr = QByteArray(n.data(), qsizetype(n.size()));
            it = r.out.orders.find({QString::fromUtf8(anno), QString::fromUtf8(nr)});
        }
        if (it != r.out.orders.end())
            r.add(it->second, *st);
    }
    return st->status();
}

} // namespace

Status read(Database& db, Pending& out) {
    // A read transaction: the agent goes on writing orders meanwhile, and what is written after
    // the snapshot stays pending for the next sync.
    if (Status s = db.exec("BEGIN;"); !s)
        return s;
    auto run = [&]() -> Status {
        if (Status s = readHeads(db, out); !s || out.orders.empty())
            return s;
        Reading r{out, {}, nullptr, nullptr, {}};
        Status s = out.orders.size() <= kLookups ? readEach(db, r) : readAll(db, r);
        if (s)
            r.finish();
        return s;
    };
    Status s = run();
    // Only a read snapshot ends here: nothing is lost if its end fails.
    (void)db.exec("COMMIT;");
    return s;
}

} // namespace pendingread
