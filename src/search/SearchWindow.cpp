#include "SearchWindow.h"

#include "ResultLists.h"
#include "mail/SendRecord.h"
#include "orders/RepeatOrder.h"
#include "search/SearchStore.h"
#include "ui/AppContext.h"
#include "ui/Tell.h"
#include "ui/Titles.h"
#include "ui/widgets/Elements.h"
#include "ui/widgets/ReportList.h"
#include "ui/widgets/Twips.h"

#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <utility>
#include <vector>

namespace {

QString cellOf(const ReportView* list, int row, const char* key) {
    const ReportModel* m = list->report();
    return m->cell(row, m->columnIndex(QLatin1String(key)));
}

// What tells a row from the others of its list: its first two cells (year and number, code and
// name, code and description).
QStringList keyOf(const ReportView* list, int row) {
    if (row < 0)
        return {};
    const ReportModel* m = list->report();
    return {m->cell(row, 0), m->cell(row, 1)};
}

// Chooses again the row of that key, if the list still holds it.
void chooseAgain(ReportView* list, const QStringList& key) {
    if (key.isEmpty())
        return;
    for (int r = 0; r < list->report()->rows(); ++r)
        if (keyOf(list, r) == key) {
            list->selectRow(r);
            list->scrollTo(list->report()->index(r, 0));
            return;
        }
}

QString groupCaption(const char* group, const ReportView* list) {
    const int n = list->report()->rows();
    if (n >= searchstore::kMaxRows)
        return QStringLiteral("%1 (i primi %2)").arg(QLatin1String(group)).arg(n);
    return QStringLiteral("%1 (%2)").arg(QLatin1String(group)).arg(n);
}

} // namespace

SearchWindow::SearchWindow(AppContext& c, QWidget* parent) : QWidget(parent, Qt::Window), ctx(c) {
    setObjectName(QStringLiteral("Cerca"));
    setWindowTitle(QStringLiteral("Cerca"));
    setFont(twips::arial(9.75));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);
    setFixedSize(twips::px(13200), twips::px(8880));

    Elements e(this);
    LCerca = e.label("LCerca",
                     QStringLiteral("Cliente, articolo o ordine: parte di nome, codice, città, "
                                    "righe d'ordine o il numero d'ordine"),
                     {240, 120, 10800, 240}, {9.75});
    TestoCerca = e.text("TestoCerca", {240, 360, 6015, 360}, {9.75, true});
    CmdRipeti =
        e.button("CmdRipeti", QStringLiteral("Ripeti ordine"), {11265, 345, 1695, 375}, {9.75});
    LClienti = e.label("LClienti", QStringLiteral("Clienti"), {240, 840, 6120, 240}, {9.75});
    ListaClienti = e.list("ListaClienti", {240, 1080, 6240, 2400}, {9});
    LArticoli = e.label("LArticoli", QStringLiteral("Articoli"), {6720, 840, 6120, 240}, {9.75});
    ListaArticoli = e.list("ListaArticoli", {6720, 1080, 6240, 2400}, {9});
    LOrdini = e.label("LOrdini", QStringLiteral("Ordini"), {240, 3600, 12720, 240}, {9.75});
    ListaOrdini = e.list("ListaOrdini", {240, 3840, 12720, 2040}, {9});
    LDettaglio = e.label("LDettaglio", QString(), {240, 6000, 12720, 240}, {9.75, true});
    ListaDettaglio = e.list("ListaDettaglio", {240, 6240, 12720, 2400}, {9});
    StatoInvio = e.label("StatoInvio", QString(), {240, 8640, 12720, 240}, {9});
    Elements::tabOrder(
        {TestoCerca, ListaClienti, ListaArticoli, ListaOrdini, ListaDettaglio, CmdRipeti});

    connect(TestoCerca, &QLineEdit::textChanged, this, &SearchWindow::Cerca);
    connect(CmdRipeti, &QPushButton::clicked, this, &SearchWindow::CmdRipeti_Click);
    for (ReportView* list : {ListaClienti, ListaArticoli, ListaOrdini, ListaDettaglio}) {
        list->installEventFilter(this);
        connect(list, &QAbstractItemView::doubleClicked, this,
                [this, list](const QModelIndex& i) { attiva(list, i.row()); });
    }
    TestoCerca->installEventFilter(this);

    CercaInviaOrdine = new QAction(QStringLiteral("Invia ordine…"), this);
    CercaInviaOrdine->setObjectName(QStringLiteral("CercaInviaOrdine"));
    CercaInviaOrdine->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    CercaInviaOrdine->setShortcutContext(Qt::WindowShortcut);
    connect(CercaInviaOrdine, &QAction::triggered, this, &SearchWindow::CercaInviaOrdine_Click);
    addAction(CercaInviaOrdine);
    for (ReportView* list : {ListaOrdini, ListaDettaglio}) {
        list->setContextMenuPolicy(Qt::ActionsContextMenu);
        list->addAction(CercaInviaOrdine);
        connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                &SearchWindow::showSendingState);
    }

    // Ctrl+F in the window itself goes back to the text; Esc closes the window.
    auto* again = new QAction(this);
    again->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    connect(again, &QAction::triggered, this, &SearchWindow::present);
    addAction(again);
    auto* close = new QAction(this);
    close->setShortcut(QKeySequence(Qt::Key_Escape));
    connect(close, &QAction::triggered, this, &QWidget::hide);
    addAction(close);

    ControlloDati = new QTimer(this);
    ControlloDati->setObjectName(QStringLiteral("ControlloDati"));
    ControlloDati->setInterval(1000);
    connect(ControlloDati, &QTimer::timeout, this, &SearchWindow::rileggi);

    Cerca();
}

