// Hostile and careless peers: the receiver must stay alive and go on answering good frames.

#include "tests/e2e/E2E_Common.h"

namespace {

class Robustness : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_runner.Start_Receiver(Receiver_Settings())) << m_runner.Standard_Error();
    }

    // A fresh connection gets the worked example acknowledged.
    void Expect_Still_Answering()
    {
        ASSERT_TRUE(m_runner.Is_Running()) << m_runner.Standard_Error();
        DC09_Test_Client client;
        ASSERT_TRUE(client.Connect(m_runner.Port()));
        EXPECT_EQ(
            client.Exchange(Build_Clear_Frame(Test_Message {}), 5000), "\n1BC10012\"ACK\"0001L0#1234[]\r");
    }

    Program_Runner m_runner;
};

TEST_F(Robustness, MegabytesWithoutLineFeed)
{
    DC09_Test_Client flood;
    ASSERT_TRUE(flood.Connect(m_runner.Port()));
    const std::string chunk(64 * 1024, 'A');
    for (int i = 0; i < 64; ++i)
        ASSERT_TRUE(flood.Send(chunk, 20000)) << "chunk " << i;
    EXPECT_EQ(flood.Receive_Any(500), "");
    Expect_Still_Answering();
    // The flooded connection itself still gets a good frame answered.
    EXPECT_EQ(Decode_Reply(flood.Exchange(Build_Clear_Frame(Test_Message {}), 5000)).token, "ACK");
}

TEST_F(Robustness, FiveHundredOpenConnections)
{
    // Every 50th connection is answered at once, which moves it from the 5 s idle countdown to the
    // 30 s connection time-out, so it is still open however slowly the other 449 come in.
    std::vector<std::unique_ptr<DC09_Test_Client>> clients;
    for (int i = 0; i < 500; ++i) {
        clients.push_back(std::make_unique<DC09_Test_Client>());
        ASSERT_TRUE(clients.back()->Connect(m_runner.Port())) << "connection " << i;
        if (i % 50 == 0) {
            ASSERT_EQ(
                Decode_Reply(clients[i]->Exchange(Build_Clear_Frame(Test_Message {}), 5000)).token, "ACK")
                << "connection " << i;
        }
    }
    Expect_Still_Answering();
    for (std::size_t i = 0; i < clients.size(); i += 50)
        EXPECT_EQ(Decode_Reply(clients[i]->Exchange(Build_Clear_Frame(Test_Message {}), 5000)).token, "ACK")
            << "connection " << i;
    for (auto& client : clients)
        client->Close();
    Expect_Still_Answering();
}

TEST_F(Robustness, AbruptResets)
{
    const std::string frame = Build_Clear_Frame(Test_Message {});
    for (int i = 0; i < 200; ++i) {
        DC09_Test_Client client;
        ASSERT_TRUE(client.Connect(m_runner.Port())) << "connection " << i;
        // Half a frame, a whole one whose reply is never read, or nothing at all before the reset.
        if (i % 3 == 1) {
            ASSERT_TRUE(client.Send(frame.substr(0, frame.size() / 2)));
        } else if (i % 3 == 2) {
            ASSERT_TRUE(client.Send(frame));
        }
        client.Reset();
    }
    Expect_Still_Answering();
}

