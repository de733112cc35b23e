// The "Automation Software Interface" page of the main window: which transport carries the report
// lines, the heartbeat and the report format. Opening and supervising the transport happen
// elsewhere; this page only edits the settings and tells Hooks.

#include "ui/Main_Window.h"

#include "base/Edit_Values.h"
#include "base/Out_Listen_Address.h"
#include "base/Settings_File.h"
#include "output/Output_Transport.h"
#include "ui/Main_Window_Look.h"
#include "ui/Message_Box.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

namespace {

// Names and addresses are single-byte text in the settings record.
std::string Single_Byte_Text(const QString& text)
{
    return text.toLatin1().toStdString();
}

} // namespace

QWidget* TMain_Form::Create_Mon_Software_Page()
{
    auto* page = new QWidget(PageControl_Receiver);
    page->setObjectName(QStringLiteral("TabSheet_Mon_Software"));

    QGroupBox* port = Place_Group(page, QStringLiteral("Communication Port"), {6, 4, 290, 200});
    QGroupBox* serial = Place_Group(port, QStringLiteral("Serial"), {8, 20, 274, 60});
    CheckBox_Mon_Port_Open_Serial
        = Place_Control<QCheckBox>(serial, "CheckBox_Mon_Port_Open_Serial", QStringLiteral("Open"), {10, 28});
    ComboBox_COM_Nr = new QComboBox(serial);
    ComboBox_COM_Nr->setObjectName(QStringLiteral("ComboBox_COM_Nr"));
    ComboBox_COM_Nr->setGeometry(72, 26, 84, Edit_Height + 2);
    ComboBox_COM_Nr->setEditable(true);
    ComboBox_COM_Nr->setEditText(QStringLiteral("COM1"));
    Caption_Before(ComboBox_COM_Nr, QStringLiteral("Port:"));
    Button_Com_Settings
        = Place_Control<QPushButton>(serial, "Button_Com_Settings", QStringLiteral("Settings"), {0, 25});
    Button_Com_Settings->setGeometry(274 - 10 - 72, 25, 72, 25);

    QGroupBox* tcp = Place_Group(port, QStringLiteral("TCP/IP"), {8, 86, 274, 106});
    CheckBox_Mon_Port_Open_TCP
        = Place_Control<QCheckBox>(tcp, "CheckBox_Mon_Port_Open_TCP", QStringLiteral("Open"), {10, 24});
    RadioButton_Mon_Server
        = Place_Control<QRadioButton>(tcp, "RadioButton_Mon_Server", QStringLiteral("Server mode"), {72, 24});
    RadioButton_Mon_Client = Place_Control<QRadioButton>(tcp, "RadioButton_Mon_Client",
        QStringLiteral("Client mode"), {RadioButton_Mon_Server->geometry().right() + 12, 24});
    LabeledEdit_Out_IP = Labeled_Edit(tcp, "LabeledEdit_Out_IP", QStringLiteral("IP: "), {10, 50}, 110, 15);
    LabeledEdit_Mon_Port = Labeled_Edit(tcp, "LabeledEdit_Mon_Port", QStringLiteral("Port: "),
        {LabeledEdit_Out_IP->geometry().right() + 14, 50}, 56, 5);
    LabeledEdit_Out_Listen_Address = Labeled_Edit(tcp, "LabeledEdit_Out_Listen_Address",
        QStringLiteral("Listen on: "), {LabeledEdit_Out_IP->x(), 78}, 110, 15);
    LabeledEdit_Out_Listen_Address->setPlaceholderText(QStringLiteral("every address"));
    LabeledEdit_Out_Listen_Address->setToolTip(
        QStringLiteral("Server mode: the address the port listens on. Empty for every address, "
                       "127.0.0.1 for automation software on this computer"));

    QGroupBox* heartbeat
        = Place_Group(page, QStringLiteral("Supervisory Heartbeat Signal"), {302, 4, 183, 108});
    LabeledEdit_Test_Rec_Nr = Labeled_Edit(
        heartbeat, "LabeledEdit_Test_Rec_Nr", QStringLiteral("Receiver Number: "), {10, 32}, 56, 6);
    LabeledEdit_Test_Heartbeat_Period = Labeled_Edit(
        heartbeat, "LabeledEdit_Test_Heartbeat_Period", QStringLiteral("Sending Period: "), {10, 70}, 32, 3);
    // Both edits start where the longer caption ends.
    LabeledEdit_Test_Heartbeat_Period->move(
        LabeledEdit_Test_Rec_Nr->x(), LabeledEdit_Test_Heartbeat_Period->y());
    LabeledEdit_Test_Heartbeat_Period->setToolTip(QStringLiteral("Enter 0 to disable the Heartbeat Signal"));
    Caption_After(LabeledEdit_Test_Heartbeat_Period, QStringLiteral("sec."));

    QGroupBox* format = Place_Group(page, QStringLiteral("Report Format"), {302, 116, 183, 88});
    ComboBox1 = new QComboBox(format);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setGeometry(10, 38, 163, Edit_Height + 2);
    ComboBox1->addItems({QStringLiteral("SG MLR2-DG"), QStringLiteral("SG MLR2000")});
    return page;
}