void SearchWindow::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    rileggi();
    ControlloDati->start();
}

void SearchWindow::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    ControlloDati->stop();
}

void SearchWindow::changeEvent(QEvent* e) {
    QWidget::changeEvent(e);
    if (e->type() == QEvent::ActivationChange && isActiveWindow())
        rileggi();
}

void SearchWindow::present() {
    if (!m_placed && parentWidget()) {
        // The first time over the middle of the program's window; then where the user left it.
        m_placed = true;
        QRect r = geometry();
        r.moveCenter(parentWidget()->window()->geometry().center());
        move(r.topLeft());
    }
    show();
    raise();
    activateWindow();
    // Shown again or not, what it shows is as the file holds it now.
    rileggi();
    TestoCerca->setFocus();
    TestoCerca->selectAll();
}

Snapshot SearchWindow::datiOra() {
    if (!ctx.connected())
        return {};
    auto st = ctx.db().prepare(searchstore::kShownTables);
    return st ? st->snapshot() : Snapshot();
}

void SearchWindow::Cerca() {
    const QString text = TestoCerca->text().trimmed();
    m_detail = Detail::None;
    m_detailCode.clear();
    m_detailName.clear();
    LDettaglio->clear();
    ListaDettaglio->setColumns({});
    // Taken before the reading: a write meanwhile makes the next look read again.
    m_read = datiOra();
    if (Status s = readGroups(text); !s)
        tell::error(ctx.dialogs, s.error(), titles::t20());
    showSendingState();
}

void SearchWindow::rileggi() {
    if (m_reading || !ctx.connected())
        return;
    Snapshot now = datiOra();
    if (!now.valid() || now == m_read)
        return;
    m_reading = true;
    m_read = std::move(now);
    std::vector<std::pair<ReportView*, QStringList>> chosen;
    for (ReportView* list : {ListaClienti, ListaArticoli, ListaOrdini, ListaDettaglio})
        chosen.emplace_back(list, keyOf(list, list->selectedRow()));
    Status s = readGroups(TestoCerca->text().trimmed());
    if (Status d = readDetail(); s && !d)
        s = d;
    for (const auto& [list, key] : chosen)
        chooseAgain(list, key);
    showSendingState();
    // Told once: the next look reads again only after another change.
    if (!s)
        tell::error(ctx.dialogs, s.error(), titles::t20());
    m_reading = false;
}

