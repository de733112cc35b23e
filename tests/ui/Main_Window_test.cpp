#include "ui/Main_Window_Fixture.h"

#include "ui/Data_Log_Window.h"
#include "ui/System_Log_Window.h"

#include <QAction>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTabBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextEdit>

namespace {

using Main_Shell_Test = Main_Window_Test;

void Move_Mouse_Over(QWidget* widget)
{
    const QPointF inside(4, 4);
    QMouseEvent move(
        QEvent::MouseMove, inside, widget->mapToGlobal(inside), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &move);
}

// A context menu request at a point of the window that no control covers.
void Right_Click(QWidget* window)
{
    const QPoint inside(20, 300);
    QContextMenuEvent request(QContextMenuEvent::Mouse, inside, window->mapToGlobal(inside));
    QCoreApplication::sendEvent(window, &request);
}

TEST_F(Main_Shell_Test, Layout_Names_And_Captions)
{
    Form->show();
    EXPECT_EQ(Form->windowTitle(), QStringLiteral("Varnek SIA-IP Receiver"));
    EXPECT_EQ(Form->centralWidget()->height() + Form->statusBar()->height(), 472);
    EXPECT_EQ(Form->width(), 515);
    EXPECT_EQ(Form->minimumSize(), Form->size()) << "the default size is the least";

    auto* pages = Find<QTabWidget>("PageControl_Receiver");
    EXPECT_EQ(pages->size(), QSize(497, 233));
    ASSERT_EQ(pages->count(), 2);
    EXPECT_EQ(pages->widget(0)->objectName(), QStringLiteral("TabSheet1"));
    EXPECT_EQ(pages->widget(1)->objectName(), QStringLiteral("TabSheet_Mon_Software"));
    EXPECT_EQ(pages->currentIndex(), 0);
    EXPECT_EQ(Find<QTextEdit>("RichEdit_Log")->size(), QSize(497, 191));
    EXPECT_TRUE(Find<QTextEdit>("RichEdit_Log")->isReadOnly());
    EXPECT_EQ(Find<QPushButton>("BitBtn_Save")->size(), QSize(30, 30));
    EXPECT_EQ(Find<QPushButton>("BitBtn_Save")->toolTip(), QStringLiteral("Save current settings"));
    EXPECT_EQ(Find<QLabel>("StatusBar1_Panel_0")->width(), 250);

    QStringList menu;
    for (QAction* action : Form->menuBar()->actions())
        menu << (action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(menu,
        QStringList({QStringLiteral("&Events"), QStringLiteral("&System Log"),
            QStringLiteral("&Virtual Serial Ports"), QStringLiteral("Data &Log"), QStringLiteral("-"),
            QStringLiteral("    &Object List"), QStringLiteral("&Accounts")}));
    EXPECT_FALSE(Find<QAction>("Meniu_Log")->isVisible());
    EXPECT_TRUE(Find<QAction>("ObjectList1")->font().bold());
}

// Pixels of a caption drawn in navy, counted generously for anti-aliased edges.
int Navy_Pixels(const QImage& image, QRect area)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            count += pixel.blue() >= 100 && pixel.blue() - pixel.red() > 60 && pixel.red() == pixel.green();
        }
    return count;
}

TEST_F(Main_Shell_Test, An_Enlarged_Window_Gives_The_Log_View_The_Room)
{
    Form->show();
    auto* log = Find<QTextEdit>("RichEdit_Log");
    const QSize before = log->size();
    Form->resize(Form->width() + 200, Form->height() + 300);
    QCoreApplication::processEvents();
    EXPECT_EQ(log->size(), before + QSize(200, 300));
    EXPECT_GT(log->viewport()->height() / log->fontMetrics().lineSpacing(), 13);
}