// As on the receiver page, programmatic changes fire the handlers like the operator's.
void TMain_Form::Connect_Mon_Software_Page()
{
    connect(
        CheckBox_Mon_Port_Open_TCP, &QCheckBox::toggled, this, &TMain_Form::CheckBox_Mon_Port_Open_TCPClick);
    connect(CheckBox_Mon_Port_Open_Serial, &QCheckBox::toggled, this,
        &TMain_Form::CheckBox_Mon_Port_Open_SerialClick);
    connect(RadioButton_Mon_Server, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            RadioButton_Mon_ServerClick();
    });
    connect(RadioButton_Mon_Client, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            RadioButton_Mon_ClientClick();
    });
    connect(LabeledEdit_Out_IP, &QLineEdit::textChanged, this, &TMain_Form::LabeledEdit_Out_IPChange);
    connect(LabeledEdit_Mon_Port, &QLineEdit::textChanged, this, &TMain_Form::LabeledEdit_Mon_PortChange);
    connect(LabeledEdit_Out_Listen_Address, &QLineEdit::textChanged, this, [this] {
        Set_Out_Listen_Address(Record, Single_Byte_Text(LabeledEdit_Out_Listen_Address->text()));
        Check_Settings_Changed();
    });
    connect(
        LabeledEdit_Test_Rec_Nr, &QLineEdit::textChanged, this, &TMain_Form::LabeledEdit_Test_Rec_NrChange);
    connect(LabeledEdit_Test_Heartbeat_Period, &QLineEdit::textChanged, this,
        &TMain_Form::LabeledEdit_Test_Heartbeat_PeriodChange);
    connect(ComboBox1, &QComboBox::currentIndexChanged, this, &TMain_Form::ComboBox1Change);
    connect(ComboBox_COM_Nr, &QComboBox::currentTextChanged, this, &TMain_Form::ComboBox_COM_NrChange);
    connect(Button_Com_Settings, &QPushButton::clicked, this, [this] {
        if (Hooks.Com_Settings_Clicked)
            Hooks.Com_Settings_Clicked();
    });
}

bool TMain_Form::Output_Close_Confirmed(QCheckBox* box, Output_Transport transport)
{
    if (box->isChecked() || Transport_Of(Record) != transport
        || Operator_Confirms(this,
            QStringLiteral("Close the automation software port? Events wait as \"Pending\" until it is "
                           "opened again."),
            windowTitle()))
        return true;
    const QSignalBlocker quiet(box);
    box->setChecked(true);
    return false;
}

void TMain_Form::CheckBox_Mon_Port_Open_TCPClick()
{
    if (!Output_Close_Confirmed(CheckBox_Mon_Port_Open_TCP, Output_Transport::Tcp))
        return;
    Set_Transport(
        Record, CheckBox_Mon_Port_Open_TCP->isChecked() ? Output_Transport::Tcp : Output_Transport::Closed);
    if (Hooks.Out_Port_Open_Clicked)
        Hooks.Out_Port_Open_Clicked();
    Refresh_Mon_OutExecute();
}

void TMain_Form::CheckBox_Mon_Port_Open_SerialClick()
{
    if (!Output_Close_Confirmed(CheckBox_Mon_Port_Open_Serial, Output_Transport::Serial))
        return;
    Set_Transport(Record,
        CheckBox_Mon_Port_Open_Serial->isChecked() ? Output_Transport::Serial : Output_Transport::Closed);
    if (Hooks.Out_Port_Open_Clicked)
        Hooks.Out_Port_Open_Clicked();
    Refresh_Mon_OutExecute();
}

void TMain_Form::RadioButton_Mon_ServerClick()
{
    Record.Mon_Server_Mode = 1;
    Refresh_Mon_OutExecute();
}

void TMain_Form::RadioButton_Mon_ClientClick()
{
    Record.Mon_Server_Mode = 0;
    Refresh_Mon_OutExecute();
}

void TMain_Form::LabeledEdit_Out_IPChange()
{
    Set_Out_IP(Record, Single_Byte_Text(LabeledEdit_Out_IP->text()));
    Check_Settings_Changed();
}

