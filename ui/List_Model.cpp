#include "ui/List_Model.h"

List_Model::List_Model(int column_count, Header_Text header_text, QObject* parent)
    : QAbstractTableModel(parent)
    , columns(column_count)
    , header(header_text)
{ }

int List_Model::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows;
}

int List_Model::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : columns;
}

QVariant List_Model::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return header(section);
}

QVariant List_Model::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    return Cell_Text(index.row(), index.column());
}

void List_Model::Show_Rows(int wanted)
{
    if (wanted < 1)
        wanted = 1;
    // Rows come and go at the end, so the selected row and the scroll position stay where they are.
    if (wanted > rows) {
        beginInsertRows({}, rows, wanted - 1);
        rows = wanted;
        endInsertRows();
    } else if (wanted < rows) {
        beginRemoveRows({}, wanted, rows - 1);
        rows = wanted;
        endRemoveRows();
    }
    emit dataChanged(index(0, 0), index(rows - 1, columns - 1));
}
