#pragma once

#include "app/Data_Log_Key_Ring.h"
#include "base/Log_Writer.h"
#include "base/Settings_Record.h"
#include "output/Output_Transport.h"

#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTextDocument;
class QRadioButton;
class QSystemTrayIcon;
class QTabWidget;
class QTextEdit;
class TForm_Log;
class TForm_Log_Test;

// What the window asks of the parts that live outside it: timers, transports, the other windows and
// the program end. A hook left empty does nothing.
struct Main_Form_Hooks
{
    std::function<void()> Receiver_Enable_Clicked; // Timer_DC9 goes back to 1000 ms
    std::function<void()> Out_Port_Open_Clicked; // either "Open" box: Timer_Out 500 ms restart, countdown 0
    // The serial settings dialog's baud rate list: refilled, showing COM_Baud, usable only while no
    // transport is open.
    std::function<void(bool transport_closed)> Serial_Settings_Refresh;
    std::function<void()> Com_Ports_Available; // rebuilds the port list through Show_Com_Ports
    std::function<void()> Com_Settings_Clicked; // shows the serial settings dialog
    std::function<void()> Events_Clicked; // Form_Events
    std::function<void()> Object_List_Clicked; // Form_Latest_Events
    std::function<void()> Accounts_Clicked; // the Accounts window
    std::function<void()> Virtual_Ports_Clicked; // the virtual serial port tool
    std::function<void()> Hide_Other_Windows; // Form_Events, Form_Latest_Events on every close
    std::function<void()> Program_End; // once, when a close after "Exit" is allowed: the program ends
};

// The main window: the two settings pages over the process-wide settings record, the log view, the
// status bar, the menus and the notification-area icon. It is a view: ports, timers and threads
// live elsewhere and are reached through Hooks.
class TMain_Form : public QMainWindow
{
    Q_OBJECT
public:
    TMain_Form(Settings_Record& settings, std::string settings_path, Log_Writer& log_writer,
        QWidget* parent = nullptr);
    ~TMain_Form() override;

    // Lines the log view keeps; older ones remain in the monthly log file only.
    static constexpr int Log_View_Max_Lines = 10000;

    Main_Form_Hooks Hooks;

    // Edit rule: compares the record with the file and sets the Save button; true when they differ.
    bool Check_Settings_Changed();
    // Start-up ticks or unticks the box from the settings without going through the edit rule.
    void Set_Start_In_Background_Box(bool checked);
    // Hidden, minimised, and the notification-area icon shown. Without a notification area the
    // window is only minimised and its own context menu carries that icon's menu, so "Exit" stays
    // reachable. The check is replaceable for tests.
    void Enter_Background_Mode();
    std::function<bool()> System_Tray_Available;
    // The notification-area icon's look and tooltip follow the program's state; a new fault shows
    // a balloon.
    void Show_Tray_State(const QIcon& icon, const QString& tooltip);
    void Show_Fault_Balloon(const QString& text);

    // "Automation Software Interface" page, after the link changed the settings it shows.
    void Refresh_Mon_OutExecute();
    // Fills the serial port list without storing anything; selected outside the list selects none.
    void Show_Com_Ports(const QStringList& names, int selected);
    // While the serial port is open the list stays as it is and the box shows the port in use.
    void Show_Com_Port_Name(const QString& name);

    // Status bar: panel 0 the receiver, panel 1 the automation software link.
    void Set_Receiver_Status(const QString& text);
    void Set_Out_Status(const QString& text);

    // Data Log feeding: lines are taken only while that window is visible.
    bool Data_Log_Visible() const;
    // From any thread: false when a worker need not hand a Data Log line over at all.
    bool Data_Log_Maybe_Visible() const;
    void Data_Log_Add(const QString& line);

signals:
    // The Data Log was shown (true) or hidden (false): raw traffic is wanted only while it shows.
    void Data_Log_Collecting_Changed(bool collecting);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Create_Menu_Bar();
    void Create_Pages();
    QWidget* Create_Receiver_Page();
    QWidget* Create_Mon_Software_Page();
    void Connect_Receiver_Page();
    void Connect_Mon_Software_Page();
    void Create_Log_View();
    void Create_Status_Bar();
    void Create_Tray_Icon();
    void Add_Log_Line(const std::string& line, Log_Colour colour);
    void Drop_Oldest_Log_Lines(QTextDocument* document);
    void RichEdit_LogKeyPress(const QString& typed);
    void Show_Key();

