#include "app/Log.h"
#include "app/Log_test.h"
#include "app/Message_Box.h"
#include "base/Log_Writer.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QByteArray File_Bytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

class System_Log_Window_Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Folder.isValid());
        Set_Message_Box_Hook({});
    }

    QString Log_File() const { return QString::fromStdString(Writer.Current_Log_File()); }

    QTemporaryDir Folder;
    Log_Writer Writer {Folder.path().toStdString() + "/", {}, nullptr};
    TForm_Log Window {Writer};
};

TEST_F(System_Log_Window_Test, Shows_The_Current_File_And_Follows_It_While_Visible)
{
    Writer.Log_Message("before the window");
    Window.show();
    EXPECT_EQ(Window.windowTitle(), QStringLiteral("System Log"));
    EXPECT_TRUE(Window.Memo_Log->toPlainText().endsWith(QStringLiteral("  before the window")));
    Writer.Log_Message("while it is open");
    const QStringList lines = Window.Memo_Log->toPlainText().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("  while it is open")));

    Window.hide();
    Writer.Log_Message("while it is hidden");
    EXPECT_EQ(Window.Memo_Log->toPlainText().split(QLatin1Char('\n')).size(), 2);
}

TEST_F(System_Log_Window_Test, Clear_Asks_First_And_Cancel_Keeps_The_File)
{
    Writer.Log_Message("kept");
    Window.show();
    const QByteArray before = File_Bytes(Log_File());
    Set_Next_Message_Box_Answer(Box_Answer::Cancel);
    Window.Log_Menu_Clear->trigger();
    EXPECT_EQ(Last_Message_Box().Text, QStringLiteral("     Are you sure you want to delete log records?"));
    EXPECT_EQ(Last_Message_Box().Title, QStringLiteral("Clear Log Records"));
    EXPECT_EQ(Last_Message_Box().Buttons, Box_Buttons::Ok_Cancel);
    EXPECT_EQ(Last_Message_Box().Icon, Box_Icon::Question);
    EXPECT_EQ(File_Bytes(Log_File()), before);
    EXPECT_FALSE(Window.Memo_Log->toPlainText().isEmpty());
}

TEST_F(System_Log_Window_Test, Clear_Confirmed_Empties_File_And_Window)
{
    Writer.Log_Message("gone");
    Window.show();
    Set_Next_Message_Box_Answer(Box_Answer::Ok);
    Window.Log_Menu_Clear->trigger();
    EXPECT_EQ(File_Bytes(Log_File()), QByteArray());
    EXPECT_TRUE(Window.Memo_Log->toPlainText().isEmpty());
    Writer.Log_Message("first again");
    EXPECT_EQ(File_Bytes(Log_File()).count('\n'), 1);
}

TEST_F(System_Log_Window_Test, Opened_Before_Any_Line_Shows_Nothing)
{
    Window.show();
    EXPECT_TRUE(Window.Memo_Log->toPlainText().isEmpty());
}

class Data_Log_Window_Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Folder.isValid());
        Set_Message_Box_Hook({});
        Window.Choose_Save_File = [this] { return Chosen; };
    }

    QTemporaryDir Folder;
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
    Window.Clear1->trigger();
    EXPECT_TRUE(Window.Lines().isEmpty());
    EXPECT_TRUE(Window.Memo_Log_Test->toPlainText().isEmpty());
}

TEST_F(Data_Log_Window_Test, Save_Writes_The_Lines_And_Asks_Before_Overwriting)
{
    Window.show();
    Window.Add_Line(QStringLiteral("one"));
    Window.Add_Line(QStringLiteral("two"));
    Chosen = Folder.filePath(QStringLiteral("traffic.txt"));
    const int boxes = Message_Box_Count();
    Window.Meniu_Log_Save->trigger();
    EXPECT_EQ(Message_Box_Count(), boxes);
    EXPECT_EQ(File_Bytes(Chosen), QByteArray("one\r\ntwo\r\n"));

    Window.Add_Line(QStringLiteral("three"));
    Set_Next_Message_Box_Answer(Box_Answer::No);
    Window.Meniu_Log_Save->trigger();
    EXPECT_EQ(
        Last_Message_Box().Text, QStringLiteral("This file name already exist, do you want to override it?"));
    EXPECT_EQ(Last_Message_Box().Title, QStringLiteral("File name already exist"));
    EXPECT_EQ(File_Bytes(Chosen), QByteArray("one\r\ntwo\r\n"));

    Set_Next_Message_Box_Answer(Box_Answer::Yes);
    Window.Meniu_Log_Save->trigger();
    EXPECT_EQ(File_Bytes(Chosen), QByteArray("one\r\ntwo\r\nthree\r\n"));
}

TEST_F(Data_Log_Window_Test, A_Cancelled_Dialog_Writes_Nothing)
{
    Window.show();
    Window.Add_Line(QStringLiteral("one"));
    const int boxes = Message_Box_Count();
    Window.Meniu_Log_Save->trigger();
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

TEST(Message_Box_Offscreen, Answers_With_The_Default_Without_Blocking)
{
    Set_Message_Box_Hook({});
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("offscreen"));
    EXPECT_EQ(Message_Box(
                  nullptr, QStringLiteral("q"), QStringLiteral("t"), Box_Buttons::Yes_No, Box_Icon::Question),
        Box_Answer::Yes);
    EXPECT_EQ(Message_Box(nullptr, QStringLiteral("q"), QStringLiteral("t"), Box_Buttons::Ok_Cancel),
        Box_Answer::Ok);
    EXPECT_EQ(Message_Box(nullptr, QStringLiteral("q"), QStringLiteral("t"), Box_Buttons::Yes_No,
                  Box_Icon::None, Box_Answer::No),
        Box_Answer::No);
}

TEST(Message_Box_Offscreen, A_Next_Answer_Is_Used_Once_And_Beats_The_Hook)
{
    int hook_calls = 0;
    Set_Message_Box_Hook([&hook_calls](const Message_Box_Request& request) {
        ++hook_calls;
        EXPECT_EQ(request.Title, QStringLiteral("title"));
        return Box_Answer::Cancel;
    });
    Set_Next_Message_Box_Answer(Box_Answer::No);
    EXPECT_EQ(Message_Box(nullptr, QStringLiteral("a"), QStringLiteral("title"), Box_Buttons::Yes_No),
        Box_Answer::No);
    EXPECT_EQ(hook_calls, 0);
    EXPECT_EQ(Message_Box(nullptr, QStringLiteral("b"), QStringLiteral("title"), Box_Buttons::Ok_Cancel),
        Box_Answer::Cancel);
    EXPECT_EQ(hook_calls, 1);
    Set_Message_Box_Hook({});
}

} // namespace