TEST_F(Robustness, MalformedFramesAnsweredOnlyWhereGood)
{
    const std::string good_body = "\"ADM-CID\"0001L0#1234[#1234|1401 01 001]";
    std::string lower_case_crc = Wrap_Frame(good_body);
    for (std::size_t i = 1; i <= 4; ++i)
        lower_case_crc[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(lower_case_crc[i])));
    std::string zero_inside = Wrap_Frame(good_body);
    zero_inside[9 + 24] = '\0';
    // What each frame must get: the exact acknowledgement, "DUH" for a frame that is one but is
    // refused, or silence for data that is no frame at all.
    const std::string ack = "\n1BC10012\"ACK\"0001L0#1234[]\r";
    struct Case
    {
        std::string frame;
        std::string reply; // "ACK" (the exact one above), "DUH" or "" for no reply
    };
    const std::vector<Case> cases = {
        {"\n", ""},
        {"\n\"", ""},
        {"\nED060026" + good_body + "\r", ""},
        {"\nED060028" + good_body + "\r", ""},
        {"\nED06FFFF" + good_body + "\r", ""},
        {"\nED06" + good_body + "\r", ""},
        {lower_case_crc, "ACK"}, // lower-case hexadecimal is taken; the reply stays upper case
        {zero_inside, ""},
        {Wrap_Frame("\"ADM-CID\"0001L0#1234"), ""},
        {Wrap_Frame("\"ADM-CID\"00A1L0#1234[#1234|1401 01 001]"), "DUH"},
        {Wrap_Frame("\"ADM-CID\"0001L0#1234[#1234|14G1 01 001]"), "DUH"},
        {Wrap_Frame("\"ADM-CID\"0001L0#123456789ABCDEF0123456789[#1234|1401 01 001]"), "DUH"},
        {Wrap_Frame("\"*ADM-CID\"0001L0#1234[0123456789ABCDEF"), "DUH"},
        {Wrap_Frame("\"*ADM-CID\"0001L0#1234[XYZ"), "DUH"},
        {std::string(300, '\r') + std::string(300, '\n') + std::string(300, '"'), ""},
        {Wrap_Frame(good_body + std::string(2000, '[')), "ACK"},
        {Wrap_Frame(good_body + "_24:00:00,01-01-2024"), "ACK"},
        {Wrap_Frame(good_body + "_23:59:59,12-31"), "ACK"},
    };
    DC09_Test_Client client;
    ASSERT_TRUE(client.Connect(m_runner.Port()));
    for (std::size_t i = 0; i < cases.size(); ++i) {
        if (!client.Is_Connected()) {
            ASSERT_TRUE(client.Connect(m_runner.Port()));
        }
        ASSERT_TRUE(client.Send(cases[i].frame)) << "case " << i;
        const std::string& expected = cases[i].reply;
        const std::string reply = expected.empty() ? client.Receive_Any(300) : client.Receive_Reply();
        if (expected == "ACK") {
            // Neither time stamp is taken, so the reply carries none.
            EXPECT_EQ(reply, ack) << "case " << i;
        } else if (expected.empty()) {
            EXPECT_EQ(reply, "") << "case " << i;
        } else {
            const Test_Reply decoded = Decode_Reply(reply);
            EXPECT_EQ(decoded.problem, "") << "case " << i << ": " << reply;
            EXPECT_EQ(decoded.token, expected) << "case " << i << ": " << reply;
        }
    }
    Expect_Still_Answering();
}

// The byte stream, however the network cuts or packs it: every whole frame is answered, in order.
TEST_F(Robustness, FrameInTwoWritesIsAnswered)
{
    const std::string frame = Build_Clear_Frame(Test_Message {});
    DC09_Test_Client client;
    ASSERT_TRUE(client.Connect(m_runner.Port()));
    ASSERT_TRUE(client.Send(frame.substr(0, 11)));
    // Long enough for the first part to be read on its own.
    EXPECT_EQ(client.Receive_Any(300), "");
    ASSERT_TRUE(client.Send(frame.substr(11)));
    EXPECT_EQ(client.Receive_Reply(), "\n1BC10012\"ACK\"0001L0#1234[]\r");
}

TEST_F(Robustness, GarbageThenFramesInOneWriteAreAnswered)
{
    Test_Message second;
    second.sequence = "0002";
    DC09_Test_Client client;
    ASSERT_TRUE(client.Connect(m_runner.Port()));
    // Noise, a line feed that starts no frame, then two frames, the second cut off at first.
    const std::string both = "noise\n\"" + Build_Clear_Frame(Test_Message {}) + Build_Clear_Frame(second);
    ASSERT_TRUE(client.Send(both.substr(0, both.size() - 5)));
    EXPECT_EQ(client.Receive_Reply(), "\n1BC10012\"ACK\"0001L0#1234[]\r");
    ASSERT_TRUE(client.Send(both.substr(both.size() - 5)));
    const Test_Reply reply = Decode_Reply(client.Receive_Reply());
    EXPECT_EQ(reply.token, "ACK");
    EXPECT_EQ(reply.after_token, "0002L0#1234[]");
}

// Garbage does not keep a connection alive: only an answered frame restarts its countdown. The
// log says so once, not once per read.
TEST_F(Robustness, GarbageOnlyConnectionIsClosedAndLoggedOnce)
{
    DC09_Test_Client client;
    ASSERT_TRUE(client.Connect(m_runner.Port()));
    int sent = 0;
    int closed_after = -1;
    // A garbage byte every 200 ms; the receiver closes the connection about 5 s after it came.
    for (int round = 0; round < 50 && closed_after < 0; ++round) {
        if (client.Is_Connected() && client.Send("x"))
            ++sent;
        closed_after = client.Wait_For_Close(200);
    }
    EXPECT_NE(closed_after, -1) << "still open after " << sent << " garbage bytes";
    EXPECT_GE(sent, 15);
    const std::string logged = "Unrecognised data received from IP: 127.0.0.1, port: ";
    std::size_t lines = 0;
    for (const std::string& line : m_runner.Log_Lines())
        lines += line.find(logged) != std::string::npos ? 1 : 0;
    EXPECT_EQ(lines, 1u) << m_runner.Standard_Error();
    Expect_Still_Answering();
}

} // namespace
