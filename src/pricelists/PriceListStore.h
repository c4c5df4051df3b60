#pragma once

#include "ListRows.h"

#include "base/Result.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

class Database;

// The price lists in the database: the principals, the columns chosen per principal, the
// preview of what a list changes, applying it in one transaction and undoing the last one.
namespace pricelists {

struct Principal {
    std::int64_t id = 0;
    QString name;
};
Result<std::vector<Principal>> principals(Database& db);
// The principal of that name (any case), made when there is none.
Result<std::int64_t> principalNamed(Database& db, const QString& name);

// The header texts chosen for this principal's last list, by field; empty when none.
Result<QStringList> rememberedColumns(Database& db, std::int64_t principal);

enum class Change { New, Price, Description, Format, Weight, Missing, Refused, Duplicate };
inline constexpr int kChangeCount = 8;
QString changeName(Change c);

struct PreviewItem {
    Change kind = Change::New;
    int row = 0; // the spreadsheet's row, 0 for an article missing from the list
    QString code;
    QString before;                // what the catalogue holds
    QString after;                 // what the list gives
    std::optional<double> percent; // the price's change
    int entry = -1;                // the list's entry it comes from
    std::int64_t article = 0;
    bool ticked = true;
    // Only the changes of the catalogue and its prices can be ticked, and the row that counts
    // for a repeated code.
    bool tickable() const { return kind != Change::Missing && kind != Change::Refused; }
};

struct Preview {
    std::int64_t principal = 0;
    QDate validFrom;
    std::vector<Entry> entries;
    std::vector<PreviewItem> items;
    // The items of the entries that count: a code on several rows counts by the row ticked
    // among its repeats (the first, unless the agent chooses another; none when all are
    // unticked).
    int count(Change c) const;
    std::vector<bool> activeEntries() const;
    bool counts(const PreviewItem& item, const std::vector<bool>& active) const;
};

Result<Preview> makePreview(Database& db, std::int64_t principal, const ListRows& rows,
                            const QDate& validFrom);

struct Applied {
    std::int64_t list = 0;
    std::int64_t principal = 0;
    int added = 0;
    int updated = 0;
    int prices = 0;
};
// Writes the ticked changes, the list's row and its prices, and the columns chosen, in one
// transaction. A preview with nothing ticked writes nothing. With `principalName`, the list is
// the principal's of that name, made in the same transaction when there is none.
Result<Applied> apply(Database& db, const Preview& preview, const QString& file,
                      const QDateTime& now, const QStringList& columns,
                      const QString& principalName = {});

// The article's fields a list may change, as its record of the change names them.
inline constexpr int kDescriptionField = 1, kFormatField = 2, kWeightField = 4, kAllFields = 7;

struct Undone {
    std::int64_t list = 0;
    QString file;
    int removed = 0;
    int restored = 0;
    int prices = 0;
    // The articles left as they are now, each with why: "«P004» TONNO: ...".
    QStringList kept;
};
// Takes back the last list applied: its prices go; each field it changed gets its earlier
// value back where the article still holds the list's; the articles it added go unless changed
// since or named by an order line. What stays is named in `kept`.
Result<Undone> undoLast(Database& db);

struct ListPrice {
    double price = 0;
    QDate validFrom;
    QString principal;
};
// The article's list price valid on `date`: the latest that starts on or before it.
Result<std::optional<ListPrice>> listPriceOn(Database& db, const QString& code, const QDate& date);
// The article's first list price that starts after `date`: a list not yet valid on that day.
Result<std::optional<ListPrice>> listPriceAfter(Database& db, const QString& code,
                                                const QDate& date);
// Every list price of the article, the newest first.
Result<std::vector<ListPrice>> priceHistory(Database& db, const QString& code);

// The article's list price and the earlier ones, as the article panel shows them; empty when it
// has none.
QString historyNote(Database& db, const QString& code);

} // namespace pricelists
