#pragma once

#include "base/Result.h"
#include "data/ChangeWatch.h"

#include <QString>
#include <QWidget>

struct AppContext;
class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class ReportView;

// The window "Cerca": one text, and while it is typed the customers, articles and orders that
// hold it (ResultLists). Return or a double click on a result: a customer shows its history, an
// article the customers who ordered it, an order opens in the order panel (orderChosen). "Ripeti
// ordine" makes a new order of the order chosen among the orders found or in a history.
// Whatever it shows is read again when the data it was read from changes (the change watch of
// the connection): at once when the window is shown or comes to the front, else at the next
// tick of ControlloDati, whoever wrote (this program or another).
class SearchWindow : public QWidget {
    Q_OBJECT
public:
    SearchWindow(AppContext& ctx, QWidget* parent);

    QLabel* LCerca;
    QLineEdit* TestoCerca;
    QLabel* LClienti;
    ReportView* ListaClienti;
    QLabel* LArticoli;
    ReportView* ListaArticoli;
    QLabel* LOrdini;
    ReportView* ListaOrdini;
    QLabel* LDettaglio;
    ReportView* ListaDettaglio;
    QPushButton* CmdRipeti;
    // The send state by e-mail of the order chosen among the orders found or in a history.
    QLabel* StatoInvio;
    // "Invia ordine…" (context menu of the orders, Ctrl+E): the chosen order by e-mail.
    QAction* CercaInviaOrdine;
    // Each second while the window shows: rileggi().
    QTimer* ControlloDati;

    // Shows the window with the text selected, ready for a new search.
    void present();
    // The results of the text in TestoCerca.
    void Cerca();
    // Reads again the groups and the detail, as they are, when the tables they were read from
    // changed since; the rows chosen stay chosen.
    void rileggi();
    // Return or a double click on a row of a list.
    void attiva(ReportView* list, int row);
    // "Ripeti ordine".
    void CmdRipeti_Click();
    // "Invia ordine…": sendChosen for the chosen order, or a box asking to choose one.
    void CercaInviaOrdine_Click();
    // Shows in StatoInvio whether the chosen order was sent.
    void showSendingState();

Q_SIGNALS:
    // An order to open in the order panel for update.
    void orderChosen(const QString& year, const QString& number);
    // An order to send by e-mail.
    void sendChosen(const QString& year, const QString& number);

protected:
    bool eventFilter(QObject* obj, QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    enum class Detail { None, History, Buyers };
    void showHistory(const QString& code, const QString& name);
    void showBuyers(const QString& code, const QString& description);
    // The three groups of the text; the first failure, if any.
    Status readGroups(const QString& text);
    // The detail (a history or the buyers of an article) and its caption.
    Status readDetail();
    // The state of the tables the window reads, now.
    Snapshot datiOra();
    // The list whose selected order "Ripeti ordine" repeats: the last one of the two lists of
    // orders that had the focus.
    ReportView* orderSource() const;
    bool holdsOrders(ReportView* list) const;

    AppContext& ctx;
    Detail m_detail = Detail::None;
    // Of the customer or article the detail is about.
    QString m_detailCode;
    QString m_detailName;
    // The state of the tables when what the window shows was read.
    Snapshot m_read;
    bool m_reading = false;
    ReportView* m_lastOrders = nullptr;
    bool m_placed = false;
};
