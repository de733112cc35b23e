#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

inline constexpr std::string_view Data_Log_Code = "mur ok";

// Watches the keys typed into the read-only log view for the code that reveals the Data Log menu
// item. The code counts only when it fills positions 0 to 5 of the 16-key ring, i.e. when it is
// typed as keys 1 to 6 of a 16-key cycle (the first six keys of the run, or keys 17 to 22, ...).
class Data_Log_Key_Ring
{
public:
    // Stores the key and returns true exactly once per run: on the key that completes the code
    // while the item is still hidden. The caller shows the item and beeps.
    bool Feed(char key);
    bool Unlocked() const { return Item_Shown; }

private:
    static constexpr std::size_t Ring_Size = 16;
    std::array<char, Ring_Size> Ring {};
    std::size_t Write_Index = 0;
    bool Item_Shown = false;
};
