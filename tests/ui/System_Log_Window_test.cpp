#include "base/Log_Writer.h"
#include "ui/Log_Window_Fixture.h"
#include "ui/System_Log_Window.h"

#include <QAction>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class System_Log_Window_Test : public Log_Window_Test
{
protected:
    QString Log_File() const { return QString::fromStdString(Writer.Current_Log_File()); }
    QString Shown_Text() const
    {
        return Window.findChild<QPlainTextEdit*>(QStringLiteral("Memo_Log"))->toPlainText();
    }
    void Clear() { Window.findChild<QAction*>(QStringLiteral("Log_Menu_Clear"))->trigger(); }

    Log_Writer Writer {Folder.path().toStdString() + "/", {}, nullptr};
    TForm_Log Window {Writer};
};

TEST_F(System_Log_Window_Test, Shows_The_Current_File_And_Follows_It_While_Visible)
{
    Writer.Log_Message("before the window");
    Window.show();
    EXPECT_EQ(Window.windowTitle(), QStringLiteral("System Log"));
    EXPECT_TRUE(Shown_Text().endsWith(QStringLiteral("  before the window")));
    Writer.Log_Message("while it is open");
    const QStringList lines = Shown_Text().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("  while it is open")));

    Window.hide();
    Writer.Log_Message("while it is hidden");
    EXPECT_EQ(Shown_Text().split(QLatin1Char('\n')).size(), 2);
}

TEST_F(System_Log_Window_Test, Clear_Asks_First_And_Enter_Keeps_The_File)
{
    Writer.Log_Message("kept");
    Window.show();
    const QByteArray before = File_Bytes(Log_File());
    Clear(); // unanswered: the default button, what Enter presses
    EXPECT_EQ(Last_Message_Box().Default_Answer, Box_Answer::Cancel);
    EXPECT_EQ(Last_Message_Box().Text, QStringLiteral("     Are you sure you want to delete log records?"));
    EXPECT_EQ(Last_Message_Box().Title, QStringLiteral("Clear Log Records"));
    EXPECT_EQ(Last_Message_Box().Buttons, Box_Buttons::Ok_Cancel);
    EXPECT_EQ(Last_Message_Box().Icon, Box_Icon::Question);
    EXPECT_EQ(File_Bytes(Log_File()), before);
    EXPECT_FALSE(Shown_Text().isEmpty());
}

TEST_F(System_Log_Window_Test, Clear_Confirmed_Empties_File_And_Window)
{
    Writer.Log_Message("gone");
    Window.show();
    Set_Next_Message_Box_Answer(Box_Answer::Ok);
    Clear();
    EXPECT_EQ(File_Bytes(Log_File()), QByteArray());
    EXPECT_TRUE(Shown_Text().isEmpty());
    Writer.Log_Message("first again");
    EXPECT_EQ(File_Bytes(Log_File()).count('\n'), 1);
}

TEST_F(System_Log_Window_Test, Opened_Before_Any_Line_Shows_Nothing)
{
    Window.show();
    EXPECT_TRUE(Shown_Text().isEmpty());
}

} // namespace
