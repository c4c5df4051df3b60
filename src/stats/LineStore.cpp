#include "LineStore.h"

#include "DistinctOrders.h"
#include "Filter.h"
#include "data/Statement.h"

#include <unordered_set>

namespace stats {
namespace {

// The columns of queries::lines().
enum LineColumn {
    kCustomer,
    kCode,
    kArticle,
    kDate,
    kYear,
    kNumber,
    kGross,
    kDiscount,
    kKg,
    kSold,
    kFree
};

// A column's value and its id, for the run of lines that repeat it.
struct Last {
    bool any = false;
    bool null = true;
    std::string text;
    std::uint32_t id = LineStore::kNull;
};

} // namespace

void LineStore::forget() {
    m_source = Snapshot();
    m_lines.clear();
    m_bytes.clear();
    m_spans.assign(1, {0, 0});
    m_slots.clear();
    m_hashes.assign(1, 0);
    m_orders.clear();
    m_dateIds.clear();
    m_plain = true;
}

std::uint32_t LineStore::find(std::string_view s) const {
    if (m_slots.empty())
        return kNull;
    const std::size_t h = std::hash<std::string_view>()(s);
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = h & mask;; i = (i + 1) & mask) {
        const std::uint32_t id = m_slots[i];
        if (id == kNull)
            return kNull;
        if (m_hashes[id] == h && text(id) == s)
            return id;
    }
}

void LineStore::grow() {
    m_slots.assign(m_slots.empty() ? 4096 : m_slots.size() * 2, kNull);
    const std::size_t mask = m_slots.size() - 1;
    for (std::uint32_t id = 1; id < textCount(); ++id) {
        std::size_t i = m_hashes[id] & mask;
        while (m_slots[i] != kNull)
            i = (i + 1) & mask;
        m_slots[i] = id;
    }
}

std::uint32_t LineStore::intern(std::string_view s) {
    if ((std::size_t(textCount()) + 1) * 2 > m_slots.size())
        grow();
    const std::size_t h = std::hash<std::string_view>()(s);
    const std::size_t mask = m_slots.size() - 1;
    std::size_t i = h & mask;
    for (;; i = (i + 1) & mask) {
        const std::uint32_t id = m_slots[i];
        if (id == kNull)
            break;
        if (m_hashes[id] == h && text(id) == s)
            return id;
    }
    const std::uint32_t id = textCount();
    m_spans.emplace_back(std::uint32_t(m_bytes.size()), std::uint32_t(s.size()));
    m_bytes.append(s);
    m_hashes.push_back(h);
    m_slots[i] = id;
    return id;
}

Status LineStore::load(Statement& st, Snapshot source) {
    forget();
    Last customer, date, year, number;
    std::string orderKey;
    std::uint32_t order = 0;
    std::unordered_set<std::uint32_t> dates;
    std::uint32_t lastDate = kNull;
    // The description last met with each code: the lines of an article nearly always repeat it.
    std::vector<std::uint32_t> descriptionOf;
    // A value repeated from the line before keeps its id without a look-up.
    auto idOf = [&](int column, Last* last) -> std::uint32_t {
        const auto v = st.utf8OrNull(column);
        if (last && last->any && last->null == !v && (!v || *v == last->text))
            return last->id;
        const std::uint32_t id = v ? intern(*v) : kNull;
        if (last) {
            last->any = true;
            last->null = !v;
            last->text = v ? std::string(*v) : std::string();
            last->id = id;
        }
        return id;
    };
    while (st.next()) {
        if (st.type(kCustomer) == Statement::kBlob || st.type(kCode) == Statement::kBlob)
            m_plain = false;
        Line l;
        l.customer = idOf(kCustomer, &customer);
        l.code = idOf(kCode, nullptr);
        if (l.code >= descriptionOf.size())
            descriptionOf.resize(std::size_t(textCount()) + 1024, kNull);
        const auto description = st.utf8OrNull(kArticle);
        std::uint32_t& last = descriptionOf[l.code];
        if (!description)
            l.description = kNull;
        else if (last != kNull && text(last) == *description)
            l.description = last;
        else
            l.description = last = intern(*description);
        l.date = idOf(kDate, &date);
        if (l.date != kNull && l.date != lastDate && dates.insert(l.date).second)
            m_dateIds.push_back(l.date);
        lastDate = l.date;
        const std::string_view y = st.utf8(kYear), n = st.utf8(kNumber);
        const bool texts =
            st.type(kYear) == Statement::kText && st.type(kNumber) == Statement::kText;
        if (!texts || !year.any || y != year.text || n != number.text) {
            year = {texts, false, std::string(y), 0};
            number = {true, false, std::string(n), 0};
            DistinctOrders::orderKey(st, kYear, kNumber, orderKey);
            order = m_orders.try_emplace(orderKey, std::uint32_t(m_orders.size())).first->second;
        }
        l.order = order;
        l.gross = st.int64(kGross);
        // A line without a gross (a factor missing) has no net either.
        l.net = st.isNull(kGross) ? 0 : netCents(l.gross, st.real(kDiscount));
        l.kg = st.real(kKg);
        l.sold = st.real(kSold);
        l.free = st.real(kFree);
        m_lines.push_back(l);
    }
    if (!st.status()) {
        forget();
        return st.status();
    }
    m_source = std::move(source);
    return {};
}

} // namespace stats
