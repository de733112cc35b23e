#pragma once

#include <cstdint>

// Whether the writes of one data file work, so that a failure is reported once when it starts and
// once when it ends instead of once per record.
enum class Write_Change : std::uint8_t { None, Started_Failing, Working_Again };

class Write_Health
{
public:
    // The outcome of one write: 0 for success, otherwise the system's error code.
    Write_Change Note(int error)
    {
        const bool was_failing = failing;
        failing = error != 0;
        if (failing)
            last_error = error;
        if (failing == was_failing)
            return Write_Change::None;
        return failing ? Write_Change::Started_Failing : Write_Change::Working_Again;
    }

    bool Failing() const { return failing; }
    int Last_Error() const { return last_error; }

private:
    bool failing = false;
    int last_error = 0;
};
