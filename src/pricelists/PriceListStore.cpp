#include "PriceListStore.h"

#include "data/Database.h"
#include "text/ItalianText.h"

#include <QHash>
#include <QSet>

#include <cmath>

namespace pricelists {
namespace {

QString priceText(double p) {
    return itext::formatFixed(p, 2, true);
}
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

Result<std::vector<Principal>> principals(Database& db) {
    Result<Statement> st =
        db.prepare("SELECT ID, NOME FROM MANDANTE ORDER BY NOME COLLATE NOCASE;");
    if (!st)
        return st.error();
    std::vector<Principal> out;
    while (st->next())
        out.push_back({st->int64(0), st->text(1)});
    if (!st->status())
        return st->status().error();
    return out;
}

namespace {

// The principal of that name, made when there is none; the caller holds the transaction.
Result<std::int64_t> findOrMakePrincipal(Database& db, const QString& name, bool make) {
    const QString trimmed = name.simplified();
    if (trimmed.isEmpty())
        return makeError(QStringLiteral("Scrivere il nome della mandante."));
    {
        Result<Statement> st = db.prepare("SELECT ID FROM MANDANTE WHERE NOME = ?1;");
        if (!st)
            return st.error();
        st->bind(1, trimmed);
        if (st->next())
            return st->int64(0);
        if (!st->status())
            return st->status().error();
    }
    if (!make)
        return std::int64_t(0);
    Result<Statement> st = db.prepare("INSERT INTO MANDANTE (NOME) VALUES (?1);");
    if (!st)
        return st.error();
    st->bind(1, trimmed);
    if (Status r = st->run(); !r)
        return r.error();
    return db.lastInsertId();
}

} // namespace

Result<std::int64_t> principalNamed(Database& db, const QString& name) {
    Result<std::int64_t> found = findOrMakePrincipal(db, name, false);
    if (!found || *found)
        return found;
    std::int64_t id = 0;
    Status s = db.write([&]() -> Status {
        Result<std::int64_t> made = findOrMakePrincipal(db, name, true);
        if (!made)
            return made.error();
        id = *made;
        return {};
    });
    if (!s)
        return s.error();
    return id;
}

Result<QStringList> rememberedColumns(Database& db, std::int64_t principal) {
    Result<Statement> st = db.prepare("SELECT CODICE, ARTICOLO, FORMATO, PESO, PREZZO, PEZZI "
                                      "FROM LISTINO_COLONNE WHERE ID_MANDANTE = ?1;");
    if (!st)
        return st.error();
    st->bind(1, principal);
    QStringList out;
    if (st->next())
        for (int i = 0; i < kFieldCount; ++i)
            out << st->text(i);
    if (!st->status())
        return st->status().error();
    return out;
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

Result<Applied> apply(Database& db, const Preview& preview, const QString& file,
                      const QDateTime& now, const QStringList& columns,
                      const QString& principalName) {
    // What each entry of the list brings, as ticked.
    struct Wanted {
        bool add = false, price = false, description = false, format = false, weight = false;
        std::int64_t article = 0;
    };
    std::vector<Wanted> wanted(preview.entries.size());
    const std::vector<bool> active = preview.activeEntries();
    bool any = false;
    for (const PreviewItem& it : preview.items) {
        if (!it.ticked || !it.tickable() || it.kind == Change::Duplicate || it.entry < 0 ||
            it.entry >= int(preview.entries.size()) || !active[std::size_t(it.entry)])
            continue;
        Wanted& w = wanted[std::size_t(it.entry)];
        w.article = it.article;
        any = true;
        switch (it.kind) {
        case Change::New:
            w.add = w.price = true;
            break;
        case Change::Price:
            w.price = true;
            break;
        case Change::Description:
            w.description = true;
            break;
        case Change::Format:
            w.format = true;
            break;
        case Change::Weight:
            w.weight = true;
            break;
        default:
            break;
        }
    }
    if (!any)
        return makeError(QStringLiteral("Nessuna modifica scelta: nulla è stato scritto."));

    const QString date = itext::isoDate(preview.validFrom);
    Applied out;
    out.principal = preview.principal;
    bool told = false; // the failure has its own message
    Status s = db.write([&]() -> Status {
        // A principal new to the file is made with the list: a list that fails leaves none.
        if (!principalName.isEmpty()) {
            Result<std::int64_t> principal = findOrMakePrincipal(db, principalName, true);
            if (!principal)
                return principal.error();
            out.principal = *principal;
        }
        Result<Statement> list = db.prepare("INSERT INTO LISTINO (ID_MANDANTE, FILE, VALIDO_DAL, "
                                            "IMPORTATO_IL) VALUES (?1, ?2, ?3, ?4);");
        if (!list)
            return list.error();
        list->bind(1, out.principal).bind(2, file).bind(3, date).bind(4, now.toString(Qt::ISODate));
        if (Status r = list->run(); !r)
            return r;
        out.list = db.lastInsertId();

        Result<Statement> add = db.prepare("INSERT INTO ARTICOLO (CODICE, ARTICOLO, FORMATO, "
                                           "PESO, AGG) VALUES (?1, ?2, ?3, ?4, ?5);");
        // The article as it was and the fields the list changes (?4); for an article changed,
        // what it holds after, the values the change below writes (an article added holds what
        // was recorded).
        Result<Statement> keep = db.prepare(
            "INSERT INTO LISTINO_MODIFICA (ID_LISTINO, ID_ARTICOLO, NUOVO, ARTICOLO, FORMATO, "
            "PESO, AGG, CAMPI, DOPO_ARTICOLO, DOPO_FORMATO, DOPO_PESO, DOPO_AGG) SELECT ?1, ID, "
            "?2, ARTICOLO, FORMATO, PESO, AGG, ?4, "
            "CASE WHEN ?2 THEN NULL WHEN ?4 & 1 THEN ?5 ELSE ARTICOLO END, "
            "CASE WHEN ?2 THEN NULL WHEN ?4 & 2 THEN ?6 ELSE FORMATO END, "
            "CASE WHEN ?2 THEN NULL WHEN ?4 & 4 THEN ?7 ELSE PESO END, "
            "CASE WHEN ?2 THEN NULL ELSE ?8 END FROM ARTICOLO WHERE ID = ?3;");
        Result<Statement> change =
            db.prepare("UPDATE ARTICOLO SET ARTICOLO = CASE WHEN ?1 THEN ?2 ELSE ARTICOLO END, "
                       "FORMATO = CASE WHEN ?3 THEN ?4 ELSE FORMATO END, "
                       "PESO = CASE WHEN ?5 THEN ?6 ELSE PESO END, AGG = ?7 WHERE ID = ?8;");
        Result<Statement> price = db.prepare("INSERT INTO PREZZO_LISTINO (CODICE, ID_MANDANTE, "
                                             "PREZZO, VALIDO_DAL, ID_LISTINO) VALUES "
                                             "(?1, ?2, ?3, ?4, ?5);");
        for (Result<Statement>* st : {&add, &keep, &change, &price})
            if (!*st)
                return st->error();
        // The catalogue as it is now: another program may have changed it since the preview.
        QSet<QString> present;
        {
            Result<Statement> codes = db.prepare("SELECT CODICE FROM ARTICOLO;");
            if (!codes)
                return codes.error();
            while (codes->next())
                present.insert(codes->text(0).trimmed().toUpper());
            if (!codes->status())
                return codes->status();
        }
        auto changedMeanwhile = [&](const QString& code, const char* what) {
            told = true;
            return makeError(QStringLiteral("Il catalogo è cambiato dopo l'anteprima: l'articolo "
                                            "«%1» %2. Nulla è stato scritto: riaprire il "
                                            "listino.")
                                 .arg(code, QString::fromUtf8(what)));
        };
        for (std::size_t i = 0; i < wanted.size(); ++i) {
            const Wanted& w = wanted[i];
            const Entry& e = preview.entries[i];
            if (w.add) {
                if (present.contains(e.code))
                    return changedMeanwhile(e.code, "ora c'è già");
                present.insert(e.code);
                add->reset();
                add->bind(1, e.code)
                    .bind(2, e.description)
                    .bindTextOrNull(3, e.format)
                    .bind(4, e.weight)
                    .bind(5, date);
                if (Status r = add->run(); !r)
                    return r;
                keep->reset();
                keep->bind(1, out.list).bind(2, 1).bind(3, db.lastInsertId()).bind(4, kAllFields);
                if (Status r = keep->run(); !r)
                    return r;
                ++out.added;
            } else if (w.description || w.format || w.weight) {
                keep->reset();
                keep->bind(1, out.list)
                    .bind(2, 0)
                    .bind(3, w.article)
                    .bind(4, (w.description ? kDescriptionField : 0) |
                                 (w.format ? kFormatField : 0) | (w.weight ? kWeightField : 0))
                    .bind(5, e.description)
                    .bind(6, e.format)
                    .bind(7, e.weight)
                    .bind(8, date);
                if (Status r = keep->run(); !r)
                    return r;
                if (db.changes() == 0)
                    return changedMeanwhile(e.code, "non c'è più");
                change->reset();
                change->bind(1, int(w.description))
                    .bind(2, e.description)
                    .bind(3, int(w.format))
                    .bind(4, e.format)
                    .bind(5, int(w.weight))
                    .bind(6, e.weight)
                    .bind(7, date)
                    .bind(8, w.article);
                if (Status r = change->run(); !r)
                    return r;
                ++out.updated;
            }
            if (w.price) {
                price->reset();
                price->bind(1, e.code)
                    .bind(2, out.principal)
                    .bind(3, e.price)
                    .bind(4, date)
                    .bind(5, out.list);
                if (Status r = price->run(); !r)
                    return r;
                ++out.prices;
            }
        }
        Result<Statement> cols = db.prepare(
            "INSERT OR REPLACE INTO LISTINO_COLONNE (ID_MANDANTE, CODICE, ARTICOLO, FORMATO, "
            "PESO, PREZZO, PEZZI) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7);");
        if (!cols)
            return cols.error();
        cols->bind(1, out.principal);
        for (int f = 0; f < kFieldCount; ++f)
            cols->bind(f + 2, columns.value(f));
        return cols->run();
    });
    // A failure of the file itself (full disk, lock, damage) is named; the transaction took
    // everything back.
    if (!s && !told)
        return makeError(QStringLiteral("Il listino non è stato applicato (%1): nulla è stato "
                                        "scritto.")
                             .arg(s.error().text),
                         s.error().code);
    if (!s)
        return s.error();
    return out;
}

namespace {

Result<std::vector<ListPrice>> prices(Database& db, const QString& code,
                                      const std::optional<QDate>& on) {
    Result<Statement> st = db.prepare("SELECT P.PREZZO, P.VALIDO_DAL, M.NOME FROM PREZZO_LISTINO P "
                                      "LEFT JOIN MANDANTE M ON M.ID = P.ID_MANDANTE "
                                      "WHERE P.CODICE = ?1 AND (?2 IS NULL OR P.VALIDO_DAL <= ?2) "
                                      "ORDER BY P.VALIDO_DAL DESC, P.ID DESC;");
    if (!st)
        return st.error();
    st->bind(1, code.trimmed().toUpper());
    if (on)
        st->bind(2, itext::isoDate(*on));
    else
        st->bindNull(2);
    std::vector<ListPrice> out;
    while (st->next()) {
        ListPrice p;
        p.price = st->real(0);
        p.validFrom = itext::parseIsoDate(st->utf8(1)).value_or(QDate());
        p.principal = st->text(2);
        out.push_back(std::move(p));
        if (on)
            break;
    }
    if (!st->status())
        return st->status().error();
    return out;
}

} // namespace

Result<std::optional<ListPrice>> listPriceOn(Database& db, const QString& code, const QDate& date) {
    Result<std::vector<ListPrice>> all = prices(db, code, date);
    if (!all)
        return all.error();
    if (all->empty())
        return std::optional<ListPrice>();
    return std::optional<ListPrice>(all->front());
}

Result<std::optional<ListPrice>> listPriceAfter(Database& db, const QString& code,
                                                const QDate& date) {
    Result<Statement> st = db.prepare("SELECT P.PREZZO, P.VALIDO_DAL, M.NOME FROM PREZZO_LISTINO P "
                                      "LEFT JOIN MANDANTE M ON M.ID = P.ID_MANDANTE "
                                      "WHERE P.CODICE = ?1 AND P.VALIDO_DAL > ?2 "
                                      "ORDER BY P.VALIDO_DAL, P.ID DESC LIMIT 1;");
    if (!st)
        return st.error();
    st->bind(1, code.trimmed().toUpper()).bind(2, itext::isoDate(date));
    std::optional<ListPrice> out;
    if (st->next())
        out =
            ListPrice{st->real(0), itext::parseIsoDate(st->utf8(1)).value_or(QDate()), st->text(2)};
    if (!st->status())
        return st->status().error();
    return out;
}

Result<std::vector<ListPrice>> priceHistory(Database& db, const QString& code) {
    return prices(db, code, std::nullopt);
}

QString historyNote(Database& db, const QString& code) {
    Result<std::vector<ListPrice>> all = priceHistory(db, code);
    if (!all || all->empty())
        return QString();
    QStringList lines;
    for (std::size_t i = 0; i < all->size() && i < 12; ++i) {
        const ListPrice& p = (*all)[i];
        const QString when =
            p.principal.isEmpty()
                ? QStringLiteral("dal %1").arg(itext::formatDate(p.validFrom))
                : QStringLiteral("%1, dal %2").arg(p.principal, itext::formatDate(p.validFrom));
        lines << (i == 0 ? QStringLiteral("Prezzo di listino: %1 € (%2)")
                         : QStringLiteral("prima: %1 € (%2)"))
                     .arg(priceText(p.price), when);
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace pricelists
