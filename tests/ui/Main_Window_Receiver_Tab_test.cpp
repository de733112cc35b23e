#include "ui/Main_Window_Fixture.h"

#include "app/Key_Entry.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

using Receiver_Page_Test = Main_Window_Test;

bool Key_Zero_From(const Settings_Record& settings, std::size_t first)
{
    return std::all_of(std::begin(settings.DC9_Encoding_Key) + first, std::end(settings.DC9_Encoding_Key),
        [](std::uint8_t byte) { return byte == 0; });
}

TEST_F(Receiver_Page_Test, First_Show_Fills_The_Page_And_Disables_Save)
{
    Form->show();
    EXPECT_EQ(Find<QLineEdit>("LabeledEdit_DC9_Port")->text(), QStringLiteral("7777"));
    EXPECT_EQ(Find<QLineEdit>("LabeledEdit_DC9_Conn_Timeout")->text(), QStringLiteral("30"));
    EXPECT_TRUE(Find<QRadioButton>("RadioButton_DC9_AES_Off")->isChecked());
    EXPECT_TRUE(Find<QRadioButton>("RadioButton_Aes_Key_Text")->isChecked());
    EXPECT_FALSE(Find<QPushButton>("BitBtn_Save")->isEnabled());
    EXPECT_EQ(Find<QLabel>("StatusBar1_Panel_0")->text(), QStringLiteral("Receiver port closed."));
}

TEST_F(Receiver_Page_Test, Typing_A_Port_Enables_Save_And_Typing_It_Back_Disables_It)
{
    Form->show();
    auto* port = Find<QLineEdit>("LabeledEdit_DC9_Port");
    auto* save = Find<QPushButton>("BitBtn_Save");
    EXPECT_EQ(port->maxLength(), 5);

    Retype(port, QStringLiteral("7778"));
    EXPECT_EQ(Settings.DC9_Port, 7778);
    EXPECT_TRUE(save->isEnabled());

    // An empty edit keeps the last value, and the way back to the saved value disables Save.
    port->selectAll();
    QTest::keyClick(port, Qt::Key_Backspace);
    EXPECT_EQ(Settings.DC9_Port, 7778);
    QTest::keyClicks(port, QStringLiteral("7777"));
    EXPECT_EQ(Settings.DC9_Port, 7777);
    EXPECT_FALSE(save->isEnabled());
    EXPECT_EQ(File_Settings().DC9_Port, 7777);
}

TEST_F(Receiver_Page_Test, Udp_Box_Is_On_For_Old_Files_And_Stores_Off_When_Cleared)
{
    Form->show();
    auto* udp = Find<QCheckBox>("CheckBox_DC9_Udp");
    EXPECT_TRUE(udp->isChecked()) << "the byte is 0 in every older file";
    QTest::mouseClick(udp, Qt::LeftButton);
    EXPECT_EQ(Settings.DC9_Udp_Off, 1);
    EXPECT_TRUE(Find<QPushButton>("BitBtn_Save")->isEnabled());
    // Fixed, like the other receiver settings, while the port is open.
    QTest::mouseClick(Find<QCheckBox>("CheckBox_DC9_Port_Enable"), Qt::LeftButton);
    EXPECT_FALSE(udp->isEnabled());
}

TEST_F(Receiver_Page_Test, Save_Asks_And_Writes_Only_On_Yes)
{
    Form->show();
    Retype(Find<QLineEdit>("LabeledEdit_DC9_Port"), QStringLiteral("8080"));
    auto* save = Find<QPushButton>("BitBtn_Save");

    Set_Next_Message_Box_Answer(Box_Answer::No);
    QTest::mouseClick(save, Qt::LeftButton);
    EXPECT_EQ(Last_Message_Box().Text, QStringLiteral("Save current settings?"));
    EXPECT_EQ(Last_Message_Box().Title, QStringLiteral("Varnek SIA-IP Receiver"));
    EXPECT_EQ(Last_Message_Box().Buttons, Box_Buttons::Yes_No);
    EXPECT_EQ(File_Settings().DC9_Port, 7777);
    EXPECT_TRUE(save->isEnabled());

    Set_Next_Message_Box_Answer(Box_Answer::Yes);
    QTest::mouseClick(save, Qt::LeftButton);
    EXPECT_EQ(File_Settings().DC9_Port, 8080);
    EXPECT_FALSE(save->isEnabled());
}

