#include "app/Data_Log_Key_Ring.h"

#include <algorithm>

bool Data_Log_Key_Ring::Feed(char key)
{
    Ring[Write_Index] = key;
    const bool code_complete = std::equal(Data_Log_Code.begin(), Data_Log_Code.end(), Ring.begin());
    Write_Index = (Write_Index + 1) % Ring_Size;
    if (!code_complete || Item_Shown)
        return false;
    Item_Shown = true;
    return true;
}
