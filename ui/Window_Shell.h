#pragma once

#include <QObject>
#include <QString>

#include <memory>

class Accounts_Window;
class QSoundEffect;
class Station;
class TForm_Com_Settings;
class TForm_Events;
class TForm_Latest_Events;
class TMain_Form;

// The windows over a started station: the main window with its tabs and tray icon, the Event List
// and Object List windows, the serial settings dialog, message boxes and the notification sound.
// It shows what the station says and hands the operator's actions to it; "Exit" ends the station
// and the event loop.
class Window_Shell : public QObject
{
    Q_OBJECT

public:
    // `background_this_run` starts hidden whatever the stored setting says, and leaves that setting
    // as it is.
    Window_Shell(Station& station, bool background_this_run);
    ~Window_Shell() override;

    // The box for a start that failed: another copy runs, or no data folder. Shown before any
    // window exists.
    static void Report_Start_Failure(bool already_running);

private:
    void Create_Store_Windows();
    void Wire_Station();
    void Wire_Serial_Page();
    void Com_Ports_AvailableExecute();
    void VirtualPortsTool1Click();
    void Play_Notification();
    // Once a second: the notification-area icon, its tooltip and a balloon for a new fault.
    void Update_Tray_State();
    void Enter_Start_Mode(bool background_this_run);

    Station& station;
    std::unique_ptr<TMain_Form> window;
    // The list windows live from start-up to the end, shown or not.
    std::unique_ptr<TForm_Events> events_window;
    std::unique_ptr<TForm_Latest_Events> objects_window;
    std::unique_ptr<Accounts_Window> accounts_window;
    TForm_Com_Settings* com_settings = nullptr; // a child of the window, which deletes it
    QSoundEffect* notification = nullptr;
    QString shown_faults;
};
