// SIA-DCS content end to end, over TCP and over UDP on the same port number: a block with several
// events from a communicator becomes one record per event in the event file, byte for byte, and
// one SIA line per event to the automation software, each acknowledged there. The automation
// software is simulated.

#include "tests/e2e/E2E_Common.h"
#include "tests/support/Forwarding_Session.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A communicator that sends each frame as one datagram to 127.0.0.1 and waits for one back.
class Udp_Communicator
{
public:
    Udp_Communicator()
        : fd(::socket(AF_INET, SOCK_DGRAM, 0))
    { }
    ~Udp_Communicator() { ::close(fd); }
    Udp_Communicator(const Udp_Communicator&) = delete;
    Udp_Communicator& operator=(const Udp_Communicator&) = delete;

    // The reply datagram, or empty when none came within timeout_ms.
    std::string Exchange(const std::string& frame, int port, int timeout_ms = 3000)
    {
        sockaddr_in to {};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<std::uint16_t>(port));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::sendto(fd, frame.data(), frame.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to)
            < 0)
            return {};
        pollfd wait {fd, POLLIN, 0};
        if (::poll(&wait, 1, timeout_ms) != 1)
            return {};
        char reply[512];
        const ssize_t size = ::recv(fd, reply, sizeof reply, 0);
        return size > 0 ? std::string(reply, static_cast<std::size_t>(size)) : std::string();
    }

private:
    int fd;
};

// Three events, two partitions, received by receiver 12 on line 3 from account 1234.
Test_Message Sia_Message(std::string token = "SIA-DCS")
{
    Test_Message message;
    message.token = std::move(token);
    message.receiver = "12";
    message.line = "3";
    message.content = "#1234|Nri1/BA01/BR01/ri2/FA003]";
    return message;
}

const std::vector<std::string> Sia_Lines
    = {"S12003[#1234|Nri1/BA01]", "S12003[#1234|Nri1/BR01]", "S12003[#1234|Nri2/FA003]"};

Expected_Fields Sia_Fields(std::string event, std::string group, std::string zone)
{
    Expected_Fields fields;
    fields.receiver = "12";
    fields.line = "3";
    fields.event = std::move(event);
    fields.group = std::move(group);
    fields.zone = std::move(zone);
    return fields;
}

// The three records in slots 0..2, each exactly a Contact ID record but for its fields and the
// content mark.
void Expect_Sia_Records(const Event_Store_Image& store, std::int64_t earliest, std::int64_t latest)
{
    const Expected_Fields fields[]
        = {Sia_Fields("NBA", "1", "01"), Sia_Fields("NBR", "1", "01"), Sia_Fields("NFA", "2", "003")};
    for (std::size_t i = 0; i < 3; ++i) {
        const Event_Record& actual = store.Slot[i];
        EXPECT_GE(actual.Time_Received, earliest);
        EXPECT_LE(actual.Time_Received, latest);
        Event_Record expected = Expected_Event(fields[i], actual.Time_Received);
        expected.Status = actual.Status; // saved and reported as the link allows
        expected.Content = Content_Sia_Dcs;
        EXPECT_EQ(Hex_Upper(Record_Bytes(actual)), Hex_Upper(Record_Bytes(expected))) << "slot " << i;
    }
}

class Sia_Dcs : public ::testing::Test
{
protected:
    void Start(Settings_Record settings)
    {
        session.simulator.Set_Answer_Rule(Always_Ack());
        ASSERT_TRUE(session.Start_Server_Mode(settings)) << session.problem;
    }

    // The lines arrive in the block's order, each acknowledged, after the heartbeat.
    void Expect_Forwarded()
    {
        std::size_t from = 0;
        for (const std::string& line : Sia_Lines) {
            const auto index = session.simulator.Wait_For_Line(line, from, 5000);
            ASSERT_TRUE(index) << line << "\n" << session.runner.Standard_Error();
            from = *index + 1;
        }
        for (std::uint32_t slot = 0; slot < 3; ++slot)
            EXPECT_EQ(Wait_For_Event_Status(
                          session.runner, slot, Status_Used | Status_Saved | Status_Reported, 3000),
                7);
    }

    Forwarding_Session session;
};

} // namespace

TEST_F(Sia_Dcs, ClearBlockOverTcpIsStoredAndForwardedPerEvent)
{
    Start(Forwarding_Settings(30));
    const std::int64_t before = Now_Seconds();
    ASSERT_EQ(session.Send_Event(Sia_Message()), "ACK");
    const std::int64_t after = Now_Seconds();
    Expect_Forwarded();
    const auto store = Wait_For_Next_Slot(session.runner, 3);
    ASSERT_TRUE(store);
    EXPECT_EQ(store->Next_Slot, 3u);
    Expect_Sia_Records(*store, before, after);
    // The account's object shows the last event of the block.
    const auto objects = Wait_For_Objects(session.runner, 1);
    ASSERT_EQ(Used_Object_Count(objects), 1u);
    EXPECT_EQ(Fixed_Text(objects[0].Qualifier_Event), "NFA");
}

TEST_F(Sia_Dcs, EncryptedBlockIsAcknowledgedEncryptedAndStored)
{
    const Test_Key key = Test_Key_Bytes(3);
    Settings_Record settings = Forwarding_Settings(30);
    settings.DC9_AES_Mode = 3;
    std::memcpy(settings.DC9_Encoding_Key, key.data(), key.size());
    Start(settings);
    ASSERT_TRUE(session.communicator.Connect(session.runner.Port()));
    const Test_Reply reply = Decode_Reply(
        session.communicator.Exchange(Build_Encrypted_Frame(Sia_Message("*SIA-DCS"), 3, key), 5000), 3, key);
    EXPECT_EQ(reply.token, "*ACK") << reply.problem;
    Expect_Forwarded();
}

TEST_F(Sia_Dcs, BlockInOneDatagramIsAnsweredToItsSenderStoredAndForwarded)
{
    Start(Forwarding_Settings(30));
    ASSERT_TRUE(session.runner.Wait_For_Log("UDP port", 3000)) << session.runner.Standard_Error();
    Udp_Communicator communicator;
    // Garbage first: no answer, and the frame after it is still taken.
    EXPECT_EQ(communicator.Exchange("\nnot a frame\r", session.runner.Port(), 300), "");
    // Nor does a reply: answering it would let a forged sender set two receivers answering each
    // other for ever.
    EXPECT_EQ(communicator.Exchange(Wrap_Frame("\"DUH\"0000L0#[]"), session.runner.Port(), 300), "");
    const std::int64_t before = Now_Seconds();
    const Test_Reply reply
        = Decode_Reply(communicator.Exchange(Build_Clear_Frame(Sia_Message()), session.runner.Port()));
    const std::int64_t after = Now_Seconds();
    EXPECT_EQ(reply.problem, "");
    EXPECT_EQ(reply.body, "\"ACK\"0001R12L3#1234[]");
    Expect_Forwarded();
    const auto store = Wait_For_Next_Slot(session.runner, 3);
    ASSERT_TRUE(store);
    Expect_Sia_Records(*store, before, after);
}

TEST_F(Sia_Dcs, UdpOffLeavesDatagramsUnanswered)
{
    Settings_Record settings = Forwarding_Settings(30);
    settings.DC9_Udp_Off = 1;
    Start(settings);
    Udp_Communicator communicator;
    EXPECT_EQ(communicator.Exchange(Build_Clear_Frame(Sia_Message()), session.runner.Port(), 500), "");
    // TCP is open as always.
    EXPECT_EQ(session.Send_Event(Sia_Message()), "ACK");
}
