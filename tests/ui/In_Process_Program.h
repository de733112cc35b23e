#pragma once

// The whole program in the test's process, as its entry builds it: the station, then the window
// shell over it. The windows are found among the top-level widgets by their object names.

#include "app/Station.h"
#include "ui/Window_Shell.h"

#include <memory>

struct In_Process_Program
{
    Station station;
    std::unique_ptr<Window_Shell> shell;

    bool Start(bool background_this_run = false)
    {
        if (station.Start() != Station::Start_Result::Started)
            return false;
        shell = std::make_unique<Window_Shell>(station, background_this_run);
        return true;
    }

    // "Exit": the station ends, then the windows go before what they show.
    void End()
    {
        station.End();
        shell.reset();
    }
};
