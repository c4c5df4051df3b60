#include "StatsWindow.h"

#include "CustomerSummary.h"
#include "StatsModel.h"
#include "ui/AppContext.h"
#include "ui/BusyPointer.h"
#include "ui/Tell.h"
#include "ui/Titles.h"

#include <QAction>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace {

QTableView* makeTable(QWidget* parent, const char* name, StatsModel* model) {
    auto* t = new QTableView(parent);
    t->setObjectName(QLatin1String(name));
    t->setModel(model);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setAlternatingRowColors(true);
    t->verticalHeader()->hide();
    t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 6);
    t->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    return t;
}

QDateEdit* makeDate(QWidget* parent, const char* name) {
    auto* d = new QDateEdit(parent);
    d->setObjectName(QLatin1String(name));
    d->setLocale(QLocale(QLocale::Italian, QLocale::Italy));
    d->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    d->setCalendarPopup(true);
    d->setMinimumDate(QDate(1901, 1, 1));
    return d;
}

// A label of a field, with the field's buddy for its access key.
QLabel* labelFor(QWidget* parent, const QString& text, QWidget* field) {
    auto* l = new QLabel(text, parent);
    l->setBuddy(field);
    return l;
}

// A tab: chart and table side by side, the table's columns fitted to their content.
QWidget* chartAndTable(QWidget* tab, QChartView* chart, QTableView* table) {
    auto* split = new QSplitter(Qt::Horizontal, tab);
    split->addWidget(chart);
    split->addWidget(table);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);
    split->setChildrenCollapsible(false);
    return split;
}

} // namespace