TEST_F(Main_Shell_Test, Tab_Captions_Are_Navy_And_Bold_Only_While_Active)
{
    Form->show();
    auto* pages = Find<QTabWidget>("PageControl_Receiver");
    QTabBar* tabs = pages->tabBar();
    const QRect second = tabs->tabRect(1);
    const int inactive = Navy_Pixels(tabs->grab().toImage(), second);
    pages->setCurrentIndex(1);
    const int active = Navy_Pixels(tabs->grab().toImage(), tabs->tabRect(1));
    EXPECT_EQ(tabs->tabRect(1).width(), second.width());
    EXPECT_GT(inactive, 50);
    // The same caption in bold covers clearly more pixels.
    EXPECT_GT(active, inactive + inactive / 8);
}

TEST_F(Main_Shell_Test, Start_In_Background_Box_Hints_Follow_Its_State)
{
    Form->show();
    auto* box = Find<QCheckBox>("CheckBox_Start_In_Background");
    Move_Mouse_Over(box);
    EXPECT_EQ(box->toolTip(), QStringLiteral("The application will start in windowed mode"));

    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ(Settings.Start_In_Background, 1);
    EXPECT_TRUE(Find<QPushButton>("BitBtn_Save")->isEnabled());
    Move_Mouse_Over(box);
    EXPECT_EQ(box->toolTip(), QStringLiteral("The application will start in background mode"));
}

