#pragma once

#include <QDialog>

#include <functional>

struct Settings_Record;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "Serial Port Settings": the baud rate of the serial transport, and the framing it always uses,
// shown read-only. Not modal, stays on top. A changed rate is applied at the next open: the box is
// disabled while a transport is open.
class TForm_Com_Settings : public QDialog
{
    Q_OBJECT
public:
    // `settings_changed` runs after every stored change (the main window's Check_Settings_Changed).
    TForm_Com_Settings(
        Settings_Record& settings, std::function<void()> settings_changed, QWidget* parent = nullptr);

    // Refills the rate list, shows COM_Baud and makes the box usable only while no transport is
    // open. Nothing is stored.
    void Refresh_Baud_Rate(bool transport_closed);

private:
    // Stores the typed or chosen rate; a text that is not a number keeps the old one.
    void ComboBox_COM_BaudChange();
    void Button1Click();

    QLabel* Label_COM_Baud;
    QComboBox* ComboBox_COM_Baud;
    QLabel* Label_Data_Bits;
    QLineEdit* Edit_Data_Bits;
    QLabel* Label_Stop_Bits;
    QLineEdit* Edit_Stop_Bits;
    QLabel* Label_Parity;
    QLineEdit* Edit_Parity;
    QLabel* Label_Flow_Control;
    QLineEdit* Edit_Flow_Control;
    QPushButton* Button1;

    Settings_Record& Record;
    std::function<void()> Settings_Changed;
};
