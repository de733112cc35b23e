#include "ui/Main_Window_Fixture.h"

#include "output/Output_Transport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

namespace {

class Output_Page_Test : public Main_Window_Test
{
protected:
    void SetUp() override
    {
        Main_Window_Test::SetUp();
        Form->Hooks.Out_Port_Open_Clicked = [this] { ++Open_Clicks; };
        Form->Hooks.Com_Ports_Available = [this] { ++Port_List_Refreshes; };
        Form->Hooks.Serial_Settings_Refresh
            = [this](bool transport_closed) { Baud_Box_Usable = transport_closed; };
        Form->show();
        Find<QTabWidget>("PageControl_Receiver")->setCurrentIndex(1);
    }

    int Open_Clicks = 0;
    int Port_List_Refreshes = 0;
    bool Baud_Box_Usable = false;
};

TEST_F(Output_Page_Test, Showing_The_Page_Refreshes_It_And_The_Port_List)
{
    EXPECT_EQ(Port_List_Refreshes, 1);
    EXPECT_TRUE(Baud_Box_Usable);
    EXPECT_EQ(Find<QLineEdit>("LabeledEdit_Mon_Port")->text(), QStringLiteral("9999"));
    EXPECT_EQ(Find<QLineEdit>("LabeledEdit_Out_IP")->text(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(Find<QLineEdit>("LabeledEdit_Test_Rec_Nr")->text(), QStringLiteral("1"));
    EXPECT_EQ(Find<QLineEdit>("LabeledEdit_Test_Heartbeat_Period")->text(), QStringLiteral("30"));
    EXPECT_TRUE(Find<QRadioButton>("RadioButton_Mon_Server")->isChecked());
    // The address matters only to a client.
    EXPECT_FALSE(Find<QLineEdit>("LabeledEdit_Out_IP")->isEnabled());
    EXPECT_EQ(Find<QComboBox>("ComboBox_COM_Nr")->currentText(), QStringLiteral("COM1"));
    EXPECT_EQ(Find<QComboBox>("ComboBox1")->currentText(), QStringLiteral("SG MLR2-DG"));
    EXPECT_FALSE(Find<QPushButton>("BitBtn_Save")->isEnabled());
}

TEST_F(Output_Page_Test, TCP_Open_Locks_The_Transport_Settings)
{
    auto* tcp = Find<QCheckBox>("CheckBox_Mon_Port_Open_TCP");
    QTest::mouseClick(tcp, Qt::LeftButton);
    EXPECT_EQ(Transport_Of(Settings), Output_Transport::Tcp);
    EXPECT_EQ(Open_Clicks, 1);
    EXPECT_FALSE(Baud_Box_Usable);
    EXPECT_FALSE(Find<QCheckBox>("CheckBox_Mon_Port_Open_Serial")->isEnabled());
    for (const char* name : {"ComboBox_COM_Nr", "LabeledEdit_Mon_Port", "LabeledEdit_Out_IP",
             "RadioButton_Mon_Server", "RadioButton_Mon_Client", "Button_Com_Settings"})
        EXPECT_FALSE(Find<QWidget>(name)->isEnabled()) << name;
    EXPECT_TRUE(Find<QPushButton>("BitBtn_Save")->isEnabled());

    // Where someone can answer, unticking asks first and Enter (No) keeps the link open.
    Set_Message_Box_Hook([](const Message_Box_Request& request) { return request.Default_Answer; });
    QTest::mouseClick(tcp, Qt::LeftButton);
    Set_Message_Box_Hook({});
    EXPECT_EQ(Last_Message_Box().Default_Answer, Box_Answer::No);
    EXPECT_TRUE(tcp->isChecked());
    EXPECT_EQ(Transport_Of(Settings), Output_Transport::Tcp);
    EXPECT_EQ(Open_Clicks, 1);

    // Offscreen nobody is asked.
    QTest::mouseClick(tcp, Qt::LeftButton);
    EXPECT_EQ(Transport_Of(Settings), Output_Transport::Closed);
    EXPECT_TRUE(Find<QCheckBox>("CheckBox_Mon_Port_Open_Serial")->isEnabled());
    EXPECT_TRUE(Find<QWidget>("LabeledEdit_Mon_Port")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>("BitBtn_Save")->isEnabled());
}

TEST_F(Output_Page_Test, Serial_Open_Stores_2_And_Closing_Stores_0)
{
    auto* serial = Find<QCheckBox>("CheckBox_Mon_Port_Open_Serial");
    QTest::mouseClick(serial, Qt::LeftButton);
    EXPECT_EQ(Transport_Of(Settings), Output_Transport::Serial);
    EXPECT_FALSE(Find<QCheckBox>("CheckBox_Mon_Port_Open_TCP")->isEnabled());
    EXPECT_FALSE(Find<QCheckBox>("CheckBox_Mon_Port_Open_TCP")->isChecked());
    QTest::mouseClick(serial, Qt::LeftButton);
    EXPECT_EQ(Transport_Of(Settings), Output_Transport::Closed);
    EXPECT_EQ(Open_Clicks, 2);
}

TEST_F(Output_Page_Test, A_Transport_Closed_From_Outside_Is_Shown_Closed)
{
    QTest::mouseClick(Find<QCheckBox>("CheckBox_Mon_Port_Open_Serial"), Qt::LeftButton);
    Set_Transport(Settings, Output_Transport::Closed); // the serial port could not be opened
    Form->Refresh_Mon_OutExecute();
    EXPECT_FALSE(Find<QCheckBox>("CheckBox_Mon_Port_Open_Serial")->isChecked());
    EXPECT_TRUE(Find<QCheckBox>("CheckBox_Mon_Port_Open_TCP")->isEnabled());
    EXPECT_EQ(Transport_Of(Settings), Output_Transport::Closed);
}

TEST_F(Output_Page_Test, Client_Mode_Makes_The_Address_Editable)
{
    Find<QRadioButton>("RadioButton_Mon_Client")->click();
    EXPECT_EQ(Settings.Mon_Server_Mode, 0);
    auto* address = Find<QLineEdit>("LabeledEdit_Out_IP");
    EXPECT_TRUE(address->isEnabled());
    EXPECT_EQ(address->maxLength(), 15);
    Retype(address, QStringLiteral("10.1.2.3"));
    EXPECT_EQ(Out_IP_Text(Settings), "10.1.2.3");
    EXPECT_EQ(Settings.Out_IP[8], '\0');
    Find<QRadioButton>("RadioButton_Mon_Server")->click();
    EXPECT_EQ(Settings.Mon_Server_Mode, 1);
    EXPECT_FALSE(address->isEnabled());
}

// Only a server listens: its address is edited in server mode and lands in its own bytes.
TEST_F(Output_Page_Test, ListenAddressIsEditedInServerModeOnly)
{
    auto* listen = Find<QLineEdit>("LabeledEdit_Out_Listen_Address");
    EXPECT_TRUE(listen->isEnabled());
    EXPECT_EQ(listen->text(), QString()) << "every address by default";
    Retype(listen, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(std::string(Settings.Out_Listen_Address, 10), std::string("127.0.0.1\0", 10));
    EXPECT_TRUE(Find<QPushButton>("BitBtn_Save")->isEnabled());
    Find<QRadioButton>("RadioButton_Mon_Client")->click();
    EXPECT_FALSE(listen->isEnabled());
}

TEST_F(Output_Page_Test, Port_Changed_And_Changed_Back_Leaves_Save_Disabled)
{
    auto* port = Find<QLineEdit>("LabeledEdit_Mon_Port");
    Retype(port, QStringLiteral("9998"));
    EXPECT_EQ(Settings.Mon_Port, 9998);
    EXPECT_TRUE(Find<QPushButton>("BitBtn_Save")->isEnabled());
    Retype(port, QStringLiteral("9999"));
    EXPECT_FALSE(Find<QPushButton>("BitBtn_Save")->isEnabled());
}

TEST_F(Output_Page_Test, Receiver_Number_Keeps_The_Low_8_Bits)
{
    auto* number = Find<QLineEdit>("LabeledEdit_Test_Rec_Nr");
    EXPECT_EQ(number->maxLength(), 6);
    Retype(number, QStringLiteral("300"));
    EXPECT_EQ(Settings.Test_Rec_Nr, 44);
    Retype(number, QStringLiteral("200"));
    EXPECT_EQ(Settings.Test_Rec_Nr, -56);
    Form->Refresh_Mon_OutExecute();
    EXPECT_EQ(number->text(), QStringLiteral("-56"));
    EXPECT_EQ(Settings.Test_Rec_Nr, -56);
}

TEST_F(Output_Page_Test, Heartbeat_Period_And_Report_Format)
{
    auto* period = Find<QLineEdit>("LabeledEdit_Test_Heartbeat_Period");
    EXPECT_EQ(period->toolTip(), QStringLiteral("Enter 0 to disable the Heartbeat Signal"));
    Retype(period, QStringLiteral("0"));
    EXPECT_EQ(Settings.Test_Heartbeat_Period, 0);

    Find<QComboBox>("ComboBox1")->setCurrentIndex(1);
    EXPECT_EQ(Settings.Report_Format, 1);
    EXPECT_TRUE(Find<QPushButton>("BitBtn_Save")->isEnabled());
}

TEST_F(Output_Page_Test, Typed_Port_Names_Are_Stored_But_A_Listed_Selection_Is_Not)
{
    auto* ports = Find<QComboBox>("ComboBox_COM_Nr");
    Form->Show_Com_Ports({QStringLiteral("COM1"), QStringLiteral("COM3"), QStringLiteral("COM4")}, 2);
    EXPECT_EQ(ports->currentText(), QStringLiteral("COM4"));
    EXPECT_EQ(Com_Port_Name(Settings), "");
    Form->Show_Com_Ports({QStringLiteral("COM1")}, 1);
    EXPECT_EQ(ports->currentIndex(), -1);

    ports->lineEdit()->clear();
    QTest::keyClicks(ports->lineEdit(), QStringLiteral("COM7"));
    EXPECT_EQ(Com_Port_Name(Settings), "COM7");
    EXPECT_TRUE(Find<QPushButton>("BitBtn_Save")->isEnabled());
}

} // namespace
