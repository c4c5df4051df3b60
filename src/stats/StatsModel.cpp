#include "StatsModel.h"

void StatsModel::setTable(stats::Table table) {
    beginResetModel();
    m_table = std::move(table);
    endResetModel();
}

QString StatsModel::text(int row, int column) const {
    if (row < 0 || row >= int(m_table.rows.size()) || column < 0 ||
        column >= int(m_table.columns.size()))
        return {};
    const auto& cells = m_table.rows[size_t(row)];
    if (column >= int(cells.size()))
        return {};
    return stats::display(cells[size_t(column)], m_table.columns[size_t(column)].kind);
}

int StatsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_table.rows.size());
}

int StatsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_table.columns.size());
}

QVariant StatsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const stats::Kind kind = m_table.columns[size_t(index.column())].kind;
    switch (role) {
    case Qt::DisplayRole:
        return text(index.row(), index.column());
    case Qt::TextAlignmentRole:
        if (kind == stats::Kind::Text)
            return int(Qt::AlignLeft | Qt::AlignVCenter);
        if (kind == stats::Kind::Date)
            return int(Qt::AlignHCenter | Qt::AlignVCenter);
        return int(Qt::AlignRight | Qt::AlignVCenter);
    case Qt::FontRole:
        if (index.row() >= int(m_table.rows.size()) - m_table.totalRows) {
            QFont f;
            f.setBold(true);
            return f;
        }
        return {};
    default:
        return {};
    }
}

QVariant StatsModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < int(m_table.columns.size()))
        return m_table.columns[size_t(section)].heading;
    return QAbstractTableModel::headerData(section, o, role);
}
