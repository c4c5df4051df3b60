#include "PriceListShared.h"
#include "PriceListStore.h"

#include "data/Database.h"
#include "text/ItalianText.h"

#include <QHash>
#include <QSet>

#include <cmath>

namespace pricelists {

using detail::priceText;

namespace {

QString weightText(const std::optional<double>& w) {
    return w ? itext::formatNumber(*w) : QString();
}

// The entry's price per kilogram, and the list's own beside it when it gave another.
QString entryPrice(const Entry& e) {
    return e.priceFrom.isEmpty() ? priceText(e.price)
                                 : QStringLiteral("%1 (%2)").arg(priceText(e.price), e.priceFrom);
}

struct Dated {
    QDate from;
    double price = 0;
};

// The price valid on `date`: the latest that starts on or before it (prices oldest first).
const Dated* validOn(const std::vector<Dated>& prices, const QDate& date) {
    const Dated* out = nullptr;
    for (const Dated& d : prices)
        if (d.from <= date)
            out = &d;
    return out;
}

struct Known {
    std::int64_t id = 0;
    QString description;
    QString format;
    std::optional<double> weight;
};

} // namespace

QString changeName(Change c) {
    switch (c) {
    case Change::New:
        return QStringLiteral("Articoli nuovi");
    case Change::Price:
        return QStringLiteral("Prezzi cambiati");
    case Change::Description:
        return QStringLiteral("Descrizioni cambiate");
    case Change::Format:
        return QStringLiteral("Formati cambiati");
    case Change::Weight:
        return QStringLiteral("Pesi cambiati");
    case Change::Missing:
        return QStringLiteral("Assenti dal listino");
    case Change::Refused:
        return QStringLiteral("Righe scartate");
    case Change::Duplicate:
        return QStringLiteral("Codici ripetuti");
    }
    return QString();
}

std::vector<bool> Preview::activeEntries() const {
    std::vector<bool> active(entries.size(), true);
    QSet<QString> chosen; // one row at most for a code
    for (const PreviewItem& i : items) {
        if (i.kind != Change::Duplicate || i.entry < 0 || i.entry >= int(active.size()))
            continue;
        active[std::size_t(i.entry)] = i.ticked && !chosen.contains(i.code);
        if (i.ticked)
            chosen.insert(i.code);
    }
    return active;
}

bool Preview::counts(const PreviewItem& item, const std::vector<bool>& active) const {
    return item.kind == Change::Duplicate || item.entry < 0 || item.entry >= int(active.size()) ||
           active[std::size_t(item.entry)];
}

int Preview::count(Change c) const {
    const std::vector<bool> active = activeEntries();
    int n = 0;
    for (const PreviewItem& i : items)
        n += i.kind == c && counts(i, active);
    return n;
}

Result<Preview> makePreview(Database& db, std::int64_t principal, const ListRows& rows,
                            const QDate& validFrom) {
    Preview p;
    p.principal = principal;
    p.validFrom = validFrom;
    p.entries = rows.entries;

    QHash<QString, Known> catalogue;
    {
        Result<Statement> st =
            db.prepare("SELECT ID, CODICE, ARTICOLO, FORMATO, PESO FROM ARTICOLO ORDER BY ID;");
        if (!st)
            return st.error();
        while (st->next()) {
            const QString code = st->text(1).trimmed().toUpper();
            if (code.isEmpty() || catalogue.contains(code))
                continue;
            Known k{st->int64(0), st->text(2), st->text(3), std::nullopt};
            if (!st->isNull(4))
                k.weight = st->real(4);
            catalogue.insert(code, k);
        }
        if (!st->status())
            return st->status().error();
    }
    // The principal's prices of each code, the oldest first: a list is compared with the price
    // valid on its own date, so the same prices from another date are a change.
    QHash<QString, std::vector<Dated>> current;
    {
        Result<Statement> st = db.prepare("SELECT CODICE, PREZZO, VALIDO_DAL FROM PREZZO_LISTINO "
                                          "WHERE ID_MANDANTE = ?1 ORDER BY VALIDO_DAL, ID;");
        if (!st)
            return st.error();
        st->bind(1, principal);
        while (st->next())
            current[st->text(0)].push_back(
                {itext::parseIsoDate(st->utf8(2)).value_or(QDate()), st->real(1)});
        if (!st->status())
            return st->status().error();
    }

    // The latest price of each code listed by other principals: an article of the catalogue
    // that another principal sells may be another product under the same code.
    QHash<QString, QPair<QString, double>> others;
    {
        Result<Statement> st = db.prepare("SELECT P.CODICE, M.NOME, P.PREZZO FROM PREZZO_LISTINO P "
                                          "LEFT JOIN MANDANTE M ON M.ID = P.ID_MANDANTE "
                                          "WHERE P.ID_MANDANTE <> ?1 ORDER BY P.VALIDO_DAL, P.ID;");
        if (!st)
            return st.error();
        st->bind(1, principal);
        while (st->next())
            others.insert(st->text(0), {st->text(1), st->real(2)});
        if (!st->status())
            return st->status().error();
    }

    QSet<QString> listed;
    QHash<QString, std::vector<int>> rowsOfCode;
    for (int i = 0; i < int(p.entries.size()); ++i) {
        const Entry& e = p.entries[std::size_t(i)];
        listed.insert(e.code);
        rowsOfCode[e.code].push_back(i);
        auto item = [&](Change kind, QString before, QString after) {
            PreviewItem it;
            it.kind = kind;
            it.row = e.row;
            it.code = e.code;
            it.before = std::move(before);
            it.after = std::move(after);
            it.entry = i;
            return it;
        };
        const auto known = catalogue.constFind(e.code);
        if (known == catalogue.constEnd()) {
            if (e.description.isEmpty()) {
                PreviewItem it = item(Change::Refused, QString(),
                                      QStringLiteral("Descrizione: "
                                                     "manca la "
                                                     "descrizione "
                                                     "di un articolo "
                                                     "nuovo"));
                it.ticked = false;
                p.items.push_back(std::move(it));
                continue;
            }
            p.items.push_back(item(Change::New, QString(),
                                   QStringLiteral("%1, %2").arg(e.description, entryPrice(e))));
            continue;
        }
        const std::size_t firstItem = p.items.size();
        const auto old = current.constFind(e.code);
        const bool priced = old != current.constEnd();
        const Dated* onDate = priced ? validOn(*old, validFrom) : nullptr;
        if (!onDate || std::fabs(onDate->price - e.price) > 0.00005) {
            // None valid on the list's date: the one that starts later, with its date.
            const QString before = onDate   ? priceText(onDate->price)
                                   : priced ? QStringLiteral("%1 dal %2")
                                                  .arg(priceText(old->front().price),
                                                       itext::formatDate(old->front().from))
                                            : QString();
            PreviewItem it = item(Change::Price, before, entryPrice(e));
            if (onDate && onDate->price > 0)
                it.percent = (e.price - onDate->price) / onDate->price * 100.0;
            it.article = known->id;
            p.items.push_back(std::move(it));
        }
        if (!e.description.isEmpty() && e.description != known->description) {
            PreviewItem it = item(Change::Description, known->description, e.description);
            it.article = known->id;
            p.items.push_back(std::move(it));
        }
        if (!e.format.isEmpty() && e.format != known->format) {
            PreviewItem it = item(Change::Format, known->format, e.format);
            it.article = known->id;
            p.items.push_back(std::move(it));
        }
        if (e.weight && (!known->weight || std::fabs(*known->weight - *e.weight) > 1e-9)) {
            PreviewItem it = item(Change::Weight, weightText(known->weight), weightText(e.weight));
            it.article = known->id;
            p.items.push_back(std::move(it));
        }
        // An article only another principal has prices for: its changes are shown unticked, the
        // price beside the other principal's, and nothing of it changes unless the agent ticks.
        const auto other = others.constFind(e.code);
        if (!priced && other != others.constEnd()) {
            for (std::size_t k = firstItem; k < p.items.size(); ++k) {
                PreviewItem& it = p.items[k];
                it.ticked = false;
                if (it.kind == Change::Price)
                    it.before =
                        QStringLiteral("%1 (%2)").arg(priceText(other->second), other->first);
            }
        }
    }
    QStringList missing;
    for (auto it = current.constBegin(); it != current.constEnd(); ++it)
        if (!listed.contains(it.key()))
            missing << it.key();
    missing.sort();
    for (const QString& code : missing) {
        PreviewItem it;
        it.kind = Change::Missing;
        it.code = code;
        it.before = priceText(current.value(code).back().price);
        it.ticked = false;
        const auto known = catalogue.constFind(code);
        if (known != catalogue.constEnd()) {
            it.article = known->id;
            it.before = QStringLiteral("%1, %2").arg(known->description, it.before);
        }
        p.items.push_back(std::move(it));
    }
    for (const Refused& r : rows.refused) {
        PreviewItem it;
        it.kind = Change::Refused;
        it.row = r.row;
        it.before = r.text;
        it.after = QStringLiteral("%1: %2").arg(r.column, r.reason);
        it.ticked = false;
        p.items.push_back(std::move(it));
    }
    // Each row of a repeated code, in the list's order; the first counts until another is
    // chosen.
    for (int i = 0; i < int(p.entries.size()); ++i) {
        const Entry& e = p.entries[std::size_t(i)];
        const std::vector<int>& same = rowsOfCode[e.code];
        if (same.size() < 2)
            continue;
        QStringList numbers;
        for (int j : same)
            numbers << QString::number(p.entries[std::size_t(j)].row);
        PreviewItem it;
        it.kind = Change::Duplicate;
        it.row = e.row;
        it.code = e.code;
        it.before = QStringLiteral("righe %1").arg(numbers.join(QStringLiteral(", ")));
        it.after = e.description.isEmpty()
                       ? entryPrice(e)
                       : QStringLiteral("%1, %2").arg(e.description, entryPrice(e));
        it.entry = i;
        it.ticked = same.front() == i;
        p.items.push_back(std::move(it));
    }
    return p;
}

} // namespace pricelists