Status SearchWindow::readGroups(const QString& text) {
    Status s;
    if (text.isEmpty() || !ctx.connected()) {
        for (ReportView* list : {ListaClienti, ListaArticoli, ListaOrdini})
            resultlists::clear(list);
    } else {
        Database& db = ctx.db();
        s = resultlists::fillCustomers(ListaClienti, db, text);
        if (s)
            s = resultlists::fillArticles(ListaArticoli, db, text);
        if (s)
            s = resultlists::fillOrders(ListaOrdini, db, text, ListaClienti);
    }
    LClienti->setText(groupCaption("Clienti", ListaClienti));
    LArticoli->setText(groupCaption("Articoli", ListaArticoli));
    LOrdini->setText(groupCaption("Ordini", ListaOrdini));
    return s;
}

bool SearchWindow::holdsOrders(ReportView* list) const {
    return list == ListaOrdini || (list == ListaDettaglio && m_detail == Detail::History);
}

void SearchWindow::attiva(ReportView* list, int row) {
    if (row < 0 || row >= list->report()->rows() || !ctx.connected())
        return;
    if (holdsOrders(list)) {
        m_lastOrders = list;
        Q_EMIT orderChosen(cellOf(list, row, "ANNO"), cellOf(list, row, "NR"));
    } else if (list == ListaClienti || (list == ListaDettaglio && m_detail == Detail::Buyers)) {
        showHistory(cellOf(list, row, "CODICE"), cellOf(list, row, "SOGGETTO"));
    } else if (list == ListaArticoli) {
        showBuyers(cellOf(list, row, "CODICE"), cellOf(list, row, "ARTICOLO"));
    }
}

void SearchWindow::showHistory(const QString& code, const QString& name) {
    m_detail = Detail::History;
    m_detailCode = code;
    m_detailName = name;
    m_lastOrders = ListaDettaglio;
    if (Status s = readDetail(); !s)
        tell::error(ctx.dialogs, s.error(), titles::t20());
    ListaDettaglio->setFocus();
    if (ListaDettaglio->report()->rows() > 0)
        ListaDettaglio->selectRow(0);
}

void SearchWindow::showBuyers(const QString& code, const QString& description) {
    m_detail = Detail::Buyers;
    m_detailCode = code;
    m_detailName = description;
    if (Status s = readDetail(); !s)
        tell::error(ctx.dialogs, s.error(), titles::t20());
    ListaDettaglio->setFocus();
    if (ListaDettaglio->report()->rows() > 0)
        ListaDettaglio->selectRow(0);
}

Status SearchWindow::readDetail() {
    if (m_detail == Detail::None || !ctx.connected())
        return {};
    Database& db = ctx.db();
    const bool history = m_detail == Detail::History;
    // The caption names the customer or the article as the register has it now.
    if (!m_detailCode.isEmpty()) {
        auto st = history ? db.prepare(searchstore::kCustomerName)
                          : db.prepare(searchstore::kArticleName);
        if (st) {
            st->bind(1, m_detailCode).bind(2, m_detailName);
            if (st->next() && !st->isNull(0))
                m_detailName = st->text(0);
        }
    }
    Status s = history ? resultlists::fillHistory(ListaDettaglio, db, m_detailCode)
                       : resultlists::fillBuyers(ListaDettaglio, db, m_detailCode, m_detailName);
    const int n = ListaDettaglio->report()->rows();
    if (history)
        LDettaglio->setText(
            QStringLiteral("Storico di %1 (%2): %3")
                .arg(m_detailName, m_detailCode,
                     n == 1 ? QStringLiteral("1 ordine") : QStringLiteral("%1 ordini").arg(n)));
    else
        LDettaglio->setText(
            QStringLiteral("Clienti che hanno ordinato %1 (%2): %3")
                .arg(m_detailName, m_detailCode,
                     n == 1 ? QStringLiteral("1 cliente") : QStringLiteral("%1 clienti").arg(n)));
    return s;
}

