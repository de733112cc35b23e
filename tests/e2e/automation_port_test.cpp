// Who may take the alarm stream: the automation software port listens on the configured address
// only, and a connection that takes the lines over from an established one is logged.

#include "base/Out_Listen_Address.h"
#include "tests/e2e/E2E_Common.h"
#include "tests/support/Forwarding_Session.h"

#include <QTcpSocket>

#include <regex>

// Listening on 127.0.0.1: another loopback address is refused, the local automation software
// gets through, and a second connection that takes the lines over is logged with both peers.
TEST(Automation_Port, ListensOnTheSetAddressAndLogsATakeover)
{
    Forwarding_Session session;
    Settings_Record settings = Forwarding_Settings(30);
    ASSERT_TRUE(Set_Out_Listen_Address(settings, "127.0.0.1"));
    ASSERT_TRUE(session.Start_Server_Mode(settings)) << session.problem;

    QTcpSocket other_address;
    other_address.connectToHost(QStringLiteral("127.0.0.2"), static_cast<quint16>(session.mon_port));
    EXPECT_FALSE(other_address.waitForConnected(1000)) << "the port must not listen on every address";
    EXPECT_EQ(session.runner.Standard_Error().find("replaces the established one"), std::string::npos);

    ASSERT_NE(session.simulator.Connect_Tcp(session.mon_port), 0);
    ASSERT_TRUE(session.runner.Wait_For_Log("replaces the established one", 3000))
        << session.runner.Standard_Error();
    const std::string line = Find_Log_Line(session.runner, "replaces the established one");
    EXPECT_TRUE(std::regex_search(line,
        std::regex(
            R"(Automation software connection from 127\.0\.0\.1:\d+ replaces the established one from 127\.0\.0\.1:\d+$)")))
        << line;
    EXPECT_EQ(Count_Log_Lines(session.runner, "replaces the established one"), 1u);
}