TEST_F(Receiver_Page_Test, Save_Stays_Enabled_When_The_File_Has_Gone)
{
    Form->show();
    Retype(Find<QLineEdit>("LabeledEdit_DC9_Port"), QStringLiteral("8080"));
    ASSERT_TRUE(QFile::remove(QString::fromStdString(Settings_Path)));
    Set_Next_Message_Box_Answer(Box_Answer::Yes);
    QTest::mouseClick(Find<QPushButton>("BitBtn_Save"), Qt::LeftButton);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Settings_Path)));
    EXPECT_TRUE(Find<QPushButton>("BitBtn_Save")->isEnabled());
}

TEST_F(Receiver_Page_Test, A_Time_Out_That_Is_No_Number_Keeps_The_Previous_Value)
{
    Form->show();
    auto* timeout = Find<QLineEdit>("LabeledEdit_DC9_Conn_Timeout");
    EXPECT_EQ(timeout->maxLength(), 3);
    Retype(timeout, QStringLiteral("45"));
    EXPECT_EQ(Settings.DC9_Conn_Timeout, 45);
    QTest::keyClicks(timeout, QStringLiteral("x"));
    EXPECT_EQ(timeout->text(), QStringLiteral("45x"));
    EXPECT_EQ(Settings.DC9_Conn_Timeout, 45);
    Retype(timeout, QStringLiteral("-"));
    EXPECT_EQ(Settings.DC9_Conn_Timeout, 45);
}

TEST_F(Receiver_Page_Test, An_Open_Port_Locks_Its_Own_Settings_But_Not_The_Key)
{
    int timer_resets = 0;
    Form->Hooks.Receiver_Enable_Clicked = [&timer_resets] { ++timer_resets; };
    Form->show();
    const char* const locked[]
        = {"LabeledEdit_DC9_Port", "LabeledEdit_DC9_Conn_Timeout", "CheckBox_Time_Synch"};
    const char* const key_controls[] = {"LabeledEdit_DC9_Encoding_Key", "RadioButton_DC9_AES_Off",
        "RadioButton_DC9_AES_128", "RadioButton_DC9_AES_192", "RadioButton_DC9_AES_256",
        "RadioButton_Aes_Key_Hex", "RadioButton_Aes_Key_Text", "CheckBox_Show_AES_Password"};

    auto* open = Find<QCheckBox>("CheckBox_DC9_Port_Enable");
    QTest::mouseClick(open, Qt::LeftButton);
    EXPECT_EQ(Settings.DC9_Port_Enable, 1);
    EXPECT_EQ(timer_resets, 1);
    EXPECT_TRUE(open->isEnabled());
    for (const char* name : locked)
        EXPECT_FALSE(Find<QWidget>(name)->isEnabled()) << name;
    for (const char* name : key_controls)
        EXPECT_TRUE(Find<QWidget>(name)->isEnabled()) << name;

    // A new key while the port is open is the key in force at once, and saving keeps the port open.
    Find<QRadioButton>("RadioButton_DC9_AES_128")->click();
    Retype(Find<QLineEdit>("LabeledEdit_DC9_Encoding_Key"), QStringLiteral("ABCDEFGHIJKLMNOP"));
    EXPECT_EQ(std::memcmp(Settings.DC9_Encoding_Key, "ABCDEFGHIJKLMNOP", 16), 0);
    Set_Next_Message_Box_Answer(Box_Answer::Yes);
    QTest::mouseClick(Find<QPushButton>("BitBtn_Save"), Qt::LeftButton);
    EXPECT_EQ(File_Settings().DC9_Port_Enable, 1);
    EXPECT_EQ(std::memcmp(File_Settings().DC9_Encoding_Key, "ABCDEFGHIJKLMNOP", 16), 0);

    // Offscreen nobody is asked: unticking closes the port as before.
    const int boxes = Message_Box_Count();
    QTest::mouseClick(open, Qt::LeftButton);
    EXPECT_EQ(Message_Box_Count(), boxes);
    EXPECT_EQ(Settings.DC9_Port_Enable, 0);
    EXPECT_EQ(timer_resets, 2);
    for (const char* name : locked)
        EXPECT_TRUE(Find<QWidget>(name)->isEnabled()) << name;
}

