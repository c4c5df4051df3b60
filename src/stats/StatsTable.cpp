#include "StatsTable.h"

#include "sheets/Workbook.h"
#include "text/ItalianText.h"

#include <cmath>

namespace stats {
namespace {

Cell text(const QString& s) {
    return Cell{std::nullopt, s, {}};
}
Cell number(double v) {
    return Cell{v, {}, {}};
}
Cell money(Cents c) {
    return Cell{euro(c), {}, {}};
}
Cell none() {
    return Cell{};
}
Cell date(const QDate& d) {
    return Cell{std::nullopt, {}, d};
}
// Rounded to the decimal shown, so that a change of less than 0,05 % shows as "0,0 %" on the
// page as on screen.
Cell percentOf(const Change& c) {
    return c.percent ? number(std::round(*c.percent * 10) / 10 + 0.0) : none();
}

QString periodText(const Period& p) {
    return QStringLiteral("dal %1 al %2").arg(itext::formatDate(p.from), itext::formatDate(p.to));
}

// A number of Kind::Number with a fraction: one or two decimals ("12,5", "0,25").
const char* const kFractionFormat = "#,##0.0#";

bool hasFraction(double v) {
    return std::llround(std::abs(v) * 100) % 100 != 0;
}

std::string numberFormatOf(Kind k) {
    switch (k) {
    case Kind::Count:
        return "0";
    case Kind::Number:
        // Whole numbers as whole numbers; a cell with a fraction takes kFractionFormat.
        return "#,##0";
    case Kind::Money:
        return "#,##0.00";
    case Kind::Percent:
        return "+0.0\" %\";-0.0\" %\";0.0\" %\"";
    case Kind::Date:
        return "dd/mm/yyyy";
    case Kind::Text:
        break;
    }
    return {};
}

} // namespace

QString neverOrdered() {
    return QStringLiteral("mai");
}

QString netNote() {
    return QStringLiteral("Netto: il lordo meno lo sconto di ogni riga (in percentuale fino a "
                          "100, in euro oltre)");
}

QString missingCustomer() {
    return QStringLiteral("(non più in anagrafica)");
}

QString monthName(int month) {
    static const char* const names[] = {"Gennaio",   "Febbraio", "Marzo",    "Aprile",
                                        "Maggio",    "Giugno",   "Luglio",   "Agosto",
                                        "Settembre", "Ottobre",  "Novembre", "Dicembre"};
    return month >= 1 && month <= 12 ? QString::fromUtf8(names[month - 1]) : QString();
}

QString display(const Cell& c, Kind kind) {
    if (kind == Kind::Date)
        return c.date.isValid() ? itext::formatDate(c.date) : c.text;
    if (!c.number)
        return c.text;
    const double v = *c.number;
    switch (kind) {
    case Kind::Count:
        return itext::formatFixed(v, 0, false);
    case Kind::Number: {
        QString s = itext::formatFixed(v, 2, true);
        // "12,50" as "12,5", "3,00" as "3".
        while (s.endsWith(QLatin1Char('0')) && s.contains(QLatin1Char(',')))
            s.chop(1);
        if (s.endsWith(QLatin1Char(',')))
            s.chop(1);
        return s;
    }
    case Kind::Money:
        return itext::formatGrouped2(v);
    case Kind::Percent: {
        const QString s = itext::formatFixed(std::abs(v), 1, true);
        if (s == QLatin1String("0,0"))
            return QStringLiteral("0,0 %");
        return (v < 0 ? QStringLiteral("-") : QStringLiteral("+")) + s + QStringLiteral(" %");
    }
    case Kind::Text:
    case Kind::Date:
        break;
    }
    return itext::formatNumber(v);
}

Table trendTable(const Trend& t, const QStringList& notes) {
    Table out;
    out.title = QStringLiteral("Andamento %1").arg(t.year);
    out.notes = notes;
    const QString y = QString::number(t.year), b = QString::number(t.year - 1);
    out.notes << netNote();
    out.columns = {{QStringLiteral("Mese"), Kind::Text},
                   {QStringLiteral("Lordo € ") + y, Kind::Money},
                   {QStringLiteral("Netto € ") + y, Kind::Money},
                   {QStringLiteral("Lordo € ") + b, Kind::Money},
                   {QStringLiteral("Netto € ") + b, Kind::Money},
                   {QStringLiteral("Diff. €"), Kind::Money},
                   {QStringLiteral("Diff. %"), Kind::Percent},
                   {QStringLiteral("Kg ") + y, Kind::Number},
                   {QStringLiteral("Kg ") + b, Kind::Number},
                   {QStringLiteral("Cartoni ") + y, Kind::Number},
                   {QStringLiteral("Cartoni ") + b, Kind::Number},
                   {QStringLiteral("Omaggio ") + y, Kind::Number},
                   {QStringLiteral("Omaggio ") + b, Kind::Number}};
    auto row = [&](const QString& label, const Figures& a, const Figures& p) {
        const Change c = changeOf(a.gross, p.gross);
        out.rows.push_back({text(label), money(a.gross), money(a.net), money(p.gross), money(p.net),
                            money(c.cents), percentOf(c), number(a.kg), number(p.kg),
                            number(a.sold), number(p.sold), number(a.free), number(p.free)});
    };
    for (int m = 0; m < 12; ++m)
        row(monthName(m + 1), t.months[size_t(m)], t.monthsBefore[size_t(m)]);
    row(QStringLiteral("Totale anno"), t.total, t.totalBefore);
    row(QStringLiteral("Progressivo al %1 (%2 al %3)")
            .arg(itext::formatDate(t.upTo), b, itext::formatDate(t.upToBefore)),
        t.toDate, t.toDateBefore);
    out.totalRows = 2;
    return out;
}

namespace {

Table rankedTable(const std::vector<Ranked>& rows, const Period& p, bool articles, bool weights,
                  const QString& title, const QStringList& notes) {
    Table out;
    out.title = title;
    out.notes = notes;
    out.notes.prepend(QStringLiteral("Periodo %1, confrontato con %2")
                          .arg(periodText(p), periodText(p.yearBefore())));
    out.notes << netNote();
    out.columns = {{QStringLiteral("N."), Kind::Count}, {QStringLiteral("Codice"), Kind::Text}};
    if (articles) {
        out.columns.push_back({QStringLiteral("Articolo"), Kind::Text});
    } else {
        out.columns.push_back({QStringLiteral("Cliente"), Kind::Text});
        out.columns.push_back({QStringLiteral("Città"), Kind::Text});
        out.columns.push_back({QStringLiteral("Prov."), Kind::Text});
    }
    out.columns.push_back({QStringLiteral("Lordo €"), Kind::Money});
    out.columns.push_back({QStringLiteral("Netto €"), Kind::Money});
    out.columns.push_back({QStringLiteral("Anno prima €"), Kind::Money});
    out.columns.push_back({QStringLiteral("Diff. €"), Kind::Money});
    out.columns.push_back({QStringLiteral("Diff. %"), Kind::Percent});
    if (weights) {
        out.columns.push_back({QStringLiteral("Kg"), Kind::Number});
        out.columns.push_back({QStringLiteral("Cartoni"), Kind::Number});
        out.columns.push_back({QStringLiteral("Omaggio"), Kind::Number});
    }
    out.columns.push_back({QStringLiteral("Ordini"), Kind::Count});
    out.columns.push_back({QStringLiteral("Ultimo ordine"), Kind::Date});
    out.rows.reserve(rows.size() + 1);
    Figures all;
    Cents allBefore = 0;
    int n = 0;
    for (const Ranked& r : rows) {
        std::vector<Cell> cells;
        cells.reserve(out.columns.size());
        cells.push_back(number(++n));
        cells.push_back(text(r.code));
        if (articles) {
            cells.push_back(text(r.name));
        } else {
            cells.push_back(text(r.inRegister ? r.name : missingCustomer()));
            cells.push_back(text(r.town));
            cells.push_back(text(r.province));
        }
        const Change c = r.change();
        cells.push_back(money(r.figures.gross));
        cells.push_back(money(r.figures.net));
        cells.push_back(money(r.grossBefore));
        cells.push_back(money(c.cents));
        cells.push_back(percentOf(c));
        if (weights) {
            cells.push_back(number(r.figures.kg));
            cells.push_back(number(r.figures.sold));
            cells.push_back(number(r.figures.free));
        }
        cells.push_back(number(r.orders));
        cells.push_back(date(r.lastOrder));
        out.rows.push_back(std::move(cells));
        all += r.figures;
        allBefore += r.grossBefore;
    }
    std::vector<Cell> total{none(), none(), text(QStringLiteral("Totale"))};
    if (!articles) {
        total.push_back(none());
        total.push_back(none());
    }
    const Change c = changeOf(all.gross, allBefore);
    total.push_back(money(all.gross));
    total.push_back(money(all.net));
    total.push_back(money(allBefore));
    total.push_back(money(c.cents));
    total.push_back(percentOf(c));
    if (weights) {
        total.push_back(number(all.kg));
        total.push_back(number(all.sold));
        total.push_back(number(all.free));
    }
    total.push_back(none());
    total.push_back(none());
    out.rows.push_back(std::move(total));
    out.totalRows = 1;
    return out;
}

} // namespace

Table customersTable(const std::vector<Ranked>& rows, const Period& p, const QStringList& notes) {
    return rankedTable(rows, p, false, false, QStringLiteral("Clienti"), notes);
}

Table articlesTable(const std::vector<Ranked>& rows, const Period& p, const QStringList& notes) {
    return rankedTable(rows, p, true, true, QStringLiteral("Articoli"), notes);
}

Table buyersTable(const std::vector<Ranked>& rows, const QString& article, const Period& p,
                  const QStringList& notes) {
    QStringList n = notes;
    n.prepend(QStringLiteral("Clienti che hanno acquistato %1").arg(article));
    return rankedTable(rows, p, false, true, QStringLiteral("Acquirenti"), n);
}

Table toVisitTable(const std::vector<ToVisit>& rows, int quietDays, const QStringList& notes) {
    Table out;
    out.title = QStringLiteral("Da visitare");
    out.notes = notes;
    out.notes.prepend(QStringLiteral("Clienti con ordini negli ultimi %1 mesi ma non negli "
                                     "ultimi %2 giorni")
                          .arg(kLookBackMonths)
                          .arg(quietDays));
    out.notes.insert(1, QStringLiteral("Poi i clienti in anagrafica che non hanno mai ordinato "
                                       "(ultimo ordine \"%1\")")
                            .arg(neverOrdered()));
    out.columns = {{QStringLiteral("N."), Kind::Count},
                   {QStringLiteral("Codice"), Kind::Text},
                   {QStringLiteral("Cliente"), Kind::Text},
                   {QStringLiteral("Città"), Kind::Text},
                   {QStringLiteral("Prov."), Kind::Text},
                   {QStringLiteral("Ultimo ordine"), Kind::Date},
                   {QStringLiteral("Giorni"), Kind::Count},
                   {QStringLiteral("Intervallo abituale"), Kind::Count},
                   {QStringLiteral("Ritardo (volte)"), Kind::Number},
                   {QStringLiteral("Giorni d'ordine"), Kind::Count}};
    out.rows.reserve(rows.size());
    int n = 0;
    const Cell dash = text(QStringLiteral("—"));
    for (const ToVisit& v : rows) {
        if (v.never) {
            out.rows.push_back({number(++n), text(v.code), text(v.name), text(v.town),
                                text(v.province), text(neverOrdered()), dash, dash, dash,
                                number(0)});
            continue;
        }
        const auto overdue = v.overdue();
        out.rows.push_back(
            {number(++n), text(v.code), text(v.name), text(v.town), text(v.province),
             date(v.lastOrder), number(v.daysSince),
             v.usualInterval ? number(std::round(*v.usualInterval)) : text(QStringLiteral("—")),
             overdue ? number(std::round(*overdue * 100) / 100) : text(QStringLiteral("—")),
             number(v.orderDays)});
    }
    return out;
}

std::unique_ptr<sheets::Workbook> workbookOf(const Table& t) {
    using namespace sheets;
    auto wb = std::make_unique<Workbook>();
    Sheet& s = wb->sheet(0);
    (void)wb->rename(s, QString(t.title).left(kMaxSheetName));
    const int cols = int(t.columns.size());
    // Arial, whose widths the columns are fitted to, on screen and on paper alike.
    s.formatAll(Patch::font("Arial", 10));
    s.setValue(0, 0, Value::ofText(t.title));
    s.format(Range::cell(0, 0), Patch::makeBold());
    int row = 1;
    for (const QString& n : t.notes)
        s.setValue(row++, 0, Value::ofText(n));
    ++row;
    const int head = row;
    for (int c = 0; c < cols; ++c) {
        const Kind k = t.columns[size_t(c)].kind;
        if (k != Kind::Text)
            s.formatColumns(c, c, head + 1, Patch::numFmt(numberFormatOf(k)));
        s.setValue(head, c, Value::ofText(t.columns[size_t(c)].heading));
    }
    s.format(Range{head, 0, head, cols - 1}, Patch::makeBold());
    s.format(Range{head, 0, head, cols - 1}, Patch::borders(edge::All));
    for (size_t r = 0; r < t.rows.size(); ++r) {
        ++row;
        for (int c = 0; c < cols && c < int(t.rows[r].size()); ++c) {
            const Cell& cell = t.rows[r][size_t(c)];
            if (cell.number) {
                s.setValue(row, c, Value::ofNumber(*cell.number));
                if (t.columns[size_t(c)].kind == Kind::Number && hasFraction(*cell.number))
                    s.format(Range::cell(row, c), Patch::numFmt(kFractionFormat));
            } else if (cell.date.isValid()) {
                if (auto v = Value::ofDate(cell.date))
                    s.setValue(row, c, *v);
            } else if (!cell.text.isEmpty())
                s.setValue(row, c, Value::ofText(cell.text));
        }
        if (int(r) >= int(t.rows.size()) - t.totalRows)
            s.format(Range{row, 0, row, cols - 1}, Patch::makeBold());
    }
    // The title and the notes run on over the columns: the headings and the rows fit them.
    s.autofit(0, cols - 1, head);
    // A character more between the columns, so that neighbours never read as one.
    for (int c = 0; c < cols; ++c)
        if (const auto chars = s.columnWidth(c))
            s.setColumnWidth(c, *chars + 1);
    paperPage(s.page());
    s.page().printArea = Range{0, 0, row, cols - 1};
    s.page().titleRows = std::make_pair(head, head);
    s.select(head + 1, 0);
    return wb;
}

} // namespace stats
