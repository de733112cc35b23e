#include "ui/Data_Log_Window.h"
#include "ui/Log_Window_Fixture.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class Data_Log_Window_Test : public Log_Window_Test
{
protected:
    void SetUp() override
    {
        Log_Window_Test::SetUp();
        Window.Choose_Save_File = [this] { return Chosen; };
    }

    void Trigger(const char* action) { Window.findChild<QAction*>(QLatin1String(action))->trigger(); }
    QString Shown_Text() const
    {
        return Window.findChild<QPlainTextEdit*>(QStringLiteral("Memo_Log_Test"))->toPlainText();
    }

    QString Chosen;
    TForm_Log_Test Window;
};

TEST_F(Data_Log_Window_Test, Collects_Only_While_Visible_And_Clear_Empties_It)
{
    Window.Add_Line(QStringLiteral("hidden"));
    EXPECT_TRUE(Window.Lines().isEmpty());
    Window.show();
    EXPECT_EQ(Window.windowTitle(), QStringLiteral("Data Log"));
    Window.Add_Line(QString());
    Window.Add_Line(QStringLiteral("12:01:02:7  RX: 6"));
    Window.hide();
    Window.Add_Line(QStringLiteral("hidden again"));
    EXPECT_EQ(Window.Lines(), QStringList({QString(), QStringLiteral("12:01:02:7  RX: 6")}));
    Trigger("Clear1");
    EXPECT_TRUE(Window.Lines().isEmpty());
    EXPECT_TRUE(Shown_Text().isEmpty());
}

TEST_F(Data_Log_Window_Test, Says_When_It_Starts_And_Stops_Collecting)
{
    QSignalSpy changes(&Window, &TForm_Log_Test::Collecting_Changed);
    Window.show();
    ASSERT_EQ(changes.count(), 1);
    EXPECT_TRUE(changes.at(0).at(0).toBool());
    EXPECT_TRUE(Window.Maybe_Collecting());
    Window.hide();
    ASSERT_EQ(changes.count(), 2);
    EXPECT_FALSE(changes.at(1).at(0).toBool());
    EXPECT_FALSE(Window.Maybe_Collecting());
}

TEST_F(Data_Log_Window_Test, Save_Writes_The_Lines_And_Asks_Before_Overwriting)
{
    Window.show();
    Window.Add_Line(QStringLiteral("one"));
    Window.Add_Line(QStringLiteral("two"));
    Chosen = Folder.filePath(QStringLiteral("traffic.txt"));
    const int boxes = Message_Box_Count();
    Trigger("Meniu_Log_Save");
    EXPECT_EQ(Message_Box_Count(), boxes);
    EXPECT_EQ(File_Bytes(Chosen), QByteArray("one\r\ntwo\r\n"));

    Window.Add_Line(QStringLiteral("three"));
    Set_Next_Message_Box_Answer(Box_Answer::No);
    Trigger("Meniu_Log_Save");
    EXPECT_EQ(
        Last_Message_Box().Text, QStringLiteral("This file name already exist, do you want to override it?"));
    EXPECT_EQ(Last_Message_Box().Title, QStringLiteral("File name already exist"));
    EXPECT_EQ(File_Bytes(Chosen), QByteArray("one\r\ntwo\r\n"));

    Set_Next_Message_Box_Answer(Box_Answer::Yes);
    Trigger("Meniu_Log_Save");
    EXPECT_EQ(File_Bytes(Chosen), QByteArray("one\r\ntwo\r\nthree\r\n"));
}

TEST_F(Data_Log_Window_Test, A_Cancelled_Dialog_Writes_Nothing)
{
    Window.show();
    Window.Add_Line(QStringLiteral("one"));
    const int boxes = Message_Box_Count();
    Trigger("Meniu_Log_Save");
    EXPECT_EQ(Message_Box_Count(), boxes);
    EXPECT_TRUE(QDir(Folder.path()).isEmpty());
}

TEST_F(Data_Log_Window_Test, An_Unwritable_File_Is_Reported_And_The_Memo_Kept)
{
    Window.show();
    Window.Add_Line(QStringLiteral("one"));
    Chosen = Folder.filePath(QStringLiteral("no-such-folder/traffic.txt"));
    EXPECT_FALSE(Window.Save_To_File(Chosen));
    EXPECT_TRUE(Last_Message_Box().Text.contains(Chosen));
    EXPECT_EQ(Window.Lines(), QStringList({QStringLiteral("one")}));
}

// /dev/full opens and takes the bytes into the buffer, then fails with "no space left" when they
// reach it: the disk-full case that only the flush or the close can see.
TEST_F(Data_Log_Window_Test, A_Full_Disk_Is_Reported_And_Not_Taken_For_Success)
{
    if (!QFile::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full on this system";
    Window.show();
    Window.Add_Line(QStringLiteral("one"));
    const int boxes = Message_Box_Count();
    Set_Next_Message_Box_Answer(Box_Answer::Yes); // "already exist, override?"
    EXPECT_FALSE(Window.Save_To_File(QStringLiteral("/dev/full")));
    EXPECT_EQ(Message_Box_Count(), boxes + 2);
    EXPECT_TRUE(Last_Message_Box().Text.startsWith(QStringLiteral("Cannot write file \"/dev/full\".")))
        << Last_Message_Box().Text.toStdString();
    EXPECT_EQ(Window.Lines(), QStringList({QStringLiteral("one")}));
}

} // namespace
