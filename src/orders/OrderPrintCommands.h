#pragma once

#include <QList>
#include <QObject>

#include <functional>
#include <memory>

namespace sheets {
class Workbook;
}

class OrderPanel;
class QAction;
class QDialog;
struct AppContext;

// The order chosen in "Stampa Ordine" on paper and as PDF, without a spreadsheet application:
// the print preview (with the choice of printer), the printer directly, and a PDF in the
// archive beside the order sheets. Each draws the order sheet's own workbook model with the
// same painter. Reached from the order panel (its context menu) and the order menu, with
// shortcuts; enabled only while the panel shows the lines of an order chosen for printing.
class OrderPrintCommands : public QObject {
    Q_OBJECT
public:
    OrderPrintCommands(AppContext& ctx, OrderPanel* panel);

    QAction* AnteprimaOrdine; // "Anteprima di stampa…"
    QAction* StampanteOrdine; // "Stampa su stampante…"
    QAction* PdfOrdine;       // "Salva come PDF"
    QList<QAction*> actions() const { return {AnteprimaOrdine, StampanteOrdine, PdfOrdine}; }

    void AnteprimaOrdine_Click();
    void StampanteOrdine_Click();
    void PdfOrdine_Click();

    // Runs a modal dialog (the preview, the printer choice): true when it was accepted. Tests
    // put their own in its place.
    std::function<bool(QDialog&)> runDialog;

private:
    void update();
    // The order on screen as a workbook; tells the user when it cannot be made.
    std::unique_ptr<sheets::Workbook> orderSheet();
    // "Ordine <year>-<nr>", the name the printer and the PDF give the document.
    QString documentName() const;

    AppContext& ctx;
    OrderPanel* m_panel;
};
