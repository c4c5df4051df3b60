#include "ImportWindow.h"

#include "ImportMessages.h"
#include "ListRows.h"
#include "PriceUnit.h"

#include "text/ItalianText.h"
#include "ui/AppContext.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

using namespace pricelists;

namespace {
const QString kTitle = QStringLiteral("Importa listino");
constexpr int kItemRole = Qt::UserRole + 1;

// Each column of the preview as wide as what it shows (as far as the list measures, the rows
// near those in view), up to a bound: about 60 characters for the descriptions before and
// after, 30 for the others. A longer text ends in an ellipsis; the last column takes the rest.
void fitColumns(QTreeWidget* list) {
    const int ch = list->fontMetrics().averageCharWidth();
    for (int c = 0; c < list->columnCount() - 1; ++c) {
        list->resizeColumnToContents(c);
        const int most = (c == 3 || c == 4) ? 60 * ch : 30 * ch;
        list->setColumnWidth(c, std::min(list->columnWidth(c), most));
    }
}

QString columnLetter(int c) {
    QString s;
    for (int n = c + 1; n > 0; n = (n - 1) / 26)
        s.prepend(QChar(u'A' + (n - 1) % 26));
    return s;
}
} // namespace

ImportWindow::ImportWindow(AppContext& c, QString file, Workbook book, QWidget* parent)
    : QDialog(parent), ctx(c), m_file(std::move(file)), m_book(std::move(book)) {
    setObjectName(QStringLiteral("ImportaListino"));
    setWindowTitle(QStringLiteral("Importa listino - %1").arg(msg::fileName(m_file)));
    auto* form = new QFormLayout;
    CboFoglio = new QComboBox(this);
    CboFoglio->setObjectName(QStringLiteral("CboFoglio"));
    for (const Sheet& s : m_book.sheets)
        CboFoglio->addItem(s.name);
    form->addRow(QStringLiteral("Foglio"), CboFoglio);
    CboMandante = new QComboBox(this);
    CboMandante->setObjectName(QStringLiteral("CboMandante"));
    CboMandante->setEditable(true);
    if (Result<std::vector<Principal>> all = principals(ctx.db()))
        for (const Principal& p : *all)
            CboMandante->addItem(p.name, QVariant::fromValue<qlonglong>(p.id));
    form->addRow(QStringLiteral("Mandante"), CboMandante);
    TDataListino = new QLineEdit(this);
    TDataListino->setObjectName(QStringLiteral("TDataListino"));
    form->addRow(QStringLiteral("Valido dal"), TDataListino);
    auto* columns = new QHBoxLayout;
    for (int f = 0; f < kFieldCount; ++f) {
        CboColonna[std::size_t(f)] = new QComboBox(this);
        CboColonna[std::size_t(f)]->setObjectName(QStringLiteral("CboColonna%1").arg(f));
        columns->addWidget(new QLabel(fieldName(Field(f)), this));
        columns->addWidget(CboColonna[std::size_t(f)]);
    }
    form->addRow(QStringLiteral("Colonne"), columns);
    auto* numbers = new QHBoxLayout;
    LblDecimali = new QLabel(this);
    LblDecimali->setObjectName(QStringLiteral("LblDecimali"));
    puntoDecimale = new QCheckBox(QStringLiteral("Punto decimale"), this);
    puntoDecimale->setObjectName(QStringLiteral("puntoDecimale"));
    numbers->addWidget(LblDecimali, 1);
    numbers->addWidget(puntoDecimale);
    form->addRow(QStringLiteral("Numeri"), numbers);
    m_form = form;
    m_numbersRow = numbers;
    CboUnitaPrezzo = new QComboBox(this);
    CboUnitaPrezzo->setObjectName(QStringLiteral("CboUnitaPrezzo"));
    for (int u = 0; u < kPriceUnitCount; ++u)
        CboUnitaPrezzo->addItem(unitName(PriceUnit(u)));
    form->addRow(QStringLiteral("Il prezzo del listino è in"), CboUnitaPrezzo);
    auto* filters = new QHBoxLayout;
    for (int k = 0; k < kChangeCount; ++k) {
        ChkTipo[std::size_t(k)] = new QCheckBox(changeName(Change(k)), this);
        ChkTipo[std::size_t(k)]->setObjectName(QStringLiteral("ChkTipo%1").arg(k));
        ChkTipo[std::size_t(k)]->setChecked(true);
        filters->addWidget(ChkTipo[std::size_t(k)]);
        connect(ChkTipo[std::size_t(k)], &QCheckBox::toggled, this, [this] { fillList(); });
    }
    LblValidita = new QLabel(this);
    LblValidita->setObjectName(QStringLiteral("LblValidita"));
    LblValidita->setWordWrap(true);
    QFont bold = LblValidita->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    LblValidita->setFont(bold);
    ListaAnteprima = new QTreeWidget(this);
    ListaAnteprima->setObjectName(QStringLiteral("ListaAnteprima"));
    ListaAnteprima->setRootIsDecorated(false);
    ListaAnteprima->setUniformRowHeights(true);
    ListaAnteprima->setHeaderLabels({QStringLiteral("Modifica"), QStringLiteral("Riga"),
                                     QStringLiteral("Codice"), QStringLiteral("Prima"),
                                     QStringLiteral("Dopo"), QStringLiteral("Variazione")});
    LblAvviso = new QLabel(this);
    LblAvviso->setObjectName(QStringLiteral("LblAvviso"));
    LblAvviso->setWordWrap(true);
    LblAvviso->setVisible(!m_book.formulasUnread.isEmpty());
    if (!m_book.formulasUnread.isEmpty())
        LblAvviso->setText(
            QStringLiteral("Il foglio .xls è stato letto senza i risultati delle sue "
                           "formule (%1): una cella con una formula risulta vuota. "
                           "Per leggerli, salvare il listino come .xlsx e importare "
                           "quello.")
                .arg(m_book.formulasUnread));
    LblConteggi = new QLabel(this);
    LblConteggi->setObjectName(QStringLiteral("LblConteggi"));
    LblConteggi->setWordWrap(true);
    CmdApplica = new QPushButton(QStringLiteral("Applica"), this);
    CmdApplica->setObjectName(QStringLiteral("CmdApplica"));
    auto* close = new QPushButton(QStringLiteral("Chiudi"), this);
    close->setObjectName(QStringLiteral("CmdChiudi"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(LblConteggi, 1);
    buttons->addWidget(CmdApplica);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(LblAvviso);
    layout->addWidget(LblValidita);
    layout->addLayout(filters);
    layout->addWidget(ListaAnteprima, 1);
    layout->addLayout(buttons);
    resize(900, 560);

    connect(CboFoglio, &QComboBox::currentIndexChanged, this, [this] { sheetChosen(); });
    connect(CboMandante, &QComboBox::currentTextChanged, this, [this] { sheetChosen(); });
    connect(TDataListino, &QLineEdit::textChanged, this, [this] { refresh(); });
    connect(puntoDecimale, &QCheckBox::toggled, this, [this](bool point) {
        if (m_filling)
            return;
        m_chosenMark = point ? DecimalMark::Point : DecimalMark::Comma;
        refresh();
    });
    for (QComboBox* cbo : CboColonna)
        connect(cbo, &QComboBox::currentIndexChanged, this, [this] { mappingChanged(); });
    connect(CboUnitaPrezzo, &QComboBox::currentIndexChanged, this, [this] { refresh(); });
    connect(ListaAnteprima, &QTreeWidget::itemChanged, this,
            [this](QTreeWidgetItem* row) { itemTicked(row); });
    connect(CmdApplica, &QPushButton::clicked, this, [this] { Applica_Click(); });
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    sheetChosen();
}

const Sheet& ImportWindow::sheet() const {
    static const Sheet none;
    const int i = CboFoglio->currentIndex();
    return i >= 0 && i < int(m_book.sheets.size()) ? m_book.sheets[std::size_t(i)] : none;
}

void ImportWindow::sheetChosen() {
    if (m_filling)
        return;
    QStringList remembered;
    const int i =
        CboMandante->findText(CboMandante->currentText().simplified(), Qt::MatchFixedString);
    if (i >= 0)
        if (Result<QStringList> r =
                rememberedColumns(ctx.db(), CboMandante->itemData(i).toLongLong()))
            remembered = *r;
    m_mapping = findMapping(sheet(), remembered);
    m_chosenMark.reset();
    m_filling = true;
    const QStringList texts = headerTexts(sheet(), m_mapping.headerRow);
    for (int f = 0; f < kFieldCount; ++f) {
        QComboBox* cbo = CboColonna[std::size_t(f)];
        cbo->clear();
        cbo->addItem(QStringLiteral("(nessuna)"));
        for (int c = 0; c < texts.size(); ++c)
            cbo->addItem(QStringLiteral("%1: %2").arg(columnLetter(c), texts[c]));
        cbo->setCurrentIndex(m_mapping.column[std::size_t(f)] + 1);
    }
    guessUnit();
    m_titleDate = validFromAbove(sheet(), m_mapping.headerRow);
    if (TDataListino->text().isEmpty() || !itext::parseDate(TDataListino->text()))
        TDataListino->setText(itext::formatDate(m_titleDate.value_or(ctx.clock.now().date())));
    m_filling = false;
    refresh();
}

void ImportWindow::mappingChanged() {
    if (m_filling)
        return;
    for (int f = 0; f < kFieldCount; ++f)
        m_mapping.column[std::size_t(f)] = CboColonna[std::size_t(f)]->currentIndex() - 1;
    m_filling = true;
    guessUnit();
    m_filling = false;
    refresh();
}

void ImportWindow::guessUnit() {
    // Another price column: its own heading says its unit; the agent's choice stays otherwise.
    const std::pair<int, int> column{CboFoglio->currentIndex(), m_mapping[Field::Price]};
    if (column == m_unitOf)
        return;
    m_unitOf = column;
    const QStringList texts = headerTexts(sheet(), m_mapping.headerRow);
    const int c = m_mapping[Field::Price];
    const PriceUnit unit = c >= 0 && c < texts.size()
                               ? unitOfHeader(texts[c]).value_or(PriceUnit::Kilo)
                               : PriceUnit::Kilo;
    CboUnitaPrezzo->setCurrentIndex(int(unit));
}

void ImportWindow::refresh() {
    if (m_filling)
        return;
    // A new preview starts from its own ticks: the rows of the earlier one may be other changes.
    ListaAnteprima->clear();
    m_preview = Preview{};
    CmdApplica->setEnabled(false);
    const std::optional<QDate> date = itext::parseDate(TDataListino->text());
    showValidity(date);
    if (!m_mapping.usable()) {
        LblConteggi->setText(QStringLiteral("Nel foglio non c'è una riga d'intestazione con le "
                                            "colonne del codice e del prezzo: sceglierle qui "
                                            "sopra."));
        if (m_mapping.headerRow < 0) {
            ListaAnteprima->clear();
            return;
        }
    } else if (!date) {
        LblConteggi->setText(QStringLiteral("La data del listino non è valida: scriverla come "
                                            "gg/mm/aaaa."));
    }
    if (!m_mapping.usable() || !date) {
        ListaAnteprima->clear();
        return;
    }
    const int i =
        CboMandante->findText(CboMandante->currentText().simplified(), Qt::MatchFixedString);
    const std::int64_t principal = i >= 0 ? CboMandante->itemData(i).toLongLong() : 0;
    Result<ListRows> rows =
        perKilo(ctx.db(), sheet(), m_mapping, readRows(sheet(), m_mapping, m_chosenMark),
                PriceUnit(std::max(0, CboUnitaPrezzo->currentIndex())));
    if (!rows) {
        LblConteggi->setText(rows.error().text);
        return;
    }
    showMark(*rows);
    Result<Preview> p = makePreview(ctx.db(), principal, *rows, *date);
    if (!p) {
        LblConteggi->setText(p.error().text);
        ListaAnteprima->clear();
        return;
    }
    m_preview = std::move(*p);
    showCounts();
    CmdApplica->setEnabled(!CboMandante->currentText().simplified().isEmpty());
    fillList();
}

void ImportWindow::showMark(const ListRows& rows) {
    const bool point = rows.mark == DecimalMark::Point;
    QString text = point ? QStringLiteral("Numeri letti con il punto decimale (12.90)")
                         : QStringLiteral("Numeri letti con la virgola decimale (12,90)");
    if (!rows.markShown)
        text += QStringLiteral(": il file non lo mostra, controllare");
    LblDecimali->setText(text);
    const bool filling = m_filling;
    m_filling = true;
    puntoDecimale->setChecked(point);
    m_filling = filling;
    // Only a list with numbers written as texts has a mark to tell.
    m_form->setRowVisible(m_numbersRow, rows.numberTexts);
}

void ImportWindow::showValidity(const std::optional<QDate>& date) {
    if (!date) {
        LblValidita->clear();
        return;
    }
    QString text = QStringLiteral("Listino valido dal %1").arg(itext::formatDate(*date));
    if (m_titleDate == date)
        text += QStringLiteral(" (data letta dal titolo del foglio)");
    if (*date > ctx.clock.now().date())
        text += QStringLiteral(": i suoi prezzi non sono ancora in vigore oggi");
    LblValidita->setText(text + QLatin1Char('.'));
}

void ImportWindow::showCounts() {
    QStringList counts;
    for (int k = 0; k < kChangeCount; ++k) {
        const int n = m_preview.count(Change(k));
        // Repeated codes are named only when the list has some.
        if (Change(k) != Change::Duplicate || n > 0)
            counts << QStringLiteral("%1: %2").arg(changeName(Change(k))).arg(n);
    }
    LblConteggi->setText(counts.join(QStringLiteral(", ")));
}

void ImportWindow::fillList() {
    readTicks();
    m_filling = true;
    ListaAnteprima->setUpdatesEnabled(false);
    ListaAnteprima->clear();
    QList<QTreeWidgetItem*> items;
    for (int n = 0; n < int(m_preview.items.size()); ++n) {
        const PreviewItem& it = m_preview.items[std::size_t(n)];
        if (!ChkTipo[std::size_t(it.kind)]->isChecked())
            continue;
        auto* row = new QTreeWidgetItem;
        row->setText(0, changeName(it.kind));
        row->setText(1, it.row > 0 ? QString::number(it.row) : QString());
        row->setText(2, it.code);
        row->setText(3, it.before);
        row->setText(4, it.after);
        if (it.percent)
            row->setText(
                5, QStringLiteral("%1%2 %").arg(*it.percent > 0 ? QStringLiteral("+") : QString(),
                                                itext::formatFixed(*it.percent, 1, false)));
        row->setData(0, kItemRole, n);
        if (it.tickable())
            row->setCheckState(0, it.ticked ? Qt::Checked : Qt::Unchecked);
        items << row;
    }
    ListaAnteprima->addTopLevelItems(items);
    showActiveRows();
    fitColumns(ListaAnteprima);
    ListaAnteprima->setUpdatesEnabled(true);
    m_filling = false;
}

// The changes of a row that does not count (a repeat of a code not chosen) are hidden. Only the
// rows of repeated codes are touched: a list of thousands of rows is not walked item by item.
void ImportWindow::showActiveRows() {
    const std::vector<bool> active = m_preview.activeEntries();
    std::vector<bool> repeated(active.size(), false);
    bool any = false;
    for (const PreviewItem& it : m_preview.items)
        if (it.kind == Change::Duplicate && it.entry >= 0 && it.entry < int(repeated.size()))
            any = repeated[std::size_t(it.entry)] = true;
    if (!any)
        return;
    for (int r = 0; r < ListaAnteprima->topLevelItemCount(); ++r) {
        QTreeWidgetItem* row = ListaAnteprima->topLevelItem(r);
        const int n = row->data(0, kItemRole).toInt();
        if (n < 0 || n >= int(m_preview.items.size()))
            continue;
        const PreviewItem& it = m_preview.items[std::size_t(n)];
        if (it.kind != Change::Duplicate && it.entry >= 0 && it.entry < int(active.size()) &&
            repeated[std::size_t(it.entry)])
            row->setHidden(!active[std::size_t(it.entry)]);
    }
}

void ImportWindow::itemTicked(QTreeWidgetItem* changed) {
    if (m_filling)
        return;
    const int n = changed->data(0, kItemRole).toInt();
    if (n < 0 || n >= int(m_preview.items.size()))
        return;
    if (const Change kind = m_preview.items[std::size_t(n)].kind;
        kind == Change::Price || kind == Change::Weight) {
        tieToWeight(n);
        return;
    }
    if (m_preview.items[std::size_t(n)].kind != Change::Duplicate)
        return;
    readTicks();
    const PreviewItem& chosen = m_preview.items[std::size_t(n)];
    m_filling = true;
    if (chosen.ticked) {
        for (PreviewItem& other : m_preview.items)
            if (other.kind == Change::Duplicate && other.code == chosen.code && &other != &chosen)
                other.ticked = false;
        for (int r = 0; r < ListaAnteprima->topLevelItemCount(); ++r) {
            QTreeWidgetItem* row = ListaAnteprima->topLevelItem(r);
            const int i = row->data(0, kItemRole).toInt();
            if (i >= 0 && i < int(m_preview.items.size()) &&
                m_preview.items[std::size_t(i)].kind == Change::Duplicate)
                row->setCheckState(0, m_preview.items[std::size_t(i)].ticked ? Qt::Checked
                                                                             : Qt::Unchecked);
        }
    }
    showActiveRows();
    m_filling = false;
    showCounts();
}

void ImportWindow::tieToWeight(int n) {
    // A price by the piece or the carton was turned into one by the kilogram with the carton's
    // weight the list gives: it holds only with that weight, so the two go together.
    if (PriceUnit(std::max(0, CboUnitaPrezzo->currentIndex())) == PriceUnit::Kilo)
        return;
    readTicks();
    const PreviewItem& item = m_preview.items[std::size_t(n)];
    const Change partner = item.kind == Change::Price ? Change::Weight : Change::Price;
    for (PreviewItem& other : m_preview.items)
        if (other.kind == partner && other.entry == item.entry && other.tickable())
            other.ticked = item.ticked;
    m_filling = true;
    for (int r = 0; r < ListaAnteprima->topLevelItemCount(); ++r) {
        QTreeWidgetItem* row = ListaAnteprima->topLevelItem(r);
        const int i = row->data(0, kItemRole).toInt();
        if (i >= 0 && i < int(m_preview.items.size()) && m_preview.items[std::size_t(i)].tickable())
            row->setCheckState(0, m_preview.items[std::size_t(i)].ticked ? Qt::Checked
                                                                         : Qt::Unchecked);
    }
    m_filling = false;
    showCounts();
}

void ImportWindow::readTicks() {
    for (int r = 0; r < ListaAnteprima->topLevelItemCount(); ++r) {
        const QTreeWidgetItem* row = ListaAnteprima->topLevelItem(r);
        const int n = row->data(0, kItemRole).toInt();
        if (n >= 0 && n < int(m_preview.items.size()) && m_preview.items[std::size_t(n)].tickable())
            m_preview.items[std::size_t(n)].ticked = row->checkState(0) == Qt::Checked;
    }
}

void ImportWindow::Applica_Click() {
    readTicks();
    const QString name = CboMandante->currentText().simplified();
    if (!m_mapping.usable() || name.isEmpty())
        return;
    if (!ctx.dialogs.question(
            QStringLiteral("Applicare il listino «%1» della mandante «%2», "
                           "valido dal %3?")
                .arg(msg::fileName(m_file), name, itext::formatDate(m_preview.validFrom)),
            kTitle))
        return;
    Result<Applied> done = apply(ctx.db(), m_preview, msg::fileName(m_file), ctx.clock.now(),
                                 rememberedTexts(sheet(), m_mapping), name);
    if (!done) {
        ctx.dialogs.message(done.error().text, kTitle, BoxIcon::Exclamation);
        return;
    }
    ctx.dialogs.message(QStringLiteral("Listino applicato: %1 articoli nuovi, %2 articoli "
                                       "aggiornati, %3 prezzi registrati.")
                            .arg(done->added)
                            .arg(done->updated)
                            .arg(done->prices),
                        kTitle, BoxIcon::Information);
    Q_EMIT applied();
    close();
}
