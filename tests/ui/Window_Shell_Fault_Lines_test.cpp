// Faults in the main window's log: a message the receiver refuses and the automation software
// dropping off each give one red line there, naming who it was. The whole program runs in this
// process; the communicator and the automation software are real TCP peers on 127.0.0.1.

#include "tests/support/DC09_Test_Client.h"
#include "tests/support/DC09_Test_Frames.h"
#include "tests/support/Pump_Until.h"
#include "tests/ui/Running_Program_Fixture.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

class Fault_Lines_Test : public Running_Program_Test
{
protected:
    // Lines of the log view that hold `text`: all of them, and those in red.
    struct Line_Count
    {
        int All = 0;
        int Red = 0;
    };
    static Line_Count Lines_With(const QString& text)
    {
        Line_Count count;
        QWidget* main = Top_Level_Window("Main_Form");
        auto* log = main ? main->findChild<QTextEdit*>(QStringLiteral("RichEdit_Log")) : nullptr;
        if (log == nullptr)
            return count;
        for (QTextBlock line = log->document()->firstBlock(); line.isValid(); line = line.next()) {
            if (!line.text().contains(text))
                continue;
            ++count.All;
            count.Red
                += line.begin().fragment().charFormat().foreground().color() == QColor(255, 0, 0) ? 1 : 0;
        }
        return count;
    }
};

TEST_F(Fault_Lines_Test, ARefusedMessageAndAnAutomationDropEachLogOneRedLine)
{
    ASSERT_TRUE(Start_Program());

    const QString open = QStringLiteral("Port %1 is open.").arg(settings.DC9_Port);
    ASSERT_TRUE(Pump_Until([&] { return Lines_With(open).All > 0; }, 8000));

    // A token the receiver does not take: DUH, and the reason in red with the peer.
    Test_Message message;
    message.token = "ADM-HEX";
    std::string reply;
    std::atomic<bool> answered = false;
    std::thread communicator([&] {
        DC09_Test_Client client;
        if (client.Connect(settings.DC9_Port))
            reply = client.Exchange(Build_Clear_Frame(message), 5000);
        answered = true;
    });
    const QString refused = QStringLiteral("Message refused (DUH) from IP: 127.0.0.1");
    EXPECT_TRUE(Pump_Until([&] { return answered && Lines_With(refused).All > 0; }, 8000));
    communicator.join();
    EXPECT_NE(reply.find("\"DUH\""), std::string::npos) << reply;
    EXPECT_EQ(Lines_With(refused).All, 1);
    EXPECT_EQ(Lines_With(refused).Red, 1);

    // The automation software connects once its port is open, then goes away.
    const QString listening = QStringLiteral("Automation software port %1 is open.").arg(settings.Mon_Port);
    ASSERT_TRUE(Pump_Until([&] { return Lines_With(listening).All > 0; }, 8000));
    ASSERT_NE(simulator.Connect_Tcp(settings.Mon_Port, 3000), 0);
    ASSERT_TRUE(Pump_Until(
        [] { return Lines_With(QStringLiteral("Connection with automation software established.")).All > 0; },
        8000));
    simulator.Close_All();
    const QString dropped = QStringLiteral("Automation software disconnected from port");
    EXPECT_TRUE(Pump_Until([&] { return Lines_With(dropped).All > 0; }, 8000));
    EXPECT_EQ(Lines_With(dropped).All, 1);
    EXPECT_EQ(Lines_With(dropped).Red, 1);
}

} // namespace