TEST_F(Receiver_Page_Test, Unticking_An_Open_Port_Asks_And_No_Keeps_It_Open)
{
    Settings.DC9_Port_Enable = 1;
    Form->show();
    auto* open = Find<QCheckBox>("CheckBox_DC9_Port_Enable");
    Message_Box_Request asked {};
    Set_Message_Box_Hook([&asked](const Message_Box_Request& request) {
        asked = request;
        return request.Default_Answer; // Enter
    });
    QTest::mouseClick(open, Qt::LeftButton);
    Set_Message_Box_Hook({});
    EXPECT_EQ(asked.Buttons, Box_Buttons::Yes_No);
    EXPECT_EQ(asked.Default_Answer, Box_Answer::No);
    EXPECT_TRUE(open->isChecked());
    EXPECT_EQ(Settings.DC9_Port_Enable, 1);

    Set_Next_Message_Box_Answer(Box_Answer::Yes);
    QTest::mouseClick(open, Qt::LeftButton);
    EXPECT_FALSE(open->isChecked());
    EXPECT_EQ(Settings.DC9_Port_Enable, 0);
}

TEST_F(Receiver_Page_Test, A_Saved_Open_State_Is_Shown_Locked)
{
    Settings.DC9_Port_Enable = 1;
    Settings.Time_Synch = 1;
    Form->show();
    EXPECT_TRUE(Find<QCheckBox>("CheckBox_DC9_Port_Enable")->isChecked());
    EXPECT_TRUE(Find<QCheckBox>("CheckBox_Time_Synch")->isChecked());
    EXPECT_FALSE(Find<QLineEdit>("LabeledEdit_DC9_Port")->isEnabled());
}

TEST_F(Receiver_Page_Test, Time_Synchronization_Is_Stored)
{
    Form->show();
    QTest::mouseClick(Find<QCheckBox>("CheckBox_Time_Synch"), Qt::LeftButton);
    EXPECT_EQ(Settings.Time_Synch, 1);
    EXPECT_TRUE(Find<QPushButton>("BitBtn_Save")->isEnabled());
}

TEST_F(Receiver_Page_Test, Text_Key_In_AES_192_Then_Hex_Shows_Every_Key_Byte)
{
    Form->show();
    Find<QRadioButton>("RadioButton_DC9_AES_192")->click();
    EXPECT_EQ(Settings.DC9_AES_Mode, 2);
    auto* key = Find<QLineEdit>("LabeledEdit_DC9_Encoding_Key");
    EXPECT_EQ(key->maxLength(), 24);

    Retype(key, QStringLiteral("ABCDEFGHIJKLMNOPQRST"));
    EXPECT_EQ(
        std::string(reinterpret_cast<const char*>(Settings.DC9_Encoding_Key), 20), "ABCDEFGHIJKLMNOPQRST");
    EXPECT_TRUE(Key_Zero_From(Settings, 20));
    EXPECT_TRUE(Find<QPushButton>("BitBtn_Save")->isEnabled());

    Find<QRadioButton>("RadioButton_Aes_Key_Hex")->click();
    EXPECT_EQ(key->maxLength(), 48);
    EXPECT_EQ(key->text(), QStringLiteral("4142434445464748494a4b4c4d4e4f505152535400000000"));
    // Showing the key in the other format does not change it.
    EXPECT_EQ(
        std::string(reinterpret_cast<const char*>(Settings.DC9_Encoding_Key), 20), "ABCDEFGHIJKLMNOPQRST");

    Find<QRadioButton>("RadioButton_Aes_Key_Text")->click();
    EXPECT_EQ(key->text(), QStringLiteral("ABCDEFGHIJKLMNOPQRST"));
    EXPECT_EQ(key->maxLength(), 24);
}