void TMain_Form::LabeledEdit_Mon_PortChange()
{
    if (const auto value = Decimal_Value(LabeledEdit_Mon_Port->text().toStdString()))
        Record.Mon_Port = *value;
    Check_Settings_Changed();
}

void TMain_Form::LabeledEdit_Test_Rec_NrChange()
{
    // Only the low 8 bits are kept; readers take the byte as signed.
    if (const auto value = Decimal_Value(LabeledEdit_Test_Rec_Nr->text().toStdString()))
        Record.Test_Rec_Nr = static_cast<std::int8_t>(static_cast<std::uint8_t>(*value & 0xFF));
    Check_Settings_Changed();
}

void TMain_Form::LabeledEdit_Test_Heartbeat_PeriodChange()
{
    if (const auto value = Decimal_Value(LabeledEdit_Test_Heartbeat_Period->text().toStdString()))
        Record.Test_Heartbeat_Period = *value;
    Check_Settings_Changed();
}

void TMain_Form::ComboBox1Change()
{
    if (ComboBox1->currentIndex() >= 0)
        Record.Report_Format = static_cast<std::uint8_t>(ComboBox1->currentIndex());
    Check_Settings_Changed();
}

void TMain_Form::ComboBox_COM_NrChange()
{
    Set_Com_Port_Name(Record, Single_Byte_Text(ComboBox_COM_Nr->currentText()));
    Check_Settings_Changed();
}

void TMain_Form::Show_Com_Ports(const QStringList& names, int selected)
{
    const QSignalBlocker quiet(ComboBox_COM_Nr);
    ComboBox_COM_Nr->clear();
    ComboBox_COM_Nr->addItems(names);
    ComboBox_COM_Nr->setCurrentIndex(selected >= 0 && selected < names.size() ? selected : -1);
}

void TMain_Form::Show_Com_Port_Name(const QString& name)
{
    const QSignalBlocker quiet(ComboBox_COM_Nr);
    ComboBox_COM_Nr->setEditText(name);
}

void TMain_Form::Refresh_Mon_OutExecute()
{
    LabeledEdit_Mon_Port->setText(QString::number(Record.Mon_Port));
    LabeledEdit_Test_Rec_Nr->setText(QString::number(Record.Test_Rec_Nr));
    const std::string address = Out_IP_Text(Record);
    LabeledEdit_Out_IP->setText(QString::fromLatin1(address.data(), static_cast<qsizetype>(address.size())));
    const std::string listen = Out_Listen_Address_Text(Record);
    LabeledEdit_Out_Listen_Address->setText(
        QString::fromLatin1(listen.data(), static_cast<qsizetype>(listen.size())));
    LabeledEdit_Test_Heartbeat_Period->setText(QString::number(Record.Test_Heartbeat_Period));

    const Output_Transport transport = Transport_Of(Record);
    const bool open = transport != Output_Transport::Closed;
    if (open) {
        const bool tcp = transport == Output_Transport::Tcp;
        QCheckBox* chosen = tcp ? CheckBox_Mon_Port_Open_TCP : CheckBox_Mon_Port_Open_Serial;
        QCheckBox* other = tcp ? CheckBox_Mon_Port_Open_Serial : CheckBox_Mon_Port_Open_TCP;
        {
            // Unticking the other box must not store its "closed" over the open transport.
            const QSignalBlocker quiet(other);
            other->setChecked(false);
        }
        other->setEnabled(false);
        chosen->setEnabled(true);
        chosen->setChecked(true);
    } else {
        for (QCheckBox* box : {CheckBox_Mon_Port_Open_TCP, CheckBox_Mon_Port_Open_Serial}) {
            box->setEnabled(true);
            box->setChecked(false);
        }
    }
    // The transport's settings are fixed while it is open.
    QWidget* const transport_controls[] = {ComboBox_COM_Nr, LabeledEdit_Mon_Port, RadioButton_Mon_Server,
        RadioButton_Mon_Client, Button_Com_Settings};
    for (QWidget* control : transport_controls)
        Set_Usable(control, !open);
    Set_Usable(LabeledEdit_Out_IP, !open && Record.Mon_Server_Mode == 0);
    Set_Usable(LabeledEdit_Out_Listen_Address, !open && Record.Mon_Server_Mode == 1);

    (Record.Mon_Server_Mode == 1 ? RadioButton_Mon_Server : RadioButton_Mon_Client)->setChecked(true);
    if (Hooks.Serial_Settings_Refresh)
        Hooks.Serial_Settings_Refresh(!open);
    if (Record.Report_Format < ComboBox1->count())
        ComboBox1->setCurrentIndex(Record.Report_Format);
    Check_Settings_Changed();
}
