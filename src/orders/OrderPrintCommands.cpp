#include "OrderPrintCommands.h"

#include "OrderPanel.h"
#include "PrintOrder.h"
#include "sheets/OrderArchive.h"
#include "sheets/OrderSheet.h"
#include "sheets/SheetPrint.h"
#include "sheets/Workbook.h"
#include "ui/AppContext.h"
#include "ui/BusyPointer.h"
#include "ui/Titles.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

namespace {

QAction* command(QObject* parent, const char* name, const QString& caption,
                 const QKeySequence& keys) {
    auto* a = new QAction(caption, parent);
    a->setObjectName(QLatin1String(name));
    a->setShortcut(keys);
    a->setShortcutContext(Qt::WindowShortcut);
    a->setEnabled(false);
    return a;
}

// A printer set for the order sheet: A4 landscape, the document named after the order.
void preparePrinter(QPrinter& printer, const QString& name) {
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setDocName(name);
}

// The pages the printer was given in its dialog: all, or the range chosen.
Status printOn(QPrinter& printer, const sheets::SheetPrint& pages) {
    if (printer.printRange() == QPrinter::PageRange)
        return pages.print(printer, printer.fromPage(), printer.toPage());
    return pages.print(printer);
}

} // namespace

OrderPrintCommands::OrderPrintCommands(AppContext& c, OrderPanel* panel)
    : QObject(panel), runDialog([](QDialog& d) { return d.exec() == QDialog::Accepted; }), ctx(c),
      m_panel(panel) {
    AnteprimaOrdine = command(this, "AnteprimaOrdine", QStringLiteral("Anteprima di stampa…"),
                              QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
    StampanteOrdine = command(this, "StampanteOrdine", QStringLiteral("Stampa su stampante…"),
                              QKeySequence(Qt::CTRL | Qt::Key_P));
    PdfOrdine = command(this, "PdfOrdine", QStringLiteral("Salva come PDF"),
                        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    connect(AnteprimaOrdine, &QAction::triggered, this, &OrderPrintCommands::AnteprimaOrdine_Click);
    connect(StampanteOrdine, &QAction::triggered, this, &OrderPrintCommands::StampanteOrdine_Click);
    connect(PdfOrdine, &QAction::triggered, this, &OrderPrintCommands::PdfOrdine_Click);
    panel->addActions(actions());
    panel->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(panel, &OrderPanel::stateShown, this, &OrderPrintCommands::update);
}

void OrderPrintCommands::update() {
    const orderflow::State s = m_panel->state();
    const bool chosen =
        s.panelShown && s.mode == orderflow::kStampaOrdine && s.shows == orderflow::Shows::Lines;
    for (QAction* a : actions())
        a->setEnabled(chosen);
}

std::unique_ptr<sheets::Workbook> OrderPrintCommands::orderSheet() {
    if (!ctx.connected())
        return nullptr;
    auto wb = sheets::buildOrderSheet(ctx.db(), m_panel->Text1->text(), m_panel->T7->text(),
                                      m_panel->L7->text());
    if (!wb) {
        ShowErrMsg(ctx.dialogs, wb.error());
        return nullptr;
    }
    return std::move(*wb);
}

QString OrderPrintCommands::documentName() const {
    return sheets::archive::baseName(m_panel->Text1->text(), m_panel->T7->text());
}

void OrderPrintCommands::AnteprimaOrdine_Click() {
    auto wb = orderSheet();
    if (!wb)
        return;
    const sheets::SheetPrint pages(wb->sheet(0));
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer, documentName());
    QPrintPreviewDialog preview(&printer, m_panel->window());
    preview.setObjectName(QStringLiteral("AnteprimaOrdineDialog"));
    preview.setWindowTitle(QStringLiteral("Anteprima di stampa"));
    Status drawn;
    connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
            [&](QPrinter* p) { drawn = printOn(*p, pages); });
    runDialog(preview);
    if (!drawn)
        ShowErrMsg(ctx.dialogs, drawn.error());
}

void OrderPrintCommands::StampanteOrdine_Click() {
    auto wb = orderSheet();
    if (!wb)
        return;
    const sheets::SheetPrint pages(wb->sheet(0));
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer, documentName());
    QPrintDialog choice(&printer, m_panel->window());
    choice.setObjectName(QStringLiteral("StampanteOrdineDialog"));
    choice.setWindowTitle(QStringLiteral("Stampa del foglio dell'ordine"));
    choice.setMinMax(1, pages.pageCount());
    if (!runDialog(choice))
        return;
    BusyPointer busy;
    const Status printed = printOn(printer, pages);
    busy.release();
    if (!printed) {
        ShowErrMsg(ctx.dialogs, printed.error());
        return;
    }
    ctx.showStatus(
        QStringLiteral("Foglio dell'ordine inviato alla stampante %1").arg(printer.printerName()));
}

void OrderPrintCommands::PdfOrdine_Click() {
    SalvaOrdinePdf(ctx, m_panel->Text1->text(), m_panel->T7->text(), m_panel->L7->text());
}