TEST_F(Receiver_Page_Test, Hex_Entry_Refuses_A_Non_Hex_Digit_With_A_Beep)
{
    Form->show();
    Find<QRadioButton>("RadioButton_DC9_AES_128")->click();
    Find<QRadioButton>("RadioButton_Aes_Key_Hex")->click();
    auto* key = Find<QLineEdit>("LabeledEdit_DC9_Encoding_Key");
    EXPECT_EQ(key->maxLength(), 32);

    const int beeps = System_Beep_Count();
    Retype(key, QStringLiteral("a1G"));
    EXPECT_EQ(key->text(), QStringLiteral("a1"));
    EXPECT_EQ(key->cursorPosition(), 2);
    EXPECT_EQ(System_Beep_Count(), beeps + 1);
    EXPECT_EQ(Settings.DC9_Encoding_Key[0], 0xA1);
    QTest::keyClicks(key, QStringLiteral("F2"));
    EXPECT_EQ(Settings.DC9_Encoding_Key[1], 0xF2);
}

TEST_F(Receiver_Page_Test, A_Hex_Key_Typed_Over_A_Longer_One_Replaces_It_Whole)
{
    for (std::size_t i = 0; i < 16; ++i)
        Settings.DC9_Encoding_Key[i] = static_cast<std::uint8_t>(0x10 + i);
    Settings.DC9_Encoding_Key[15] = 0x5A;
    Settings.DC9_AES_Mode = 1;
    Form->show();
    Find<QRadioButton>("RadioButton_Aes_Key_Hex")->click();
    auto* key = Find<QLineEdit>("LabeledEdit_DC9_Encoding_Key");
    ASSERT_EQ(key->text().size(), 32);
    EXPECT_TRUE(key->text().endsWith(QStringLiteral("5a")));

    key->end(false);
    QTest::keyClick(key, Qt::Key_Backspace);
    QTest::keyClick(key, Qt::Key_Backspace);
    EXPECT_EQ(key->text().size(), 30);
    EXPECT_EQ(Settings.DC9_Encoding_Key[15], 0x00) << "the byte no longer shown is no longer in force";
    EXPECT_EQ(Settings.DC9_Encoding_Key[14], 0x1E);

    Retype(key, QStringLiteral("ab"));
    EXPECT_EQ(Settings.DC9_Encoding_Key[0], 0xAB);
    EXPECT_TRUE(Key_Zero_From(Settings, 1));
}

TEST_F(Receiver_Page_Test, AES_256_To_AES_128_In_Text_Shows_The_Shorter_Key_And_Keeps_Its_Bytes)
{
    Form->show();
    Find<QRadioButton>("RadioButton_DC9_AES_256")->click();
    auto* key = Find<QLineEdit>("LabeledEdit_DC9_Encoding_Key");
    EXPECT_EQ(key->maxLength(), 32);
    const QString typed = QStringLiteral("0123456789abcdefghijklmnopqrstuv");
    Retype(key, typed);
    EXPECT_EQ(Settings.DC9_Encoding_Key[31], 'v');

    Find<QRadioButton>("RadioButton_DC9_AES_128")->click();
    EXPECT_EQ(Settings.DC9_AES_Mode, 1);
    EXPECT_EQ(key->text(), typed.left(16));
    EXPECT_EQ(key->maxLength(), 16);
    // The cipher takes the first 16 bytes; the refresh itself rewrites none.
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(Settings.DC9_Encoding_Key), 32), typed.toStdString());
}

