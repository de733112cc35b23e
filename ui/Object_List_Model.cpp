#include "ui/Object_List_Model.h"

#include "store/Fixed_Text.h"
#include "store/Object_Table.h"
#include "ui/List_Cell_Text.h"

Object_List_Model::Object_List_Model(const Object_Table& object_table, QObject* parent)
    : List_Model(Object_List_Columns, Object_List_Header, parent)
    , table(object_table)
{ }

QString Object_List_Model::Cell_Text(int row, int column) const
{
    const Object_Record& record = table.Object(static_cast<std::uint32_t>(row));
    return record.Last_Time == 0 ? QString() : Object_Cell_Text(record, column);
}

QVariant Object_List_Model::data(const QModelIndex& index, int role) const
{
    constexpr int Account_Column = 1;
    if (!index.isValid() || index.column() != Account_Column || role != Qt::ToolTipRole)
        return List_Model::data(index, role);
    const std::string_view account
        = Fixed_Text(table.Object(static_cast<std::uint32_t>(index.row())).Account_Number);
    if (account.size() <= Line_Account_Width)
        return {};
    const std::string_view sent = account.substr(0, Line_Account_Width);
    return QString(QStringLiteral("Longer than the automation software's line carries: forwarded as ")
        + QString::fromLatin1(sent.data(), static_cast<qsizetype>(sent.size())));
}

int Object_List_Model::Refresh()
{
    int used = 0;
    int last_used = -1;
    for (std::uint32_t position = 0; position < Object_Count; ++position) {
        if (table.Object(position).Last_Time != 0) {
            ++used;
            last_used = static_cast<int>(position);
        }
    }
    Show_Rows(last_used + 1);
    return used;
}
