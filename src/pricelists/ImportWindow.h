#pragma once

#include "ColumnMap.h"
#include "ListRows.h"
#include "PriceListStore.h"
#include "SheetData.h"

#include <QDialog>

#include <array>
#include <optional>

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
    std::array<QComboBox*, pricelists::kFieldCount> CboColonna;
    // How the numbers written as texts were read, and the switch to read them the other way.
    QLabel* LblDecimali;
    QCheckBox* puntoDecimale;
    std::array<QCheckBox*, pricelists::kChangeCount> ChkTipo;
    QTreeWidget* ListaAnteprima;
    QLabel* LblConteggi;
    // Why the formulas of a .xls have no values here, and what to do.
    QLabel* LblAvviso;
    QPushButton* CmdApplica;

    void Applica_Click();

private:
    // The sheet chosen: its header and columns found again (those remembered for the
    // principal first).
    void sheetChosen();
    void mappingChanged();
    void refresh();
    void showMark(const pricelists::ListRows& rows);
    void showCounts();
    void fillList();
    void readTicks();
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
    bool m_filling = false;
};
