#include "AccountPassword.h"

namespace accountpassword {

std::optional<QString> get(AppContext& ctx, secrets::Account account, const QString& user,
                           const QString& host, const QString& title, bool mayAsk) {
    const secrets::Found found = ctx.secrets.find(ctx.db(), account);
    if (found.password)
        return found.password;
    if (!found.toAsk)
        return QString();
    if (!mayAsk)
        return std::nullopt;
    std::optional<QString> typed =
        ctx.dialogs.password(secrets::Vault::askText(account, found, user, host), title);
    // Kept where it can be; one that cannot be kept still serves this time.
    if (typed)
        (void)ctx.secrets.keep(ctx.db(), account, *typed);
    return typed;
}

} // namespace accountpassword
