#pragma once

#include "OrderFlow.h"
#include "OrderForm.h"
#include "OrderStore.h"
#include "ui/Panel.h"

#include <functional>
#include <optional>
#include <utility>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QComboBox;
class QPushButton;
class QCheckBox;
class QGroupBox;
class DateBox;
class ReportView;
class OrderPrintCommands;

// The order panel (Frame3): the order header, the line being entered (Frame4) and the list
// (Frame5). Its caption is the panel's mode.
class OrderPanel : public Panel {
    Q_OBJECT
public:
    OrderPanel(AppContext& ctx, QWidget* parent);

    QLabel* Label14;
    QLineEdit* Text1;
    QLabel* L9;
    QLabel* L10;
    QCheckBox* C2;
    QLabel* Label13;
    QLineEdit* T7;
    QLabel* Label17;
    DateBox* D1;
    QLabel* Label18;
    DateBox* D2;
    QLabel* Label15;
    QComboBox* Cbo3;
    QLabel* Label31;
    QComboBox* Cbo9;
    QLabel* Label19;
    QComboBox* Cbo4;
    QLabel* Label11;
    QComboBox* Cbo5;
    QLabel* Label12;
    QLabel* L7;
    QLabel* Label21;
    QLabel* L8;

    QGroupBox* Frame4;
    QLabel* Label10;
    QComboBox* Cbo6;
    QLabel* Label20;
    QLineEdit* T8;
    QLabel* Label23;
    QLineEdit* T9;
    QLabel* Label24;
    QLineEdit* T10;
    QLabel* Label25;
    QLineEdit* T11;
    QLabel* Label26;
    QLineEdit* T12;
    QLabel* Label27;
    QLineEdit* T13;
    QLabel* Label28;
    QLineEdit* T14;
    QLabel* Label30;
    QPlainTextEdit* T15;
    QGroupBox* Frame6;
    QPushButton* Cmd4;
    QPushButton* Cmd5;

    QGroupBox* Frame5;
    ReportView* ListView5;
    QCheckBox* C1;

    // A year chosen in the year panel for the pending order command (1 to 4): the panel opens
    // in mode "Nuovo Ordine", "Aggiorna Ordine", "Elimina Ordini" or "Stampa Ordine".
    void ScegliAnno(int command, const QString& year);
    // Proposes in T7 the next order number of the year in Text1.
    void NuovoNumeroOrdine();
    // Resets the header and line fields and empties the list; the combos keep their lists.
    void PulisciCampiOrdine();

    // The lines of the order Text1/T7 in ListView5.
    void CaricaRigheOrdine();
    // The orders of the year in Text1 in ListView5, one row per order line.
    void CaricaOrdiniAnno();
    // A click on a row of ListView5: what it does depends on the mode.
    void ListView5_ItemClick(int row);

    // The action button: the caption names what a press does.
    void Cmd4_Click();
    // Closes the panel; what was stored stays.
    void Cmd5_Click();
    // A customer, or an article, picked from its combo's list (index of the entry).
    void Cbo5_Click(int index);
    void Cbo6_Click(int index);
    // The user ticks or unticks "Elimina" (C1) or "Nr manuale" (C2).
    void C1_Click(bool checked);
    void C2_Click(bool checked);

    // Places the list sub-panel: top (or -1 to keep it), its height and the list's height, in
    // twips. The list is cut to what the sub-panel holds above its lower border.
    void setListGeometry(int frameTop, int frameHeight, int listHeight);
    static constexpr int kListBottomMargin = 60;

    // Lookup fills of the panel's combos. Those without a result tell their own failure; the
    // two with one leave it to the caller.
    Status CaricaSoggetti();
    void CaricaProvinceOrdine();
    void CaricaCittaOrdine();
    void CaricaDestinazioni();
    Status CaricaSceltaArticolo();

    // Makes the order sheet of the order on screen (year, number, customer code): the sheet
    // subsystem's StampaOrdineV; tests put a recorder in its place.
    std::function<void(AppContext&, const QString&, const QString&, const QString&)> printOrder;

    // The state of the panel as its elements show it.
    orderflow::State state() const;

    // Print preview, printer and PDF of the order chosen in "Stampa Ordine".
    OrderPrintCommands* printCommands;

Q_SIGNALS:
    // A new state is on screen.
    void stateShown();

private:
    // Shows a state: captions, what is visible and ticked.
    void display(const orderflow::State& s);

    // The six actions of Cmd4.
    orderflow::Outcome RichiamaArticoli();
    orderflow::Outcome AggiungiArticolo();
    orderflow::Outcome ModificaArticolo();
    orderflow::Outcome EliminaArticolo();
    orderflow::Outcome EliminaOrdine();
    orderflow::Outcome StampaOrdine();

    // The texts of the fields, as they are on screen.
    orderform::Fields fields() const;
    // The article as the fields T8 to T10 show it.
    struct ArticleFields {
        QString code;
        QString format;
        QString weight;
        bool operator==(const ArticleFields&) const = default;
    };
    // The customer whose name Cbo5 shows: the one whose code L7 shows when several share the
    // name, else the first stored; none when no customer has the name.
    Result<std::optional<orderstore::Customer>> customerOfName(const QString& name);
    // The article that Cbo6 names: the copy of the line loaded from the list while its
    // description is unchanged, else the catalogue's article of that description whose values
    // the fields show, else the first stored; none when no article has the description.
    Result<std::optional<ArticleFields>> articleOfName(const QString& description);
    // The article that Cbo6 names; tells the user when there is none or it cannot be read.
    std::optional<ArticleFields> chosenArticle(const QString& description);
    // Both tell the user what is missing or wrong in the fields of a line.
    bool requiredFieldsFilled(const orderform::Fields& f);
    bool readableLine(const orderform::Fields& f);
    // The line that L10 names, if it is still stored; tells the user when it is not.
    std::optional<std::int64_t> loadedLine(bool deleting);
    void loadHeader(int row);
    void loadLine(int row);
    // Empties Cbo6 and T8 to T15.
    void clearArticle();
    void setArticle(const ArticleFields& a);
    ArticleFields articleShown() const;
    // A field that cannot be stored: the message, nothing written.
    void tellRefusal(const QString& text);
    // A failure of the database or of a conversion, with its cause.
    void tellError(const Error& error);

    orderflow::Shows m_shows = orderflow::Shows::Nothing;
    // The description and article values of the line last loaded from the list.
    std::optional<std::pair<QString, ArticleFields>> m_loaded;
};
