#include "StatsWindow.h"

#include "StatsFiles.h"
#include "StatsModel.h"
#include "ui/AppContext.h"
#include "ui/BusyPointer.h"
#include "ui/ShowFile.h"
#include "ui/Tell.h"
#include "ui/Titles.h"

#include <QDir>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QStandardPaths>

const stats::Table& StatsWindow::tableOnScreen() const {
    return m_models[size_t(current())]->table();
}

namespace {

QString documents() {
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

sheets::CoverPage coverOf(const statschart::Bars& bars, const QString& title) {
    return [bars, title](QPainter& p, const QRectF& paper) {
        const QRectF area = paper.adjusted(36, 36, -36, -36);
        QFont f(QStringLiteral("Liberation Sans"));
        f.setBold(true);
        p.setFont(sheets::pointFont(f, 14, p));
        p.drawText(QRectF(area.left(), area.top(), area.width(), 24), Qt::AlignLeft, title);
        statschart::paint(p, area.adjusted(0, 30, 0, 0), bars);
    };
}

} // namespace

void StatsWindow::CmdExcel_Click() {
    const stats::Table& t = tableOnScreen();
    if (t.columns.empty()) {
        tell::refusal(ctx.dialogs, QStringLiteral("Non ci sono dati da esportare."), titles::t20());
        return;
    }
    BusyPointer busy;
    auto w = stats::saveWorkbook(t, documents(), QDir::homePath());
    busy.release();
    if (!w) {
        ShowErrMsg(ctx.dialogs, w.error());
        return;
    }
    tellWritten(ctx, *w, QStringLiteral("il foglio delle statistiche"));
}

void StatsWindow::CmdPdf_Click() {
    const stats::Table& t = tableOnScreen();
    if (t.columns.empty()) {
        tell::refusal(ctx.dialogs, QStringLiteral("Non ci sono dati da salvare."), titles::t20());
        return;
    }
    BusyPointer busy;
    auto w = stats::savePdf(t, coverOf(m_bars[size_t(current())], t.title), documents(),
                            QDir::homePath());
    busy.release();
    if (!w) {
        ShowErrMsg(ctx.dialogs, w.error());
        return;
    }
    tellWritten(ctx, *w, QStringLiteral("il PDF delle statistiche"));
}

void StatsWindow::CmdStampa_Click() {
    const stats::Table& t = tableOnScreen();
    if (t.columns.empty()) {
        tell::refusal(ctx.dialogs, QStringLiteral("Non ci sono dati da stampare."), titles::t20());
        return;
    }
    auto wb = stats::workbookOf(t);
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(t.title);
    QPrintDialog choice(&printer, this);
    choice.setObjectName(QStringLiteral("StampaStatisticheDialog"));
    choice.setWindowTitle(QStringLiteral("Stampa delle statistiche"));
    if (!runDialog(choice))
        return;
    BusyPointer busy;
    const Status printed = sheets::SheetPrint(wb->sheet(0))
                               .print(printer, coverOf(m_bars[size_t(current())], t.title));
    busy.release();
    if (!printed) {
        ShowErrMsg(ctx.dialogs, printed.error());
        return;
    }
    ctx.showStatus(
        QStringLiteral("Statistiche inviate alla stampante %1").arg(printer.printerName()));
}