ReportView* SearchWindow::orderSource() const {
    if (m_lastOrders == ListaDettaglio && m_detail != Detail::History)
        return ListaOrdini;
    return m_lastOrders ? m_lastOrders : ListaOrdini;
}

void SearchWindow::CmdRipeti_Click() {
    ReportView* list = orderSource();
    const int row = list->selectedRow();
    if (row < 0 || !ctx.connected()) {
        tell::refusal(ctx.dialogs,
                      QStringLiteral("Scegliere prima l'ordine da ripetere tra gli ordini "
                                     "trovati o nello storico di un cliente."),
                      titles::t20());
        return;
    }
    const QString year = cellOf(list, row, "ANNO");
    const QString number = cellOf(list, row, "NR");
    const QDate today = ctx.clock.now().date();
    if (!ctx.dialogs.question(QStringLiteral("Vuoi ripetere l'ordine %1 del %2 in un nuovo "
                                             "ordine del %3 ?")
                                  .arg(number, year)
                                  .arg(today.year()),
                              titles::t38()))
        return;
    repeatorder::Repeated made;
    auto done = repeatorder::repeat(ctx.db(), year, number, today, &made);
    if (!tell::mayGoOn(ctx.dialogs, done, titles::t20()))
        return;
    ctx.dialogs.message(QStringLiteral("Ordine ripetuto: nuovo ordine %1 del %2 con %3 righe.")
                            .arg(made.number, made.year)
                            .arg(made.lines),
                        titles::t18(), BoxIcon::None);
    Q_EMIT orderChosen(made.year, made.number);
}

void SearchWindow::CercaInviaOrdine_Click() {
    ReportView* list = orderSource();
    const int row = list->selectedRow();
    if (row < 0 || !ctx.connected()) {
        tell::refusal(ctx.dialogs,
                      QStringLiteral("Scegliere prima l'ordine da inviare tra gli ordini "
                                     "trovati o nello storico di un cliente."),
                      QStringLiteral("Invia ordine"));
        return;
    }
    Q_EMIT sendChosen(cellOf(list, row, "ANNO"), cellOf(list, row, "NR"));
    showSendingState();
}

void SearchWindow::showSendingState() {
    ReportView* list = orderSource();
    const int row = list->selectedRow();
    if (row < 0 || !ctx.connected()) {
        StatoInvio->clear();
        return;
    }
    const QString year = cellOf(list, row, "ANNO");
    const QString number = cellOf(list, row, "NR");
    auto state = mail::sendrecord::stateText(ctx.db(), year, number);
    StatoInvio->setText(state ? QStringLiteral("Ordine %1/%2: %3").arg(number, year, *state)
                              : state.error().text);
}

bool SearchWindow::eventFilter(QObject* obj, QEvent* e) {
    if (e->type() == QEvent::FocusIn) {
        auto* list = qobject_cast<ReportView*>(obj);
        if (list && holdsOrders(list))
            m_lastOrders = list;
    }
    if (e->type() != QEvent::KeyPress)
        return QWidget::eventFilter(obj, e);
    const int key = static_cast<QKeyEvent*>(e)->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (obj == TestoCerca) {
        // Return or Down: to the first group with results, its first row chosen.
        if (!enter && key != Qt::Key_Down)
            return false;
        for (ReportView* list : {ListaClienti, ListaArticoli, ListaOrdini})
            if (list->report()->rows() > 0) {
                list->setFocus();
                list->selectRow(0);
                return true;
            }
        return false;
    }
    auto* list = qobject_cast<ReportView*>(obj);
    if (list && enter) {
        attiva(list, list->selectedRow());
        return true;
    }
    return QWidget::eventFilter(obj, e);
}
