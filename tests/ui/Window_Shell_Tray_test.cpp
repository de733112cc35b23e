// The notification-area icon of the whole program: its tooltip says the state in words and
// follows it as the automation software comes and goes and the receiver is closed.

#include "tests/support/Pump_Until.h"
#include "tests/ui/Running_Program_Fixture.h"
#include "ui/Message_Box.h"

#include <QApplication>
#include <QCheckBox>
#include <QSystemTrayIcon>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class Tray_Program_Test : public Running_Program_Test
{
protected:
    QString Tooltip()
    {
        QWidget* main = Top_Level_Window("Main_Form");
        auto* tray = main ? main->findChild<QSystemTrayIcon*>(QStringLiteral("TrayIcon1")) : nullptr;
        return tray ? tray->toolTip() : QString();
    }

    // The tooltip's state line, within a few of the once-a-second updates.
    bool Tooltip_Says(const QString& text)
    {
        return Pump_Until([&] { return Tooltip().contains(text); }, 8000);
    }
};

TEST_F(Tray_Program_Test, TooltipFollowsTheStateInWords)
{
    ASSERT_TRUE(Start_Program());

    EXPECT_TRUE(Tooltip_Says(QStringLiteral("fault: no automation software connected")))
        << Tooltip().toStdString();
    EXPECT_TRUE(Tooltip().contains(QStringLiteral("Pending events: 0")));
    EXPECT_TRUE(Tooltip().contains(QStringLiteral("Failed objects: 0")));

    ASSERT_NE(simulator.Connect_Tcp_When_Listening(settings.Mon_Port, 8000), 0);
    EXPECT_TRUE(Tooltip_Says(QStringLiteral("receiving and forwarding"))) << Tooltip().toStdString();

    simulator.Close_All();
    EXPECT_TRUE(Tooltip_Says(QStringLiteral("fault: no automation software connected")))
        << Tooltip().toStdString();

    // Offscreen the untick is not questioned.
    auto* open
        = Top_Level_Window("Main_Form")->findChild<QCheckBox*>(QStringLiteral("CheckBox_DC9_Port_Enable"));
    ASSERT_NE(open, nullptr);
    open->setChecked(false);
    EXPECT_TRUE(Tooltip_Says(QStringLiteral("receiver closed"))) << Tooltip().toStdString();
}

} // namespace
