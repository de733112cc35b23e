#pragma once

// The whole program in the test's process, as its entry builds it: the station, then the window
// shell over it. The windows are found among the top-level widgets by their object names.

#include "app/Station.h"
#include "ui/Message_Box.h"
#include "ui/Window_Shell.h"

#include <QApplication>
#include <QWidget>

#include <memory>
#include <string>

// The program's data below `home`, as a fresh user's; no window closing ends the event loop, and
// no test's message box hook is left over.
inline void Use_Home_Folder(const std::string& home)
{
    qputenv("HOME", QByteArray::fromStdString(home));
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(home));
    qunsetenv("XDG_DATA_HOME");
    QApplication::setQuitOnLastWindowClosed(false);
    Set_Message_Box_Hook({});
}

// A top-level window by its object name; null when there is none.
inline QWidget* Top_Level_Window(const char* name)
{
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName() == QLatin1String(name))
            return window;
    return nullptr;
}

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
