#include "ui/Object_List_Model.h"

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
