#include "MapGridModel.h"

using namespace Qt::StringLiterals;

MapGridModel::MapGridModel(MapDocument* doc, QObject* parent) : QAbstractTableModel(parent), m_doc(doc) {}

const QStringList& MapGridModel::headerLabels()
{
    static const QStringList labels = QStringList{u"番号"_s} + MapDocument::columnLabels();
    return labels;
}

int MapGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : MapDocument::DestinationCount;
}

int MapGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : MapDocument::ColumnCount + 1;
}

QVariant MapGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    if (index.column() == 0)
        return destinationNumber(index.row());
    const QString& cell = m_doc->rows[index.row()][index.column() - 1];
    // A row shows one line; laying out kilobytes of description only to cut it off is slow.
    constexpr qsizetype Shown = 300;
    if (role == Qt::DisplayRole && cell.size() > Shown)
        return QString(cell.left(Shown) + u'…');
    return cell;
}

QVariant MapGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section < headerLabels().size())
        return headerLabels().at(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

void MapGridModel::refreshRow(int row) { emit dataChanged(index(row, 0), index(row, columnCount() - 1)); }

void MapGridModel::refresh()
{
    emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}
