// The two contents of ListView5, the lines of an order and the listing of a year, and what a
// click on one of their rows does.

#include "OrderPanel.h"

#include "OrderStore.h"
#include "ui/widgets/DateBox.h"
#include "ui/widgets/ReportList.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace {

// Column i of each list takes column i of its query (orderstore::kRigheOrdine, kOrdiniAnno).
std::vector<ReportColumn> lineColumns() {
    const auto L = Qt::AlignLeft;
    const auto R = Qt::AlignRight;
    return {
        {QStringLiteral("ID"), QStringLiteral("ID"), 800, L, CellKind::Text, false},
        {QStringLiteral("ANNO"), QStringLiteral("ANNO"), 0, L, CellKind::Text, false},
        {QStringLiteral("NR"), QStringLiteral("NR"), 0, R, CellKind::Text, false},
        {QStringLiteral("ARTICOLO"), QStringLiteral("ARTICOLO"), 2000, L, CellKind::Text, true},
        {QStringLiteral("CODICE"), QStringLiteral("CODICE"), 1800, L, CellKind::Text, false},
        {QStringLiteral("FORMATO"), QStringLiteral("FORMATO"), 2000, L, CellKind::Text, false},
        {QStringLiteral("PESO"), QStringLiteral("PESO"), 1400, R, CellKind::Number, false},
        {QStringLiteral("QVENDITA"), QStringLiteral("QVENDITA"), 1800, R, CellKind::Number, false},
        {QStringLiteral("QOMAGGIO"), QStringLiteral("QOMAGGIO"), 1800, R, CellKind::Number, false},
        // Two decimals in the Italian form: loaded back into T13 and stored again, a price
        // never changes.
        {QStringLiteral("PREZZO"), QStringLiteral("PREZZO"), 1800, R, CellKind::Fixed2, false},
        {QStringLiteral("SCONTO"), QStringLiteral("SCONTO"), 1800, R, CellKind::Number, false},
        {QStringLiteral("NOTE"), QStringLiteral("NOTE"), 3000, L, CellKind::Text, false},
    };
}

// The first three columns have keys and no heading; the columns of width 1 or 4 carry the
// values that a click loads.
std::vector<ReportColumn> listingColumns() {
    const auto L = Qt::AlignLeft;
    const auto C = Qt::AlignHCenter;
    return {
        {QStringLiteral("ANNO"), QString(), 4, L, CellKind::Text, false},
        {QStringLiteral("ID_CL"), QString(), 1, L, CellKind::Text, false},
        {QStringLiteral("CODICE"), QString(), 1, L, CellKind::Text, false},
        {QString(), QStringLiteral("ORDINE NR."), 1500, C, CellKind::Text, false},
        {QString(), QStringLiteral("CLIENTE '"), 6000, L, CellKind::Text, true},
        {QString(), QStringLiteral("DATA ORDINE"), 1800, C, CellKind::Date, false},
        {QString(), QStringLiteral("DATA CONSEGNA"), 1800, C, CellKind::Date, false},
        {QString(), QStringLiteral("DEST"), 1, C, CellKind::Text, false},
        {QString(), QStringLiteral("CITTA'"), 1, C, CellKind::Text, false},
        {QString(), QStringLiteral("PR'"), 1, C, CellKind::Text, false},
        {QString(), QStringLiteral("PROVINCIA'"), 1, C, CellKind::Text, false},
    };
}

} // namespace

void OrderPanel::CaricaRigheOrdine() {
    // The list always has the columns of what it shows last.
    auto st = db().prepare(orderstore::kRigheOrdine);
    if (!st) {
        ListView5->setColumns(lineColumns());
        tellError(st.error());
        return;
    }
    st->bind(1, Text1->text()).bind(2, T7->text());
    if (Status s = ListView5->showRows(lineColumns(), *st); !s)
        tellError(s.error());
}

void OrderPanel::CaricaOrdiniAnno() {
    auto st = db().prepare(orderstore::kOrdiniAnno);
    if (!st) {
        ListView5->setColumns(listingColumns());
        tellError(st.error());
        return;
    }
    st->bind(1, Text1->text());
    if (Status s = ListView5->showRows(listingColumns(), *st); !s)
        tellError(s.error());
}

void OrderPanel::ListView5_ItemClick(int row) {
    if (row < 0 || row >= ListView5->report()->rows())
        return;
    const orderflow::State before = state();
    const orderflow::Click click = orderflow::clickAction(before);
    switch (click) {
    case orderflow::Click::None:
        return;
    case orderflow::Click::LoadLine:
        loadLine(row);
        break;
    case orderflow::Click::ChooseForUpdate:
    case orderflow::Click::ChooseForDelete:
    case orderflow::Click::ChooseForPrint:
        loadHeader(row);
        break;
    }
    display(orderflow::afterClick(before, click));
    switch (click) {
    case orderflow::Click::ChooseForUpdate:
        // The lines follow on "Richiama Articoli"; until then the hidden list holds nothing.
        ListView5->report()->clear();
        setListGeometry(4800, 3615, 2640);
        break;
    case orderflow::Click::ChooseForDelete:
    case orderflow::Click::ChooseForPrint:
        setListGeometry(4800, 3615, 2640);
        CaricaRigheOrdine();
        break;
    default:
        break;
    }
}

void OrderPanel::loadHeader(int row) {
    const ReportModel* r = ListView5->report();
    Text1->setText(r->cell(row, 0));
    L7->setText(r->cell(row, 2));
    T7->setText(r->cell(row, 3));
    Cbo5->setEditText(r->cell(row, 4));
    D1->setText(r->cell(row, 5));
    D2->setText(r->cell(row, 6));
    Cbo3->setEditText(r->cell(row, 7));
    Cbo9->setEditText(r->cell(row, 8));
    Cbo4->setEditText(r->cell(row, 9));
    L8->setText(r->cell(row, 10));
}

void OrderPanel::loadLine(int row) {
    const ReportModel* r = ListView5->report();
    L10->setText(r->cell(row, 0));
    Cbo6->setEditText(r->cell(row, 3));
    QLineEdit* fields[] = {T8, T9, T10, T11, T12, T13, T14};
    for (int i = 0; i < int(std::size(fields)); ++i)
        fields[i]->setText(r->cell(row, 4 + i));
    T15->setPlainText(r->cell(row, 11));
    // What the line carries of its article stays its own, even if the catalogue changed since.
    m_loaded = std::make_pair(Cbo6->currentText(), articleShown());
}
