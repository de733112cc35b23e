#include "ui/Object_List_Model.h"

#include "store/Fixed_Text.h"
#include "store/Object_Table.h"
#include "ui/List_Cell_Text.h"
#include "ui/List_Sort_Keys.h"

Object_List_Model::Object_List_Model(const Object_Table& object_table, QObject* parent)
    : List_Model(Object_List_Columns, Object_List_Header, Object_Count, parent)
    , table(object_table)
{ }

QVariant Object_List_Model::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.column() != Object_Account_Column || role != Qt::ToolTipRole)
        return List_Model::data(index, role);
    const std::uint32_t position = Slot_Of_Row(index.row());
    if (position == No_Slot)
        return {};
    const std::string_view account = Fixed_Text(table.Object(position).Account_Number);
    if (account.size() <= Line_Account_Width)
        return {};
    const std::string_view sent = account.substr(0, Line_Account_Width);
    return QString(QStringLiteral("Longer than the automation software's line carries: forwarded as ")
        + QString::fromLatin1(sent.data(), static_cast<qsizetype>(sent.size())));
}

List_Model::Store_Reading Object_List_Model::Read_Store()
{
    int used = 0;
    int last_used = -1;
    for (std::uint32_t position = 0; position < Object_Count; ++position) {
        if (table.Object(position).Last_Time != 0) {
            ++used;
            last_used = static_cast<int>(position);
        }
    }
    return {used, last_used + 1};
}

std::uint32_t Object_List_Model::Natural_Slot(int row) const
{
    return static_cast<std::uint32_t>(row);
}

int Object_List_Model::Natural_Row(std::uint32_t slot) const
{
    return static_cast<int>(slot);
}

bool Object_List_Model::Slot_Used(std::uint32_t slot) const
{
    return table.Object(slot).Last_Time != 0;
}

std::string_view Object_List_Model::Slot_Account(std::uint32_t slot) const
{
    return Fixed_Text(table.Object(slot).Account_Number);
}

int Object_List_Model::Compare_Slots(std::uint32_t a, std::uint32_t b, int column) const
{
    return Object_Compare(table.Object(a), table.Object(b), column);
}

bool Object_List_Model::Marked(std::uint32_t slot) const
{
    return (table.Supervision_Flags(slot) & Flag_Failed) != 0;
}

QString Object_List_Model::Cell_Text(std::uint32_t slot, int column) const
{
    return Object_Cell_Text(table.Object(slot), column);
}