StatsWindow::StatsWindow(AppContext& c, QWidget* parent)
    : QWidget(parent, Qt::Window),
      runDialog([](QDialog& d) { return d.exec() == QDialog::Accepted; }), ctx(c) {
    setObjectName(QStringLiteral("Statistiche"));
    setWindowTitle(QStringLiteral("Statistiche"));
    for (auto& m : m_models)
        m = new StatsModel(this);
    m_buyers = new StatsModel(this);

    auto* top = new QVBoxLayout(this);
    auto* filters = new QHBoxLayout;
    Dal = makeDate(this, "Dal");
    Al = makeDate(this, "Al");
    Provincia = new QComboBox(this);
    Provincia->setObjectName(QStringLiteral("Provincia"));
    Provincia->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    Mandante = new QComboBox(this);
    Mandante->setObjectName(QStringLiteral("Mandante"));
    Mandante->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    filters->addWidget(labelFor(this, QStringLiteral("&Periodo dal"), Dal));
    filters->addWidget(Dal);
    filters->addWidget(labelFor(this, QStringLiteral("al"), Al));
    filters->addWidget(Al);
    filters->addSpacing(12);
    filters->addWidget(labelFor(this, QStringLiteral("Pro&vincia"), Provincia));
    filters->addWidget(Provincia);
    filters->addSpacing(12);
    filters->addWidget(labelFor(this, QStringLiteral("&Mandante"), Mandante));
    filters->addWidget(Mandante);
    filters->addStretch(1);
    top->addLayout(filters);

    Schede = new QTabWidget(this);
    Schede->setObjectName(QStringLiteral("Schede"));
    top->addWidget(Schede, 1);

    // Andamento.
    auto* trendTab = new QWidget;
    auto* trendBox = new QVBoxLayout(trendTab);
    auto* trendBar = new QHBoxLayout;
    Anno = new QSpinBox(trendTab);
    Anno->setObjectName(QStringLiteral("Anno"));
    Anno->setRange(1901, 9999);
    Anno->setGroupSeparatorShown(false);
    trendBar->addWidget(labelFor(trendTab, QStringLiteral("&Anno"), Anno));
    trendBar->addWidget(Anno);
    trendBar->addSpacing(12);
    Riepilogo = new QLabel(trendTab);
    Riepilogo->setObjectName(QStringLiteral("Riepilogo"));
    Riepilogo->setWordWrap(true);
    trendBar->addWidget(Riepilogo, 1);
    trendBox->addLayout(trendBar);
    Grafico[Andamento] = statschart::makeView(trendTab, "GraficoAndamento");
    Tabella[Andamento] = makeTable(trendTab, "TabellaAndamento", m_models[Andamento]);
    trendBox->addWidget(chartAndTable(trendTab, Grafico[Andamento], Tabella[Andamento]), 1);
    Schede->addTab(trendTab, QStringLiteral("Andamento"));

    // Clienti.
    auto* custTab = new QWidget;
    auto* custBox = new QVBoxLayout(custTab);
    Grafico[Clienti] = statschart::makeView(custTab, "GraficoClienti");
    Tabella[Clienti] = makeTable(custTab, "TabellaClienti", m_models[Clienti]);
    custBox->addWidget(chartAndTable(custTab, Grafico[Clienti], Tabella[Clienti]), 1);
    auto* custBar = new QHBoxLayout;
    CmdScheda = new QPushButton(QStringLiteral("Scheda del &cliente"), custTab);
    CmdScheda->setObjectName(QStringLiteral("CmdScheda"));
    custBar->addWidget(CmdScheda);
    custBar->addStretch(1);
    custBox->addLayout(custBar);
    Schede->addTab(custTab, QStringLiteral("Clienti"));

    // Articoli.
    auto* artTab = new QWidget;
    auto* artBox = new QVBoxLayout(artTab);
    Grafico[Articoli] = statschart::makeView(artTab, "GraficoArticoli");
    Tabella[Articoli] = makeTable(artTab, "TabellaArticoli", m_models[Articoli]);
    artBox->addWidget(chartAndTable(artTab, Grafico[Articoli], Tabella[Articoli]), 3);
    LAcquirenti = new QLabel(QStringLiteral("Doppio clic su un articolo: i clienti che lo "
                                            "hanno acquistato nel periodo."),
                             artTab);
    LAcquirenti->setObjectName(QStringLiteral("LAcquirenti"));
    LAcquirenti->setWordWrap(true);
    artBox->addWidget(LAcquirenti);
    TabellaAcquirenti = makeTable(artTab, "TabellaAcquirenti", m_buyers);
    artBox->addWidget(TabellaAcquirenti, 2);
    Schede->addTab(artTab, QStringLiteral("Articoli"));

    // Da visitare.
    auto* visitTab = new QWidget;
    auto* visitBox = new QVBoxLayout(visitTab);
    auto* visitBar = new QHBoxLayout;
    Giorni = new QSpinBox(visitTab);
    Giorni->setObjectName(QStringLiteral("Giorni"));
    Giorni->setRange(1, 3650);
    Giorni->setValue(stats::kDefaultQuietDays);
    visitBar->addWidget(labelFor(visitTab, QStringLiteral("Senza ordini da almeno"), Giorni));
    visitBar->addWidget(Giorni);
    visitBar->addWidget(new QLabel(QStringLiteral("giorni"), visitTab));
    visitBar->addStretch(1);
    visitBox->addLayout(visitBar);
    Grafico[DaVisitare] = statschart::makeView(visitTab, "GraficoVisite");
    Tabella[DaVisitare] = makeTable(visitTab, "TabellaVisite", m_models[DaVisitare]);
    visitBox->addWidget(chartAndTable(visitTab, Grafico[DaVisitare], Tabella[DaVisitare]), 1);
    Schede->addTab(visitTab, QStringLiteral("Da visitare"));

    auto* buttons = new QHBoxLayout;
    CmdExcel = new QPushButton(QStringLiteral("Esporta in &Excel"), this);
    CmdExcel->setObjectName(QStringLiteral("CmdExcel"));
    CmdPdf = new QPushButton(QStringLiteral("Salva come P&DF"), this);
    CmdPdf->setObjectName(QStringLiteral("CmdPdf"));
    CmdStampa = new QPushButton(QStringLiteral("S&tampa…"), this);
    CmdStampa->setObjectName(QStringLiteral("CmdStampa"));
    buttons->addStretch(1);
    buttons->addWidget(CmdExcel);
    buttons->addWidget(CmdPdf);
    buttons->addWidget(CmdStampa);
    top->addLayout(buttons);

    const QDate today = ctx.clock.today();
    Anno->setValue(today.year());
    Dal->setDate(QDate(today.year(), 1, 1));
    Al->setDate(today);

    auto stale = [this]() {
        m_stale.fill(true);
        refresh();
    };
    connect(Dal, &QDateEdit::dateChanged, this, stale);
    connect(Al, &QDateEdit::dateChanged, this, stale);
    connect(Provincia, &QComboBox::currentIndexChanged, this, stale);
    connect(Mandante, &QComboBox::currentIndexChanged, this, stale);
    connect(Anno, &QSpinBox::valueChanged, this, [this]() {
        m_stale[Andamento] = true;
        refresh();
    });
    connect(Giorni, &QSpinBox::valueChanged, this, [this]() {
        m_stale[DaVisitare] = true;
        refresh();
    });
    connect(Schede, &QTabWidget::currentChanged, this, [this]() { refresh(); });
    connect(Tabella[Clienti], &QAbstractItemView::activated, this,
            [this](const QModelIndex& i) { openSummary(Clienti, i.row()); });
    connect(Tabella[DaVisitare], &QAbstractItemView::activated, this,
            [this](const QModelIndex& i) { openSummary(DaVisitare, i.row()); });
    connect(Tabella[Articoli], &QAbstractItemView::activated, this,
            [this](const QModelIndex& i) { showBuyers(i.row()); });
    connect(CmdScheda, &QPushButton::clicked, this, [this]() {
        const QModelIndex i = Tabella[Clienti]->currentIndex();
        openSummary(Clienti, i.isValid() ? i.row() : -1);
    });
    connect(CmdExcel, &QPushButton::clicked, this, &StatsWindow::CmdExcel_Click);
    connect(CmdPdf, &QPushButton::clicked, this, &StatsWindow::CmdPdf_Click);
    connect(CmdStampa, &QPushButton::clicked, this, &StatsWindow::CmdStampa_Click);

    auto* close = new QAction(this);
    close->setShortcut(QKeySequence(Qt::Key_Escape));
    connect(close, &QAction::triggered, this, &QWidget::hide);
    addAction(close);
    resize(1100, 680);
}

