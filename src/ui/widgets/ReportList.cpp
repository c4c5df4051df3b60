#include "ReportList.h"

#include "Twips.h"
#include "data/Statement.h"
#include "text/ItalianText.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>

void ReportModel::setColumns(std::vector<ReportColumn> columns) {
    beginResetModel();
    // The size of the last fill tells of the next only for the same list.
    if (columns != m_columns)
        m_lastPool = m_lastCells = 0;
    m_columns = std::move(columns);
    m_source = Snapshot();
    m_whole = false;
    m_pool.clear();
    m_ends.clear();
    m_nulls.clear();
    endResetModel();
}

int ReportModel::columnIndex(const QString& key) const {
    for (size_t i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].key == key)
            return int(i);
    return -1;
}

void ReportModel::clear() {
    beginResetModel();
    m_source = Snapshot();
    m_whole = false;
    m_pool.clear();
    m_pool.shrink_to_fit();
    m_ends.clear();
    m_ends.shrink_to_fit();
    m_nulls.clear();
    m_nulls.shrink_to_fit();
    endResetModel();
}

Status ReportModel::fill(Statement& st) {
    beginResetModel();
    m_source = Snapshot();
    m_whole = false;
    const int n = int(m_columns.size());
    const int have = st.columnCount();
    // Room for as much as the last fill read: a list filled again takes its memory at once
    // rather than growing into it by doubling, copying and touching every page twice.
    m_pool.reserve(m_lastPool);
    m_ends.reserve(m_lastCells);
    m_nulls.reserve(m_lastCells);
    while (st.next()) {
        for (int c = 0; c < n; ++c) {
            const std::optional<std::string_view> v =
                c < have ? st.utf8OrNull(c) : std::optional<std::string_view>();
            if (v)
                m_pool.append(*v);
            m_ends.push_back(std::uint32_t(m_pool.size()));
            m_nulls.push_back(!v);
        }
    }
    // Known before the views hear of the new rows.
    Status s = st.status();
    m_whole = s.ok();
    m_lastPool = m_pool.size();
    m_lastCells = m_ends.size();
    endResetModel();
    return s;
}

std::string_view ReportModel::raw(int row, int column) const {
    const size_t i = slot(row, column);
    const size_t begin = i == 0 ? 0 : m_ends[i - 1];
    return std::string_view(m_pool.data() + begin, m_ends[i] - begin);
}

bool ReportModel::isNull(int row, int column) const {
    return m_nulls[slot(row, column)];
}

std::optional<double> ReportModel::number(int row, int column) const {
    if (row < 0 || row >= rows() || column < 0 || column >= int(m_columns.size()) ||
        isNull(row, column))
        return std::nullopt;
    return itext::storedNumber(raw(row, column));
}

QString ReportModel::cell(int row, int column) const {
    if (row < 0 || row >= rows() || column < 0 || column >= int(m_columns.size()))
        return QString();
    if (isNull(row, column))
        return QString();
    const std::string_view v = raw(row, column);
    switch (m_columns[size_t(column)].kind) {
    case CellKind::Text:
        return QString::fromUtf8(v.data(), qsizetype(v.size()));
    case CellKind::Number:
        return itext::storedNumberText(v);
    case CellKind::Fixed2: {
        const auto d = itext::storedNumber(v);
        return d ? itext::formatFixed2(*d) : QString::fromUtf8(v.data(), qsizetype(v.size()));
    }
    case CellKind::Money: {
        const auto d = itext::storedNumber(v);
        return d ? itext::formatGrouped2(*d) : QString::fromUtf8(v.data(), qsizetype(v.size()));
    }
    case CellKind::Date:
        return itext::storedDateText(v);
    }
    return QString();
}

int ReportModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows();
}

int ReportModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant ReportModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return QVariant();
    const ReportColumn& col = m_columns[size_t(index.column())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return cell(index.row(), index.column());
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(col.alignment | Qt::AlignVCenter);
    case Qt::FontRole:
        return col.bold ? QVariant(m_bold) : QVariant();
    default:
        return QVariant();
    }
}

QVariant ReportModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o != Qt::Horizontal || section < 0 || section >= int(m_columns.size()))
        return QVariant();
    if (role == Qt::DisplayRole)
        return m_columns[size_t(section)].heading;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(m_columns[size_t(section)].alignment | Qt::AlignVCenter);
    return QVariant();
}

void ReportModel::setBaseFont(const QFont& font) {
    m_bold = font;
    m_bold.setBold(true);
}

size_t ReportModel::memoryBytes() const {
    return m_pool.capacity() + m_ends.capacity() * sizeof(std::uint32_t) + m_nulls.capacity() / 8;
}

ReportView::ReportView(QWidget* parent) : QTreeView(parent), m_model(new ReportModel(this)) {
    setModel(m_model);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(false);
    m_model->setBaseFont(font());
    header()->setMinimumSectionSize(0);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    // The highlighted row is always the one Return and Space act on: wherever the keys move the
    // current row, the selection goes with it.
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid() && !selectionModel()->isRowSelected(current.row()))
                    selectionModel()->select(current, QItemSelectionModel::ClearAndSelect |
                                                          QItemSelectionModel::Rows);
            });
    connect(this, &QTreeView::clicked, this, [this](const QModelIndex&) {
        const int row = selectedRow();
        if (row >= 0)
            Q_EMIT rowClicked(row);
    });
}

void ReportView::setColumns(std::vector<ReportColumn> columns) {
    m_model->setColumns(columns);
    setWidths(columns);
}

void ReportView::setWidths(const std::vector<ReportColumn>& columns) {
    for (int i = 0; i < int(columns.size()); ++i) {
        const int w = twips::px(this, columns[size_t(i)].widthTwips);
        setColumnHidden(i, w == 0);
        setColumnWidth(i, w);
    }
}

Status ReportView::showRows(std::vector<ReportColumn> columns, Statement& st) {
    Snapshot source = st.snapshot();
    if (m_model->shows(columns, source)) {
        // As a list filled again would be: the design widths, nothing selected, the top in view.
        setWidths(columns);
        selectionModel()->clear();
        scrollToTop();
        return {};
    }
    setColumns(std::move(columns));
    Status s = m_model->fill(st);
    if (s)
        m_model->remember(std::move(source));
    return s;
}

void ReportView::changeEvent(QEvent* e) {
    QTreeView::changeEvent(e);
    if (e->type() == QEvent::FontChange)
        m_model->setBaseFont(font());
}

void ReportView::keyPressEvent(QKeyEvent* e) {
    const int key = e->key();
    const bool press = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
    if (!press || (e->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        QTreeView::keyPressEvent(e);
        return;
    }
    e->accept();
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return;
    const int row = current.row();
    selectRow(row);
    Q_EMIT rowClicked(row);
    Q_EMIT keyChosen(row);
}

int ReportView::selectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    int best = -1;
    for (const QModelIndex& i : rows)
        if (best < 0 || i.row() < best)
            best = i.row();
    return best;
}

void ReportView::selectRow(int row) {
    const QModelIndex i = m_model->index(row, 0);
    selectionModel()->select(i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    setCurrentIndex(i);
}

QRect ReportView::rowRect(int row) const {
    QRect r;
    for (int c = 0; c < m_model->columnCount(); ++c) {
        if (isColumnHidden(c) || columnWidth(c) < 4)
            continue;
        r = visualRect(m_model->index(row, c));
        if (r.isValid())
            break;
    }
    return r;
}
