#pragma once

#include "AppContext.h"

#include <optional>

// An account's password for a sending or a sync: from where it is kept, or asked in a box when
// it cannot be read there (and then kept where it can be).
namespace accountpassword {

// The password; an empty one when none is kept (the account needs none). None when it is wanted
// and was not given: the box was cancelled, or asking was not allowed (`mayAsk` false).
std::optional<QString> get(AppContext& ctx, secrets::Account account, const QString& user,
                           const QString& host, const QString& title, bool mayAsk = true);

} // namespace accountpassword
