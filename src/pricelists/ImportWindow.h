#pragma once

#include "ColumnMap.h"
#include "ListRows.h"
#include "PriceListStore.h"
#include "PriceUnit.h"
#include "SheetData.h"

#include <QDialog>

#include <QDate>

#include <array>
#include <optional>
#include <utility>

struct AppContext;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// "Importa listino": the list read from the file, the sheet, the principal, the list's date and
// the columns, and the preview of what would change, with filters per kind and ticks per row.
// Nothing is written before "Applica".
class ImportWindow : public QDialog {
    Q_OBJECT
public:
    ImportWindow(AppContext& ctx, QString file, pricelists::Workbook book,
                 QWidget* parent = nullptr);

    QComboBox* CboFoglio;
    QComboBox* CboMandante;
    QLineEdit* TDataListino;
    // What the price column refers to (PriceUnit's order), guessed from its heading.
    QComboBox* CboUnitaPrezzo;
    std::array<QComboBox*, pricelists::kFieldCount> CboColonna;
    // How the numbers written as texts were read, and the switch to read them the other way.
    QLabel* LblDecimali;
    QCheckBox* puntoDecimale;
    std::array<QCheckBox*, pricelists::kChangeCount> ChkTipo;
    QTreeWidget* ListaAnteprima;
    QLabel* LblConteggi;
    // Why the formulas of a .xls have no values here, and what to do.
    QLabel* LblAvviso;
    // The date the list is valid from, what it was read from, and whether it is valid today.
    QLabel* LblValidita;
    QPushButton* CmdApplica;

    void Applica_Click();

Q_SIGNALS:
    // The list was applied: the lists that show the catalogue are to be filled again.
    void applied();

private:
    // The sheet chosen: its header and columns found again (those remembered for the
    // principal first).
    void sheetChosen();
    void mappingChanged();
    // The unit the price column's heading names, €/kg when it names none.
    void guessUnit();
    void refresh();
    void showMark(const pricelists::ListRows& rows);
    void showCounts();
    void showValidity(const std::optional<QDate>& date);
    void fillList();
    void readTicks();
    // The price turned by the kilogram with the list's weight and that weight, ticked together.
    void tieToWeight(int item);
    // A row of a repeated code ticked: the code's other rows are unticked and the changes shown
    // are those of the row chosen.
    void itemTicked(QTreeWidgetItem* row);
    void showActiveRows();
    const pricelists::Sheet& sheet() const;

    AppContext& ctx;
    QString m_file;
    pricelists::Workbook m_book;
    pricelists::Mapping m_mapping;
    // The decimal mark the agent chose; none while the file's own is used.
    std::optional<pricelists::DecimalMark> m_chosenMark;
    class QFormLayout* m_form = nullptr;
    class QLayout* m_numbersRow = nullptr;
    pricelists::Preview m_preview;
    // The sheet and price column whose heading gave the unit chosen.
    std::pair<int, int> m_unitOf{-1, -2};
    // The date the sheet's title gives, if any.
    std::optional<QDate> m_titleDate;
    bool m_filling = false;
};