    void BitBtn_SaveClick();
    void CheckBox_Start_In_BackgroundClick();
    void CheckBox_Start_In_BackgroundMouseMove();

    // "DC-09 Receiver" page.
    void Refresh_ReceiverExecute();
    void CheckBox_DC9_Port_EnableClick();
    void CheckBox_DC9_UdpClick();
    void LabeledEdit_DC9_PortChange();
    void LabeledEdit_DC9_Conn_TimeoutChange();
    void CheckBox_Time_SynchClick();
    void RadioButton_DC9_AES_Click(std::uint8_t mode);
    void RadioButton_Aes_Key_FormatClick();
    void LabeledEdit_DC9_Encoding_KeyChange();
    void CheckBox_Show_AES_PasswordClick();

    // "Automation Software Interface" page.
    // Unticking the box of the open transport asks first; No ticks it again.
    bool Output_Close_Confirmed(QCheckBox* box, Output_Transport transport);
    void CheckBox_Mon_Port_Open_TCPClick();
    void CheckBox_Mon_Port_Open_SerialClick();
    void RadioButton_Mon_ServerClick();
    void RadioButton_Mon_ClientClick();
    void LabeledEdit_Out_IPChange();
    void LabeledEdit_Mon_PortChange();
    void LabeledEdit_Test_Rec_NrChange();
    void LabeledEdit_Test_Heartbeat_PeriodChange();
    void ComboBox1Change();
    void ComboBox_COM_NrChange();

    // Background mode and the notification-area menu.
    void TrayIcon1Click();
    void Pop_ExitClick();

    void Meniu_LogClick();
    void ViewSystemLogs1Click();

    // Controls carry their names as objectName, which is how the tests find them.
    QAction* Meniu_Log;

    QTabWidget* PageControl_Receiver;
    QWidget* TabSheet1;
    QWidget* TabSheet_Mon_Software;
    QCheckBox* CheckBox_Start_In_Background;
    QPushButton* BitBtn_Save;
    QTextEdit* RichEdit_Log = nullptr;
    QLabel* Status_Panel_0;
    QLabel* Status_Panel_1;

    QCheckBox* CheckBox_DC9_Port_Enable;
    QCheckBox* CheckBox_DC9_Udp;
    QLineEdit* LabeledEdit_DC9_Port;
    QLineEdit* LabeledEdit_DC9_Conn_Timeout;
    QCheckBox* CheckBox_Time_Synch;
    QRadioButton* RadioButton_DC9_AES_Off;
    QRadioButton* RadioButton_DC9_AES_128;
    QRadioButton* RadioButton_DC9_AES_192;
    QRadioButton* RadioButton_DC9_AES_256;
    QLineEdit* LabeledEdit_DC9_Encoding_Key;
    QRadioButton* RadioButton_Aes_Key_Text;
    QRadioButton* RadioButton_Aes_Key_Hex;
    QCheckBox* CheckBox_Show_AES_Password;

    QCheckBox* CheckBox_Mon_Port_Open_Serial;
    QComboBox* ComboBox_COM_Nr;
    QPushButton* Button_Com_Settings;
    QCheckBox* CheckBox_Mon_Port_Open_TCP;
    QRadioButton* RadioButton_Mon_Server;
    QRadioButton* RadioButton_Mon_Client;
    QLineEdit* LabeledEdit_Out_IP;
    QLineEdit* LabeledEdit_Out_Listen_Address;
    QLineEdit* LabeledEdit_Mon_Port;
    QLineEdit* LabeledEdit_Test_Rec_Nr;
    QLineEdit* LabeledEdit_Test_Heartbeat_Period;
    QComboBox* ComboBox1;

    QSystemTrayIcon* TrayIcon1;

    Settings_Record& Record;
    std::string Settings_Path;
    Log_Writer& Writer;
    Log_Writer::Sink_Id View_Sink;
    Data_Log_Key_Ring Key_Ring;
    bool Exit_Was_Requested = false;
    bool Ended = false;
    std::unique_ptr<TForm_Log> Log_Window;
    std::unique_ptr<TForm_Log_Test> Data_Log_Window;
};
