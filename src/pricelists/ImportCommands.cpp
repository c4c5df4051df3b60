#include "ImportCommands.h"

#include "ImportWindow.h"
#include "SheetFile.h"

#include "ui/AppContext.h"
#include "ui/OffThread.h"

#include <QDir>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTimer>

namespace pricelists {

namespace {
const QString kTitle = QStringLiteral("Importa listino");
}

void ImportaListino(AppContext& ctx, QWidget* parent, std::function<void()> applied) {
    const std::optional<QString> file = ctx.dialogs.chooseFile(
        kTitle, QDir::homePath(), QStringLiteral("Listini (*.xlsx *.xls *.ods *.csv)"));
    if (!file)
        return;
    // A private folder for a repaired copy of the workbook or LibreOffice's conversion of a .xls,
    // gone with the reading.
    QTemporaryDir work;
    if (!work.isValid()) {
        ctx.dialogs.message(QStringLiteral("Non si può creare la cartella di lavoro per leggere il "
                                           "listino: %1.")
                                .arg(work.errorString()),
                            kTitle, BoxIcon::Critical);
        return;
    }
    ReadProgress progress;
    std::optional<Result<Workbook>> result;
    const QString path = *file;
    const QString workPath = work.path();

    // The window stays alive meanwhile: a bar, and Annulla to stop the reading.
    QProgressDialog bar(QStringLiteral("Lettura del listino…"), QStringLiteral("Annulla"), 0, 100,
                        parent);
    bar.setObjectName(QStringLiteral("LetturaListino"));
    bar.setWindowTitle(kTitle);
    bar.setWindowModality(Qt::WindowModal);
    bar.setMinimumDuration(400);
    bar.setAutoClose(false);
    bar.setAutoReset(false);
    QObject::connect(&bar, &QProgressDialog::canceled, &bar, [&] { progress.cancel = true; });
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &bar, [&] { bar.setValue(progress.percent.load()); });
    tick.start(100);
    offthread::run([&] { result = readWorkbook(path, workPath, {}, &progress); }, &bar);
    tick.stop();
    // Closing the bar counts as its Annulla: what the agent asked is taken before.
    const bool stopped = progress.cancel.load();
    QObject::disconnect(&bar, &QProgressDialog::canceled, nullptr, nullptr);
    bar.close();

    if (!result || !*result) {
        if (stopped)
            return;
        ctx.dialogs.message(result ? result->error().text
                                   : QStringLiteral("Lettura del listino interrotta."),
                            kTitle, BoxIcon::Exclamation);
        return;
    }
    auto* window = new ImportWindow(ctx, path, std::move(**result), parent);
    window->setAttribute(Qt::WA_DeleteOnClose);
    if (applied)
        QObject::connect(window, &ImportWindow::applied, window, std::move(applied));
    window->show();
}

bool AnnullaUltimoListino(AppContext& ctx) {
    const QString title = QStringLiteral("Annulla ultimo listino");
    if (!ctx.dialogs.questionDefaultNo(QStringLiteral("Annullare l'ultimo listino importato? I "
                                                      "suoi prezzi vengono tolti, gli articoli "
                                                      "che ha aggiunto vengono tolti e quelli "
                                                      "che ha cambiato tornano come erano; resta "
                                                      "quanto è stato cambiato dopo il listino "
                                                      "e restano gli articoli aggiunti già usati "
                                                      "in ordini."),
                                       title))
        return false;
    Result<Undone> undone = undoLast(ctx.db());
    if (!undone) {
        ctx.dialogs.message(undone.error().text, title, BoxIcon::Exclamation);
        return false;
    }
    QString text = QStringLiteral("Listino «%1» annullato: %2 articoli tolti, %3 articoli "
                                  "ripristinati, %4 prezzi tolti.")
                       .arg(undone->file)
                       .arg(undone->removed)
                       .arg(undone->restored)
                       .arg(undone->prices);
    if (!undone->kept.isEmpty()) {
        // A long list is named in part: the box must stay on the screen.
        constexpr int kNamed = 15;
        const qsizetype n = undone->kept.size();
        text += QStringLiteral("\n\nArticoli lasciati come sono ora:\n") +
                undone->kept.mid(0, kNamed).join(QLatin1Char('\n'));
        if (n > kNamed)
            text += QStringLiteral("\ne altri %1.").arg(n - kNamed);
    }
    ctx.dialogs.message(text, title, BoxIcon::Information);
    return true;
}

} // namespace pricelists
