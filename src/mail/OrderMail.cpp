#include "OrderMail.h"

#include "CustomerContacts.h"
#include "data/Database.h"
#include "data/Statement.h"
#include "sheets/OrderArchive.h"
#include "sheets/OrderData.h"
#include "sheets/OrderSheet.h"
#include "text/ItalianText.h"

#include <QFileInfo>

namespace mail::ordermail {
namespace {

constexpr const char* kOrder = "SELECT ORDINE.ID_CL, ORDINE.DATAO, COUNT(*), "
                               "TOTAL(ORDINE.QVENDITA * ORDINE.PESO * ORDINE.PREZZO) FROM ORDINE "
                               "WHERE ORDINE.ANNO = ?1 AND ORDINE.NR = ?2;";
constexpr const char* kCustomer = "SELECT SOGGETTO FROM CLIENTE WHERE CODICE = ?1 LIMIT 1;";
constexpr const char* kAgent = "SELECT UTENTE FROM UTENTE ORDER BY ID LIMIT 1;";
constexpr const char* kHasPrices =
    "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'PREZZO_LISTINO';";
// The principals whose price lists hold an article of the order first, then the others.
constexpr const char* kPrincipalsOfOrder =
    "SELECT NOME, EMAIL FROM MANDANTE WHERE EMAIL IS NOT NULL AND EMAIL <> '' "
    "ORDER BY ID NOT IN (SELECT PREZZO_LISTINO.ID_MANDANTE FROM PREZZO_LISTINO "
    "JOIN ORDINE ON ORDINE.CODICE = PREZZO_LISTINO.CODICE "
    "WHERE ORDINE.ANNO = ?1 AND ORDINE.NR = ?2), ID;";
constexpr const char* kPrincipals =
    "SELECT NOME, EMAIL FROM MANDANTE WHERE EMAIL IS NOT NULL AND EMAIL <> '' ORDER BY ID;";

Result<QString> single(Database& db, const char* sql, const QString& bound) {
    auto st = db.prepare(sql);
    if (!st)
        return st.error();
    if (!bound.isNull())
        st->bind(1, bound);
    return st->firstText();
}

} // namespace

Result<OrderFacts> facts(Database& db, const QString& year, const QString& number) {
    auto st = db.prepare(kOrder);
    if (!st)
        return st.error();
    st->bind(1, year).bind(2, number);
    OrderFacts f;
    f.year = year;
    f.number = number;
    int lines = 0;
    double gross = 0;
    if (st->next()) {
        f.customerCode = st->text(0);
        const auto date = itext::parseIsoDate(st->utf8(1));
        f.date = date ? itext::formatDate(*date) : QString();
        lines = int(st->int64(2));
        gross = st->real(3);
    }
    if (Status s = st->status(); !s)
        return s.error();
    if (lines == 0)
        return makeError(QStringLiteral("L'ordine %1 del %2 non esiste più: non c'è nulla da "
                                        "inviare.")
                             .arg(number, year));
    f.total = itext::formatGrouped2(gross);
    auto name = single(db, kCustomer, f.customerCode);
    if (!name)
        return name.error();
    f.customerName = *name;
    auto agent = single(db, kAgent, QString());
    if (!agent)
        return agent.error();
    f.agent = *agent;
    return f;
}

QString fill(const QString& text, const OrderFacts& f) {
    QString out = text;
    out.replace(QLatin1String("{numero}"), f.number)
        .replace(QLatin1String("{anno}"), f.year)
        .replace(QLatin1String("{data}"), f.date)
        .replace(QLatin1String("{cliente}"), f.customerName)
        .replace(QLatin1String("{codice}"), f.customerCode)
        .replace(QLatin1String("{totale}"), f.total)
        .replace(QLatin1String("{agente}"), f.agent);
    return out;
}

Result<Draft> draftText(Database& db, const settings::Settings& settings, const QString& year,
                        const QString& number, const QDateTime& now,
                        sheets::order::OrderData& data) {
    auto f = facts(db, year, number);
    if (!f)
        return f.error();
    Draft d;
    d.facts = *f;

    auto hasPrices = single(db, kHasPrices, QString());
    if (!hasPrices)
        return hasPrices.error();
    const bool withPrices = !hasPrices->isEmpty();
    auto st = withPrices ? db.prepare(kPrincipalsOfOrder) : db.prepare(kPrincipals);
    if (!st)
        return st.error();
    if (withPrices)
        st->bind(1, year).bind(2, number);
    QList<Mailbox> principals;
    while (st->next()) {
        principals.append({st->text(0), st->text(1)});
        d.principals << st->text(1);
    }
    if (Status s = st->status(); !s)
        return s.error();

    auto card = contacts::load(db, d.facts.customerCode);
    if (!card)
        return card.error();

    MailMessage& m = d.message;
    m.from = {settings.senderName, settings.senderAddress};
    if (!principals.isEmpty())
        m.to = {principals.first()};
    if (!card->email.isEmpty())
        m.cc = {{d.facts.customerName, card->email}};
    // A template is one line for the subject, whatever was pasted into it.
    m.subject = fill(settings.subjectTemplate, d.facts).simplified();
    m.body = fill(settings.bodyTemplate, d.facts);
    m.date = now;

    auto order = sheets::order::readOrder(db, year, number, d.facts.customerCode);
    if (!order)
        return order.error();
    data = std::move(*order);
    return d;
}

Status attachFiles(Draft& d, const sheets::order::OrderData& data) {
    auto files = sheets::writeOrderFiles(data, d.facts.year, d.facts.number);
    if (!files)
        return files.error();
    const QString base = sheets::archive::baseName(d.facts.year, d.facts.number);
    d.message.attachments = {
        {files->pdf.path, base + QStringLiteral(".pdf"), mimeTypeFor(files->pdf.path)},
        {files->sheet.path, base + QStringLiteral(".xlsx"), mimeTypeFor(files->sheet.path)}};
    return {};
}

Result<Draft> draft(Database& db, sheets::SpreadsheetSession&, const settings::Settings& settings,
                    const QString& year, const QString& number, const QDateTime& now) {
    sheets::order::OrderData data;
    auto d = draftText(db, settings, year, number, now, data);
    if (!d)
        return d.error();
    if (Status s = attachFiles(*d, data); !s)
        return s.error();
    return d;
}

} // namespace mail::ordermail