StatsWindow::~StatsWindow() = default;

StatsWindow::View StatsWindow::current() const {
    return View(std::clamp(Schede->currentIndex(), 0, 3));
}

void StatsWindow::present() {
    if (!m_placed && parentWidget()) {
        m_placed = true;
        QRect r = geometry();
        r.moveCenter(parentWidget()->window()->geometry().center());
        move(r.topLeft());
    }
    fillFilters();
    m_stale.fill(true);
    show();
    raise();
    activateWindow();
    refresh();
}

void StatsWindow::fillFilters() {
    if (!ctx.connected())
        return;
    m_filling = true;
    const QString province = Provincia->currentData().toString();
    const QVariant principal = Mandante->currentData();
    Provincia->clear();
    Provincia->addItem(QStringLiteral("Tutte"), QString());
    if (auto list = stats::provinces(ctx.db()))
        for (const QString& p : *list)
            Provincia->addItem(p, p);
    Provincia->setCurrentIndex(std::max(0, Provincia->findData(province)));
    Mandante->clear();
    Mandante->addItem(QStringLiteral("Tutte"), QVariant());
    auto known = stats::principalsKnown(ctx.db());
    if (known && *known) {
        if (auto list = stats::principals(ctx.db()))
            for (const auto& [id, name] : *list)
                Mandante->addItem(name, id);
        Mandante->setToolTip(QString());
    } else {
        Mandante->setToolTip(QStringLiteral("Le mandanti degli articoli sono note quando è "
                                            "stato importato un listino."));
    }
    Mandante->setEnabled(Mandante->count() > 1);
    if (principal.isValid())
        Mandante->setCurrentIndex(std::max(0, Mandante->findData(principal)));
    m_filling = false;
}

stats::Filter StatsWindow::filter() const {
    stats::Filter f;
    f.province = Provincia->currentData().toString();
    const QVariant p = Mandante->currentData();
    if (p.isValid() && !p.isNull())
        f.principal = p.toLongLong();
    return f;
}

stats::Period StatsWindow::period() const {
    return {Dal->date(), Al->date()};
}

QStringList StatsWindow::filterNotes() const {
    QStringList notes;
    if (!filter().province.isEmpty())
        notes << QStringLiteral("Provincia %1").arg(Provincia->currentText());
    if (filter().principal)
        notes << QStringLiteral("Mandante %1").arg(Mandante->currentText());
    return notes;
}

void StatsWindow::refresh() {
    if (m_filling || !isVisible() || !ctx.connected())
        return;
    const View v = current();
    if (!m_stale[size_t(v)])
        return;
    BusyPointer busy;
    count(v);
}

void StatsWindow::count(View v) {
    m_stale[size_t(v)] = false;
    switch (v) {
    case Andamento:
        countTrend();
        break;
    case Clienti:
        countCustomers();
        break;
    case Articoli:
        countArticles();
        break;
    case DaVisitare:
        countToVisit();
        break;
    }
}

void StatsWindow::forgetLines() {
    m_lines.forget();
}

void StatsWindow::hideEvent(QHideEvent* e) {
    m_lines.forget();
    QWidget::hideEvent(e);
}

void StatsWindow::openSummary(View v, int row) {
    QString code, name;
    if (v == Clienti && row >= 0 && row < int(m_customers.size())) {
        code = m_customers[size_t(row)].code;
        name = m_customers[size_t(row)].name;
    } else if (v == DaVisitare && row >= 0 && row < int(m_toVisit.size())) {
        code = m_toVisit[size_t(row)].code;
        name = m_toVisit[size_t(row)].name;
    }
    if (code.isEmpty()) {
        tell::refusal(ctx.dialogs, QStringLiteral("Scegliere prima un cliente nell'elenco."),
                      titles::t20());
        return;
    }
    if (!Scheda) {
        Scheda = new CustomerSummary(ctx, this);
        connect(Scheda, &CustomerSummary::orderChosen, this, &StatsWindow::orderChosen);
    }
    Scheda->showFor(code, name, v == Clienti ? Al->date().year() : ctx.clock.today().year());
}
