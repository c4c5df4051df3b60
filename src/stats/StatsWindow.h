#pragma once

#include "LineStore.h"
#include "StatsChart.h"
#include "StatsTable.h"

#include <QWidget>

#include <array>
#include <functional>

struct AppContext;
class CustomerSummary;
class QDialog;
class QChartView;
class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTableView;
class StatsModel;

// The window "Statistiche": the agent's business in four views, each a bar chart with its table
// beside: "Andamento" (the months of a year against the year before), "Clienti" and "Articoli"
// (ranked by value over a period), "Da visitare" (customers quiet for longer than N days). The
// period, the province and the principal filter the lines. Each view goes to a workbook, a PDF
// (the chart on its first page) or the printer. A customer opens its card: its orders and its
// own monthly chart.
class StatsWindow : public QWidget {
    Q_OBJECT
public:
    StatsWindow(AppContext& ctx, QWidget* parent);
    ~StatsWindow() override;

    enum View { Andamento, Clienti, Articoli, DaVisitare };

    QDateEdit* Dal;
    QDateEdit* Al;
    QComboBox* Provincia;
    QComboBox* Mandante;
    QTabWidget* Schede;
    QSpinBox* Anno;
    QLabel* Riepilogo;
    QSpinBox* Giorni;
    std::array<QChartView*, 4> Grafico{};
    std::array<QTableView*, 4> Tabella{};
    QLabel* LAcquirenti;
    QTableView* TabellaAcquirenti;
    QPushButton* CmdScheda;
    QPushButton* CmdExcel;
    QPushButton* CmdPdf;
    QPushButton* CmdStampa;
    CustomerSummary* Scheda = nullptr;

    // Shows the window, the filters read again and the view on screen counted afresh.
    void present();
    // Counts the view on screen again (after a change of a filter or of its own setting).
    void refresh();
    // Counts the view now, shown or not.
    void count(View v);
    // Forgets the lines kept from the last count: the next one reads them as a window just
    // opened does.
    void forgetLines();
    StatsModel* model(View v) const { return m_models[size_t(v)]; }
    StatsModel* buyersModel() const { return m_buyers; }
    const statschart::Bars& bars(View v) const { return m_bars[size_t(v)]; }
    // The customer on the row of the Clienti or Da visitare table: its card.
    void openSummary(View v, int row);
    // The article on the row of the Articoli table: the customers who bought it.
    void showBuyers(int row);
    void CmdExcel_Click();
    void CmdPdf_Click();
    void CmdStampa_Click();

    // Runs a modal dialog (the printer's choice): true when it was accepted. Tests put their own
    // in its place.
    std::function<bool(QDialog&)> runDialog;

    // The filter as the window's fields set it.
    stats::Filter filter() const;
    stats::Period period() const;

Q_SIGNALS:
    // An order to open in the order panel (from a customer's card).
    void orderChosen(const QString& year, const QString& number);

protected:
    // A window put away lets go of the lines it kept.
    void hideEvent(QHideEvent* e) override;

private:
    View current() const;
    void fillFilters();
    void countTrend();
    void countCustomers();
    void countArticles();
    void countToVisit();
    QStringList filterNotes() const;
    // The table and chart the buttons use: the buyers when an article's are shown.
    const stats::Table& tableOnScreen() const;

    AppContext& ctx;
    std::array<StatsModel*, 4> m_models{};
    StatsModel* m_buyers;
    std::array<statschart::Bars, 4> m_bars;
    std::array<bool, 4> m_stale{true, true, true, true};
    std::vector<stats::Ranked> m_customers;
    std::vector<stats::Ranked> m_articles;
    // The lines of the period, kept for a change of filter or of view.
    stats::LineStore m_lines;
    std::vector<stats::ToVisit> m_toVisit;
    bool m_filling = false;
    bool m_placed = false;
};
