// How long the receiver keeps connections open: idle ones about 5 s, acknowledged ones for the
// configured connection time-out. Closing happens on whole one-second ticks, hence the ranges.

#include "tests/e2e/E2E_Common.h"

namespace {

class Connections : public ::testing::Test
{
protected:
    void Start(int connection_timeout)
    {
        ASSERT_TRUE(m_runner.Start_Receiver(Receiver_Settings(0, {}, 0, connection_timeout)))
            << m_runner.Standard_Error();
        ASSERT_TRUE(m_client.Connect(m_runner.Port()));
    }

    void Exchange_Worked_Example()
    {
        const Test_Reply reply = Decode_Reply(m_client.Exchange(Build_Clear_Frame(Test_Message {})));
        ASSERT_EQ(reply.token, "ACK") << reply.body;
    }

    Program_Runner m_runner;
    DC09_Test_Client m_client;
};

TEST_F(Connections, IdleConnectionClosedAfterAboutFiveSeconds)
{
    Start(30);
    const int closed_after = m_client.Wait_For_Close(8000);
    EXPECT_GE(closed_after, 3900);
    EXPECT_LE(closed_after, 8000);
}

TEST_F(Connections, AcknowledgedConnectionKeptForConfiguredTimeout)
{
    Start(8);
    Exchange_Worked_Example();
    // Past the 5 s an idle connection would get, yet still open.
    EXPECT_EQ(m_client.Wait_For_Close(5500), -1);
    const int closed_after = m_client.Wait_For_Close(5000);
    EXPECT_GE(closed_after, 6900 - 5500);
    EXPECT_NE(closed_after, -1) << "still open 10.5 s after an acknowledgement with an 8 s time-out";
}

TEST_F(Connections, ShortTimeoutClosesSoonAfterAcknowledgement)
{
    Start(2);
    Exchange_Worked_Example();
    const int closed_after = m_client.Wait_For_Close(4000);
    EXPECT_GE(closed_after, 900);
    EXPECT_LE(closed_after, 3500);
}

TEST_F(Connections, EachAcknowledgementRestartsTheTimeout)
{
    Start(3);
    for (int round = 0; round < 3; ++round) {
        Exchange_Worked_Example();
        EXPECT_EQ(m_client.Wait_For_Close(1500), -1) << "round " << round;
    }
    EXPECT_NE(m_client.Wait_For_Close(5000), -1);
}

TEST_F(Connections, RefusedMessageGetsTheIdleTimeout)
{
    Start(30);
    Test_Message message;
    message.content = "#9999|1401 01 001]";
    ASSERT_EQ(Decode_Reply(m_client.Exchange(Build_Clear_Frame(message))).token, "DUH");
    const int closed_after = m_client.Wait_For_Close(8000);
    EXPECT_GE(closed_after, 3900);
    EXPECT_NE(closed_after, -1);
}

} // namespace
