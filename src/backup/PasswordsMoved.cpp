#include "PasswordsMoved.h"

#include "text/ItalianText.h"

namespace passwordsmoved {

QString text(const secrets::Moved& moved, bool copies) {
    using secrets::Account;
    using secrets::Vault;
    const bool one = moved.accounts.size() == 1;
    const QString subject =
        one ? QStringLiteral("La password %1").arg(Vault::ofAccount(moved.accounts.first()))
            : QStringLiteral("Le password %1 e %2")
                  .arg(Vault::ofAccount(Account::Mail), Vault::ofAccount(Account::Server));
    const QString it = one ? QStringLiteral("la") : QStringLiteral("le");
    QString out;
    if (moved.place == secrets::Place::Keyring) {
        out = QStringLiteral("%1 non %2 più nel database: %3 ora %4 nel portachiavi del computer.")
                  .arg(subject, one ? QStringLiteral("è") : QStringLiteral("sono"),
                       one ? QStringLiteral("è") : QStringLiteral("sono"),
                       one ? QStringLiteral("custodita") : QStringLiteral("custodite"));
    } else {
        const bool mail = moved.accounts.contains(Account::Mail);
        const bool server = moved.accounts.contains(Account::Server);
        const QString when = mail && server ? QStringLiteral("al primo invio e alla prima "
                                                             "sincronizzazione")
                             : mail         ? QStringLiteral("al primo invio")
                                            : QStringLiteral("alla prima sincronizzazione");
        const QString why = moved.keyringTrouble.isEmpty()
                                ? QString()
                                : QStringLiteral(" (%1)").arg(moved.keyringTrouble);
        out = QStringLiteral("%1 non %2 più nel database, che non ha una password personale, e il "
                             "portachiavi del computer non si può usare%3: il programma %4 "
                             "chiederà %5 e %4 ricorderà fino all'uscita.")
                  .arg(subject, one ? QStringLiteral("è") : QStringLiteral("sono"), why, it, when);
    }
    if (copies)
        out += QStringLiteral("\n\nLe copie del database fatte prima possono contener%1 ancora.")
                   .arg(it);
    return out;
}

void tidy(AppContext& ctx) {
    if (!ctx.connected())
        return;
    auto moved = ctx.secrets.tidy(ctx.db());
    if (!moved) {
        ctx.dialogs.message(QStringLiteral("Le password degli account non si sono potute togliere "
                                           "dal database.\n\n%1.")
                                .arg(itext::capitalised(moved.error().text)),
                            QStringLiteral("Gestione Ordini"), BoxIcon::Exclamation);
        return;
    }
    if (!moved->has_value())
        return;
    ctx.dialogs.message(text(**moved, true), QStringLiteral("Gestione Ordini"),
                        (*moved)->place == secrets::Place::Keyring ? BoxIcon::Information
                                                                   : BoxIcon::Exclamation);
}

} // namespace passwordsmoved