// A key whose first L bytes hold a zero byte before others, as a hex-typed key or a settings file
// from elsewhere may: text would show it cut at the zero.
class Key_With_Zero_Test : public Main_Window_Test
{
protected:
    void SetUp() override
    {
        Main_Window_Test::SetUp();
        for (std::size_t i = 0; i < 32; ++i)
            Stored[i] = static_cast<std::uint8_t>('A' + i);
        Stored[5] = 0;
        Settings.DC9_AES_Mode = 1;
        std::memcpy(Settings.DC9_Encoding_Key, Stored, sizeof Stored);
        Save_Settings(Settings_Path, Settings);
    }

    bool Key_Unchanged() const { return std::memcmp(Settings.DC9_Encoding_Key, Stored, sizeof Stored) == 0; }

    Key_Bytes Stored {};
};

TEST_F(Key_With_Zero_Test, Showing_The_Window_Shows_It_In_Hex_And_Changes_No_Byte)
{
    Form->show();
    auto* key = Find<QLineEdit>("LabeledEdit_DC9_Encoding_Key");
    EXPECT_TRUE(Find<QRadioButton>("RadioButton_Aes_Key_Hex")->isChecked());
    EXPECT_EQ(key->text(), QStringLiteral("4142434445004748494a4b4c4d4e4f50"));
    EXPECT_EQ(key->maxLength(), 32);
    EXPECT_TRUE(Key_Unchanged());
    EXPECT_FALSE(Find<QPushButton>("BitBtn_Save")->isEnabled()) << "nothing to save";

    // Every later refresh keeps it too: a mode change and a click on "Text", which cannot show it.
    Find<QRadioButton>("RadioButton_DC9_AES_192")->click();
    EXPECT_EQ(key->text().size(), 48);
    Find<QRadioButton>("RadioButton_Aes_Key_Text")->click();
    EXPECT_TRUE(Find<QRadioButton>("RadioButton_Aes_Key_Hex")->isChecked());
    EXPECT_TRUE(Key_Unchanged());

    // The operator's own typing still changes it.
    key->end(false);
    QTest::keyClick(key, Qt::Key_Backspace);
    QTest::keyClicks(key, QStringLiteral("1"));
    EXPECT_EQ(Settings.DC9_Encoding_Key[23], ('A' + 23) / 16 * 16 + 1);
}

TEST_F(Key_With_Zero_Test, Save_After_Showing_The_Window_Writes_The_Whole_Key)
{
    Form->show();
    Find<QRadioButton>("RadioButton_DC9_AES_256")->click();
    Set_Next_Message_Box_Answer(Box_Answer::Yes);
    Find<QPushButton>("BitBtn_Save")->click();
    const Settings_Record stored = File_Settings();
    EXPECT_EQ(stored.DC9_AES_Mode, 3);
    EXPECT_EQ(std::memcmp(stored.DC9_Encoding_Key, Stored, sizeof Stored), 0);
}

TEST_F(Receiver_Page_Test, A_Text_Key_Shorter_Than_The_Key_Stays_In_Text)
{
    std::memcpy(Settings.DC9_Encoding_Key, "short", 5);
    Settings.DC9_AES_Mode = 3;
    Form->show();
    EXPECT_TRUE(Find<QRadioButton>("RadioButton_Aes_Key_Text")->isChecked());
    EXPECT_EQ(Find<QLineEdit>("LabeledEdit_DC9_Encoding_Key")->text(), QStringLiteral("short"));
}

TEST_F(Receiver_Page_Test, Show_Unmasks_The_Key)
{
    Form->show();
    auto* key = Find<QLineEdit>("LabeledEdit_DC9_Encoding_Key");
    EXPECT_EQ(key->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(key->font().bold());
    Find<QCheckBox>("CheckBox_Show_AES_Password")->click();
    EXPECT_EQ(key->echoMode(), QLineEdit::Normal);
    EXPECT_FALSE(key->font().bold());
    Find<QCheckBox>("CheckBox_Show_AES_Password")->click();
    EXPECT_EQ(key->echoMode(), QLineEdit::Password);
}

} // namespace
