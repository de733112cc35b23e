#include "ui/List_Model.h"

#include "base/Ascii.h"

#include <algorithm>

namespace {

// Whether `text` holds `upper` (in upper case) in any case.
bool Contains_Ignoring_Case(std::string_view text, std::string_view upper)
{
    return !std::ranges::search(text, upper, [](char a, char b) { return Ascii_Upper(a) == b; }).empty();
}

} // namespace

List_Model::List_Model(int column_count, Header_Text header_text, std::uint32_t slot_count, QObject* parent)
    : QAbstractTableModel(parent)
    , columns(column_count)
    , header(header_text)
    , slot_total(slot_count)
{
    order.reserve(slot_total);
    row_of_slot.assign(slot_total, -1);
}

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
    // A row without a record stays empty.
    const std::uint32_t slot = Slot_Of_Row(index.row());
    return slot == No_Slot ? QString() : Cell_Text(slot, index.column());
}

void List_Model::Set_Sort(int column, Qt::SortOrder order_wanted)
{
    sort_column = column >= 0 && column < columns ? column : No_Sort;
    sort_order = order_wanted;
}

void List_Model::Set_Account_Filter(const QString& text)
{
    account_filter = text.trimmed().toUpper().toStdString();
}

int List_Model::Refresh()
{
    const Store_Reading reading = Read_Store();
    natural_rows = reading.Natural_Rows;
    arranged = Arranged();
    if (arranged) {
        Arrange(reading.Natural_Rows);
        Show_Rows(static_cast<int>(order.size()));
    } else {
        shown = reading.Records;
        Show_Rows(reading.Natural_Rows);
    }
    return reading.Records;
}

void List_Model::Arrange(int natural_row_count)
{
    for (const std::uint32_t slot : order)
        row_of_slot[slot] = -1;
    order.clear();
    // The store's own order first, so equal keys keep it.
    for (int row = 0; row < natural_row_count; ++row) {
        const std::uint32_t slot = Natural_Slot(row);
        if (!Slot_Used(slot))
            continue;
        if (Filtered() && !Contains_Ignoring_Case(Slot_Account(slot), account_filter))
            continue;
        order.push_back(slot);
    }
    const bool descending = sort_order == Qt::DescendingOrder;
    std::ranges::stable_sort(order, [this, descending](std::uint32_t a, std::uint32_t b) {
        if (marked_first) {
            const bool a_first = Marked(a);
            if (a_first != Marked(b))
                return a_first;
        }
        if (sort_column == No_Sort)
            return false;
        const int compared = Compare_Slots(a, b, sort_column);
        return descending ? compared > 0 : compared < 0;
    });
    for (std::size_t row = 0; row < order.size(); ++row)
        row_of_slot[order[row]] = static_cast<int>(row);
    shown = static_cast<int>(order.size());
}

std::uint32_t List_Model::Slot_Of_Row(int row) const
{
    if (row < 0 || row >= rows)
        return No_Slot;
    if (arranged)
        return row < static_cast<int>(order.size()) ? order[static_cast<std::size_t>(row)] : No_Slot;
    if (row >= natural_rows)
        return No_Slot;
    const std::uint32_t slot = Natural_Slot(row);
    return Slot_Used(slot) ? slot : No_Slot;
}

int List_Model::Row_Of_Slot(std::uint32_t slot) const
{
    if (slot >= slot_total)
        return -1;
    if (arranged)
        return row_of_slot[slot];
    const int row = Natural_Row(slot);
    return row >= 0 && row < natural_rows && Slot_Used(slot) ? row : -1;
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