TEST_F(Main_Shell_Test, The_Log_View_Shows_The_Newest_Line_On_Top_In_Its_Colour)
{
    EXPECT_TRUE(Find<QTextEdit>("RichEdit_Log")->isVisibleTo(Form.get()));
    Log->Log_Message("first line");
    Log->Log_Message("second line, an error", Log_Red);
    QTextDocument* view = Find<QTextEdit>("RichEdit_Log")->document();
    ASSERT_EQ(view->blockCount(), 2);
    const QTextBlock top = view->firstBlock();
    EXPECT_TRUE(top.text().endsWith(QStringLiteral("  second line, an error")));
    EXPECT_TRUE(top.next().text().endsWith(QStringLiteral("  first line")));
    EXPECT_EQ(top.begin().fragment().charFormat().foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(top.next().begin().fragment().charFormat().foreground().color(), QColor(0, 0, 0));
}

// Months of running must not grow the view without end: it keeps the newest lines, while the
// monthly file keeps every one.
TEST_F(Main_Shell_Test, The_Log_View_Keeps_The_Newest_Lines_Only)
{
    constexpr int Extra = 5;
    for (int line = 0; line < TMain_Form::Log_View_Max_Lines + Extra; ++line)
        Log->Log_Message("line " + std::to_string(line));
    QTextDocument* view = Find<QTextEdit>("RichEdit_Log")->document();
    ASSERT_EQ(view->blockCount(), TMain_Form::Log_View_Max_Lines);
    EXPECT_TRUE(view->firstBlock().text().endsWith(
        QStringLiteral("  line %1").arg(TMain_Form::Log_View_Max_Lines + Extra - 1)));
    EXPECT_TRUE(view->lastBlock().text().endsWith(QStringLiteral("  line %1").arg(Extra)));
    QFile file(QString::fromStdString(Log->Current_Log_File()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().count('\n'), TMain_Form::Log_View_Max_Lines + Extra);
}

TEST_F(Main_Shell_Test, Closing_Goes_To_The_Notification_Area_And_Open_Restores)
{
    Form->show();
    const int boxes = Message_Box_Count();
    EXPECT_FALSE(Tray_Icon()->isVisible());

    EXPECT_FALSE(Form->close());
    EXPECT_FALSE(Form->isVisible());
    EXPECT_TRUE(Tray_Icon()->isVisible());
    EXPECT_EQ(Message_Box_Count(), boxes); // nothing unsaved, nothing asked

    Find<QAction>("OpenSIAIPReceiver1")->trigger();
    EXPECT_TRUE(Form->isVisible());
    EXPECT_FALSE(Form->isMinimized());
    EXPECT_FALSE(Tray_Icon()->isVisible());
    EXPECT_EQ(Settings.DC9_Port, 7777);

    EXPECT_FALSE(Form->close());
    Click_Tray_Icon();
    EXPECT_TRUE(Form->isVisible());
    EXPECT_FALSE(Tray_Icon()->isVisible());
}

TEST_F(Main_Shell_Test, Without_A_Notification_Area_Closing_Minimises_And_Exit_Stays_Reachable)
{
    Tray_Available = false;
    int ends = 0;
    Form->Hooks.Program_End = [&ends] { ++ends; };
    Form->show();

    EXPECT_FALSE(Form->close());
    EXPECT_TRUE(Form->isVisible());
    EXPECT_TRUE(Form->isMinimized());
    EXPECT_FALSE(Find<QSystemTrayIcon>("TrayIcon1")->isVisible());

    // The notification-area menu comes up on the window itself.
    Right_Click(Form.get());
    EXPECT_TRUE(Find<QMenu>("PopupMenu_Tray")->isVisible());
    Find<QMenu>("PopupMenu_Tray")->hide();
    Find<QAction>("OpenSIAIPReceiver1")->trigger();
    EXPECT_FALSE(Form->isMinimized());
    Find<QAction>("Pop_Exit")->trigger();
    EXPECT_EQ(ends, 1);
}

TEST_F(Main_Shell_Test, Without_A_Notification_Area_Background_Start_Minimises)
{
    Tray_Available = false;
    Form->Enter_Background_Mode();
    EXPECT_TRUE(Form->isVisible());
    EXPECT_TRUE(Form->isMinimized());
    EXPECT_FALSE(Find<QSystemTrayIcon>("TrayIcon1")->isVisible());
    Right_Click(Form.get());
    EXPECT_TRUE(Find<QMenu>("PopupMenu_Tray")->isVisible());
}

TEST_F(Main_Shell_Test, With_A_Notification_Area_The_Window_Has_No_Context_Menu)
{
    Form->show();
    Right_Click(Form.get());
    EXPECT_FALSE(Find<QMenu>("PopupMenu_Tray")->isVisible());
}

TEST_F(Main_Shell_Test, Closing_With_Unsaved_Settings_Asks_And_Still_Goes_On)
{
    Form->show();
    Retype(Find<QLineEdit>("LabeledEdit_DC9_Port"), QStringLiteral("9000"));
    Set_Next_Message_Box_Answer(Box_Answer::Yes);
    EXPECT_FALSE(Form->close());
    EXPECT_EQ(Last_Message_Box().Text, QStringLiteral("Save current settings?"));
    EXPECT_EQ(File_Settings().DC9_Port, 9000);
    EXPECT_TRUE(Tray_Icon()->isVisible());
}

TEST_F(Main_Shell_Test, Exit_Asks_Then_Ends_The_Program)
{
    int ends = 0;
    int others_hidden = 0;
    Form->Hooks.Program_End = [&ends] { ++ends; };
    Form->Hooks.Hide_Other_Windows = [&others_hidden] { ++others_hidden; };
    Form->show();
    Find<QAction>("ViewSystemLogs1")->trigger();
    Retype(Find<QLineEdit>("LabeledEdit_DC9_Port"), QStringLiteral("9000"));

    // From the notification area, with the window hidden.
    Set_Next_Message_Box_Answer(Box_Answer::No);
    EXPECT_FALSE(Form->close());
    EXPECT_EQ(others_hidden, 1);
    EXPECT_FALSE(Form_Log->isVisible());
    Find<QAction>("ViewSystemLogs1")->trigger();
    Set_Next_Message_Box_Answer(Box_Answer::No);
    Find<QAction>("Pop_Exit")->trigger();
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(others_hidden, 2);
    EXPECT_EQ(Last_Message_Box().Text, QStringLiteral("Save current settings?"));
    EXPECT_EQ(File_Settings().DC9_Port, 7777);
    EXPECT_FALSE(Tray_Icon()->isVisible());
    EXPECT_FALSE(Form_Log->isVisible());
}

TEST_F(Main_Shell_Test, Exit_While_Receiving_Asks_First_Unless_Nobody_Can_Answer)
{
    int ends = 0;
    Form->Hooks.Program_End = [&ends] { ++ends; };
    Settings.DC9_Port_Enable = 1;
    Save_Settings(Settings_Path, Settings); // no unsaved settings to ask about
    Form->show();
    Message_Box_Request asked {};
    Set_Message_Box_Hook([&asked](const Message_Box_Request& request) {
        asked = request;
        return request.Default_Answer; // Enter
    });
    Find<QAction>("Pop_Exit")->trigger();
    Set_Message_Box_Hook({});
    EXPECT_EQ(asked.Default_Answer, Box_Answer::No);
    EXPECT_EQ(ends, 0) << "No keeps the receiver running";
    EXPECT_TRUE(Form->isVisible());

    // Offscreen, as a service: nothing asks and Exit ends the program.
    const int boxes = Message_Box_Count();
    Find<QAction>("Pop_Exit")->trigger();
    EXPECT_EQ(Message_Box_Count(), boxes);
    EXPECT_EQ(ends, 1);
}

TEST_F(Main_Shell_Test, The_Code_As_The_First_Six_Keys_Unlocks_The_Data_Log)
{
    const int beeps = System_Beep_Count();
    QTest::keyClicks(Find<QTextEdit>("RichEdit_Log"), QStringLiteral("mur ok"));
    EXPECT_TRUE(Find<QAction>("Meniu_Log")->isVisible());
    EXPECT_EQ(System_Beep_Count(), beeps + 1);
    QTest::keyClicks(Find<QTextEdit>("RichEdit_Log"), QStringLiteral("mur ok"));
    EXPECT_EQ(System_Beep_Count(), beeps + 1);
}

TEST_F(Main_Shell_Test, One_Other_Key_First_Keeps_The_Data_Log_Hidden)
{
    const int beeps = System_Beep_Count();
    QTest::keyClicks(Find<QTextEdit>("RichEdit_Log"), QStringLiteral("xmur ok"));
    EXPECT_FALSE(Find<QAction>("Meniu_Log")->isVisible());
    EXPECT_EQ(System_Beep_Count(), beeps);
    EXPECT_TRUE(Find<QTextEdit>("RichEdit_Log")->document()->isEmpty());
}

TEST_F(Main_Shell_Test, The_Data_Log_Takes_Lines_Only_While_Visible)
{
    QSignalSpy collecting(Form.get(), &TMain_Form::Data_Log_Collecting_Changed);
    Form->Data_Log_Add(QStringLiteral("lost"));
    EXPECT_FALSE(Form->Data_Log_Visible());
    Form->show();
    QTest::keyClicks(Find<QTextEdit>("RichEdit_Log"), QStringLiteral("mur ok"));
    ASSERT_TRUE(Find<QAction>("Meniu_Log")->isVisible());
    EXPECT_EQ(collecting.count(), 0);
    Find<QAction>("Meniu_Log")->trigger();
    ASSERT_TRUE(Form->Data_Log_Visible());
    ASSERT_EQ(collecting.count(), 1) << "the window says when raw traffic is wanted";
    EXPECT_TRUE(collecting.at(0).at(0).toBool());
    Form->Data_Log_Add(QString());
    Form->Data_Log_Add(QStringLiteral("10:00:00:5  frame"));
    ASSERT_NE(Form_Log_Test, nullptr);
    EXPECT_EQ(Form_Log_Test->Lines(), QStringList({QString(), QStringLiteral("10:00:00:5  frame")}));
    EXPECT_TRUE(Form_Log_Test->windowFlags() & Qt::WindowStaysOnTopHint);

    // Closing the main window leaves the Data Log as it is.
    EXPECT_FALSE(Form->close());
    EXPECT_TRUE(Form->Data_Log_Visible());
    EXPECT_EQ(collecting.count(), 1);

    ASSERT_NE(Form_Log_Test, nullptr);
    Form_Log_Test->close();
    ASSERT_EQ(collecting.count(), 2);
    EXPECT_FALSE(collecting.at(1).at(0).toBool());
    EXPECT_FALSE(Form->Data_Log_Maybe_Visible());
}

} // namespace
