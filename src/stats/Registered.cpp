#include "Registered.h"

#include "Queries.h"
#include "data/Database.h"

#include <unordered_set>

namespace stats {
namespace {

// Above so many codes the register is read whole: one pass is cheaper than a search each.
constexpr size_t kReadWholeAbove = 3000;

} // namespace

Status fillRegistered(Database& db, std::unordered_map<std::string, Registered>& found) {
    std::unordered_set<std::string> seen;
    if (found.size() > kReadWholeAbove) {
        auto st = db.prepare(queries::kRegisterAll);
        if (!st)
            return st.error();
        while (st->next()) {
            const auto code = st->utf8OrNull(0);
            if (!code)
                continue;
            const std::string key(*code);
            auto it = found.find(key);
            // The first customer of a code is the one with the lowest ID.
            if (it == found.end() || !seen.insert(key).second)
                continue;
            it->second = {st->text(1), st->text(2), st->text(3)};
        }
        if (!st->status())
            return st->status();
    } else {
        auto st = db.prepare(queries::kRegisterOne);
        if (!st)
            return st.error();
        for (auto& [code, r] : found) {
            st->reset();
            st->bind(1, std::string_view(code));
            if (st->next()) {
                seen.insert(code);
                r = {st->text(0), st->text(1), st->text(2)};
            }
            if (!st->status())
                return st->status();
        }
    }
    for (auto it = found.begin(); it != found.end();)
        it = seen.count(it->first) ? std::next(it) : found.erase(it);
    return {};
}

} // namespace stats
