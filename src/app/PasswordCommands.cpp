#include "PasswordCommands.h"

#include "data/ItalianText.h"
#include "data/Rekey.h"
#include "masterdata/AgentStore.h"
#include "masterdata/MasterDataMessages.h"
#include "ui/BusyPointer.h"
#include "ui/Titles.h"

#include <QCoreApplication>

namespace {

const QString kTitle = QStringLiteral("Password personale");

QString warning(const QString& question) {
    return QStringLiteral(
               "Con una password personale il database si apre solo scrivendo la password: "
               "senza di essa né questo programma né altri possono leggerlo, neppure su un "
               "altro computer. Le copie di sicurezza hanno la stessa password.\n\n"
               "ATTENZIONE: una password dimenticata non si può recuperare in alcun modo, e "
               "con essa si perdono i dati.\n\n"
               "I fogli degli ordini, i PDF e le esportazioni restano file normali, leggibili "
               "da chiunque li riceva.\n\n%1")
        .arg(question);
}

} // namespace

void PasswordCommands::PasswordPersonale_Click() {
    if (!ctx.connected())
        return;
    const std::optional<QString> code = ctx.dialogs.input(mdmsg::accessCodePrompt(), titles::t13());
    // An empty or cancelled box is the user changing their mind, not a wrong code.
    if (!code || code->trimmed().isEmpty())
        return;
    if (!agent::isAccessCode(*code)) {
        ctx.dialogs.message(mdmsg::wrongAccessCode(), mdmsg::wrongAccessCodeTitle(),
                            BoxIcon::Exclamation);
        return;
    }

    if (!ctx.db().key().personal) {
        if (!ctx.dialogs.question(warning(QStringLiteral("Impostare una password personale?")),
                                  kTitle, BoxIcon::Exclamation))
            return;
        std::optional<QString> typed =
            askNew(QStringLiteral("La password personale non è stata impostata."));
        if (!typed)
            return;
        FileKey key = FileKey::personalPassword(*typed);
        typed->fill(QLatin1Char(' '));
        changeTo(std::move(key), QStringLiteral("Password personale impostata.\n\nDa ora il "
                                                "programma la chiede a ogni avvio."));
        return;
    }

    if (!currentPasswordGiven(ctx, kTitle))
        return;
    if (ctx.dialogs.question(QStringLiteral("Cambiare la password personale?\n\n"
                                            "Sì: sceglierne una nuova.\n"
                                            "No: toglierla."),
                             kTitle)) {
        if (!ctx.dialogs.question(warning(QStringLiteral("Cambiare la password personale?")),
                                  kTitle, BoxIcon::Exclamation))
            return;
        std::optional<QString> typed =
            askNew(QStringLiteral("La password personale non è stata cambiata."));
        if (!typed)
            return;
        FileKey key = FileKey::personalPassword(*typed);
        typed->fill(QLatin1Char(' '));
        changeTo(std::move(key), QStringLiteral("Password personale cambiata."));
        return;
    }
    if (!ctx.dialogs.question(
            QStringLiteral("Togliere la password personale?\n\nIl database tornerà ad aprirsi "
                           "con la chiave comune del programma: chiunque abbia il file, o una "
                           "copia fatta da ora in poi, potrà leggerlo."),
            kTitle, BoxIcon::Exclamation))
        return;
    changeTo(FileKey::builtIn(),
             QStringLiteral("Password personale tolta.\n\nIl database si apre di nuovo senza "
                            "password."));
}

std::optional<QString> PasswordCommands::askNew(const QString& notDone) {
    std::optional<QString> first = ctx.dialogs.password(
        QStringLiteral("Nuova password personale (%1)").arg(passwordRule()), kTitle);
    if (!first)
        return std::nullopt;
    if (const auto weak = weakPassword(*first)) {
        first->fill(QLatin1Char(' '));
        ctx.dialogs.message(QStringLiteral("%1\n\n%2").arg(*weak, notDone), kTitle,
                            BoxIcon::Exclamation);
        return std::nullopt;
    }
    std::optional<QString> again =
        ctx.dialogs.password(QStringLiteral("Ripetere la nuova password personale"), kTitle);
    if (!again) {
        first->fill(QLatin1Char(' '));
        return std::nullopt;
    }
    const bool same = *again == *first;
    again->fill(QLatin1Char(' '));
    if (!same) {
        first->fill(QLatin1Char(' '));
        ctx.dialogs.message(QStringLiteral("Le due password non coincidono.\n\n%1").arg(notDone),
                            kTitle, BoxIcon::Exclamation);
        return std::nullopt;
    }
    return first;
}

void PasswordCommands::changeTo(FileKey key, const QString& done) {
    Status s;
    {
        BusyPointer busy;
        s = rekey::changeKey(ctx.connection, key);
    }
    key.clear();
    m_refresh();
    if (!ctx.connected()) {
        ctx.dialogs.message(QStringLiteral("Il database non si può riaprire.\n\n%1.\n\n"
                                           "Il programma verrà chiuso.")
                                .arg(itext::capitalised(s ? QStringLiteral("errore del database")
                                                          : s.error().text)),
                            kTitle, BoxIcon::Critical);
        QCoreApplication::exit(1);
        return;
    }
    if (!s) {
        ctx.dialogs.message(QStringLiteral("La password personale non è stata cambiata.\n\n%1."
                                           "\n\nIl database è quello di prima.")
                                .arg(itext::capitalised(s.error().text)),
                            kTitle, BoxIcon::Exclamation);
        return;
    }
    ctx.dialogs.message(done, kTitle, BoxIcon::Information);
}

bool currentPasswordGiven(AppContext& ctx, const QString& title) {
    std::optional<QString> current = ctx.dialogs.password(
        QStringLiteral("Il database ha una password personale.\n\nPassword personale attuale"),
        title);
    if (!current)
        return false;
    FileKey given = FileKey::personalPassword(*current);
    current->fill(QLatin1Char(' '));
    const bool right = given == ctx.db().key();
    given.clear();
    if (!right)
        ctx.dialogs.message(QStringLiteral("Password personale errata.\n\nNulla è stato cambiato."),
                            title, BoxIcon::Exclamation);
    return right;
}
