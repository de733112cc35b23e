// Soak run: the program under test (offscreen, temporary home folder) for a long time under a
// steady, untidy load, then checks that nothing was lost. Run it with --help for the options.

#include "bench/Soak_Ledger.h"
#include "tests/support/Forwarding_Session.h"

#include "base/Settings_File.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* Help_Text
    = "usage: soak [--minutes M] [--rate R] [--communicators C] [--encrypted E] [--heartbeat S]\n"
      "            [--automation-drop S] [--nak P] [--silence P] [--threads T]\n"
      "\n"
      "Starts the program under test with its receiver port open (AES-256 when E > 0) and its output\n"
      "as a TCP server, then for M minutes (default 30) C communicators (default 200; E of them\n"
      "encrypted, default 100) send about R events per second in all (default 1000). Each one\n"
      "connects, sends, now and then idles past the connection time-out (10 s), closes or resets.\n"
      "While encryption is on, the clear communicators are answered DUH and nothing is stored.\n"
      "A simulated automation software connects to the output, answers ACK, NAK with probability P\n"
      "(default 0.0001) or nothing with probability P (default 0.00002), and drops its connection\n"
      "every S seconds (default 150), coming back 2 s later. Heartbeat every S seconds (default 5).\n"
      "At the end it checks and prints: every acknowledged event was seen in the event file and\n"
      "reached the automation software at least once, in ring order; the program's resident memory\n"
      "after the first minute grew by at most 5 MB; it still answers and ends with \"Program closed\".\n"
      "Exit code 0 when every check passes.\n";

struct Options
{
    double minutes = 30;
    double rate = 1000;
    int communicators = 200;
    int encrypted = 100;
    int heartbeat = 5;
    int automation_drop = 150;
    // A refusal costs the output a 2 s pause and a silence 2 s plus the wait for the next heartbeat;
    // at ~500 stored events/s the ring of 4096 holds about 8 s, so these stay rare: a NAK about
    // every 20 s and a silence about every 100 s.
    double nak = 0.0001;
    double silence = 0.00002;
    int threads = 8;
};

[[noreturn]] void Usage_Error(const std::string& message)
{
    std::fprintf(stderr, "soak: %s\n\n%s", message.c_str(), Help_Text);
    std::exit(2);
}

Options Parse_Options(int argc, char* argv[])
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--help" || name == "-h") {
            std::fputs(Help_Text, stdout);
            std::exit(0);
        }
        if (i + 1 >= argc)
            Usage_Error("no value for " + name);
        const char* value = argv[++i];
        if (name == "--minutes")
            options.minutes = std::atof(value);
        else if (name == "--rate")
            options.rate = std::atof(value);
        else if (name == "--communicators")
            options.communicators = std::atoi(value);
        else if (name == "--encrypted")
            options.encrypted = std::atoi(value);
        else if (name == "--heartbeat")
            options.heartbeat = std::atoi(value);
        else if (name == "--automation-drop")
            options.automation_drop = std::atoi(value);
        else if (name == "--nak")
            options.nak = std::atof(value);
        else if (name == "--silence")
            options.silence = std::atof(value);
        else if (name == "--threads")
            options.threads = std::atoi(value);
        else
            Usage_Error("unknown option " + name);
    }
    if (options.minutes <= 0 || options.rate <= 0 || options.communicators <= 0
        || options.communicators > 4999 || options.encrypted < 0 || options.encrypted > options.communicators
        || options.heartbeat < 0 || options.automation_drop <= 0 || options.threads <= 0 || options.nak < 0
        || options.silence < 0)
        Usage_Error("bad option value");
    return options;
}

Test_Key Soak_Key()
{
    Test_Key key {};
    for (std::size_t i = 0; i < key.size(); ++i)
        key[i] = static_cast<std::uint8_t>('A' + (5 * i) % 26);
    return key;
}

long Resident_Kilobytes(qint64 pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string word;
    while (status >> word)
        if (word == "VmRSS:") {
            long kilobytes = 0;
            status >> kilobytes;
            return kilobytes;
        }
    return -1;
}

struct Counters
{
    std::atomic<long> Sent {0};
    std::atomic<long> Acknowledged {0};
    std::atomic<long> Refused {0}; // DUH to a clear message while encryption is on
    std::atomic<long> Unanswered {0}; // connection found closed: sent again on a new one
    std::atomic<long> Other {0};
    std::atomic<long> Connect_Failures {0};
};

struct Communicator
{
    int Index = 0;
    bool Encrypted = false;
    int Next_Number = 0;
    Clock::time_point Idle_Until {};
    std::unique_ptr<DC09_Test_Client> Client = std::make_unique<DC09_Test_Client>();
};

// One sender thread: its share of the communicators and of the rate. The sockets are made here,
// on the thread that uses them.
void Send_Loop(int thread, const Options& options, int port, Soak_Ledger& ledger, Counters& counters,
    const std::atomic<bool>& stop)
{
    std::vector<Communicator> mine;
    for (int index = thread; index < options.communicators; index += options.threads)
        mine.push_back(Communicator {.Index = index, .Encrypted = index < options.encrypted});
    if (mine.empty())
        return;
    std::mt19937 random(static_cast<unsigned>(1234 + thread));
    std::uniform_real_distribution<double> chance(0, 1);
    const Test_Key key = Soak_Key();
    const double rate = options.rate / options.threads;
    const auto start = Clock::now();
    for (long tick = 0; !stop.load(); ++tick) {
        std::this_thread::sleep_until(
            start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(tick / rate)));
        Communicator& sender = mine[random() % mine.size()];
        if (Clock::now() < sender.Idle_Until || sender.Next_Number >= Soak_Max_Events_Per_Communicator)
            continue;
        if (!sender.Client->Is_Connected() && !sender.Client->Connect(port, 3000)) {
            ++counters.Connect_Failures;
            continue;
        }
        std::string group, zone;
        Soak_Group_Zone(sender.Next_Number, group, zone);
        Test_Message message = Event_Message(Soak_Account(sender.Index), "1401", group, zone);
        char sequence[8];
        std::snprintf(sequence, sizeof sequence, "%04d", sender.Next_Number % 10000);
        message.sequence = sequence;
        if (sender.Encrypted)
            message.token = "*ADM-CID";
        const std::string frame = sender.Encrypted
            ? Build_Encrypted_Frame(message, 3, key, static_cast<std::uint32_t>(tick))
            : Build_Clear_Frame(message);
        ++counters.Sent;
        const std::string reply = sender.Client->Exchange(frame, 3000);
        if (reply.empty()) {
            // Closed by the receiver while idle: the same event goes again on a new connection.
            sender.Client->Close();
            ++counters.Unanswered;
            continue;
        }
        const Test_Reply decoded = Decode_Reply(reply, sender.Encrypted ? 3 : 0, key);
        if (decoded.token == "ACK" || decoded.token == "*ACK") {
            ledger.Mark_Acknowledged(ledger.Key(sender.Index, sender.Next_Number));
            ++counters.Acknowledged;
        } else if (decoded.token == "DUH" && !sender.Encrypted && options.encrypted > 0) {
            ++counters.Refused;
        } else if (counters.Other.fetch_add(1) == 0) {
            std::fprintf(stderr, "soak: first unexpected answer to %s: %s %s\n", frame.c_str(),
                decoded.token.c_str(), decoded.problem.c_str());
        }
        ++sender.Next_Number;

        const double action = chance(random);
        if (action < 0.002)
            sender.Client->Reset();
        else if (action < 0.004)
            sender.Client->Close();
        else if (action < 0.006)
            sender.Idle_Until = Clock::now() + std::chrono::milliseconds(3000 + random() % 17000);
    }
}

Answer_Rule Untidy_Answers(double nak, double silence)
{
    auto random = std::make_shared<std::mt19937>(99);
    return [random, nak, silence](const Received_Line&, std::size_t) {
        const double roll = std::uniform_real_distribution<double>(0, 1)(*random);
        if (roll < nak)
            return std::string(1, Nak_Byte);
        if (roll < nak + silence)
            return std::string();
        return std::string(1, Ack_Byte);
    };
}

class Soak_Run
{
public:
    explicit Soak_Run(const Options& chosen)
        : options(chosen)
        , ledger(chosen.communicators)
    { }

    bool Start()
    {
        Settings_Record settings = Forwarding_Settings(options.heartbeat);
        settings.DC9_Conn_Timeout = 10;
        if (options.encrypted > 0) {
            settings.DC9_AES_Mode = 3;
            const Test_Key key = Soak_Key();
            std::copy(key.begin(), key.end(), settings.DC9_Encoding_Key);
        }
        settings.Mon_Port = Pick_Free_Port();
        session.simulator.Set_Answer_Rule(Untidy_Answers(options.nak, options.silence));
        if (!session.Start(settings))
            return Fail(session.problem);
        mon_port = settings.Mon_Port;
        if (!session.runner.Wait_For_Log(
                "Automation software port " + std::to_string(mon_port) + " is open", 10000))
            return Fail("the output port did not open");
        return Connect_Automation();
    }

    void Run()
    {
        std::atomic<bool> stop {false};
        std::vector<std::thread> senders;
        for (int thread = 0; thread < options.threads; ++thread)
            senders.emplace_back(Send_Loop, thread, std::cref(options), session.runner.Port(),
                std::ref(ledger), std::ref(counters), std::cref(stop));
        const auto start = Clock::now();
        const auto end = start
            + std::chrono::duration_cast<Clock::duration>(
                std::chrono::duration<double>(options.minutes * 60));
        auto next_drop = start + std::chrono::seconds(options.automation_drop);
        auto next_report = start + std::chrono::seconds(30);
        auto next_memory = start;
        while (Clock::now() < end && session.runner.Is_Running()) {
            Observe();
            const auto now = Clock::now();
            if (now >= next_memory) {
                Sample_Memory(now - start);
                next_memory = now + std::chrono::seconds(5);
            }
            if (now >= next_drop) {
                session.simulator.Close_All();
                std::this_thread::sleep_for(std::chrono::seconds(2));
                Connect_Automation();
                ++automation_drops;
                next_drop = Clock::now() + std::chrono::seconds(options.automation_drop);
            }
            if (now >= next_report) {
                Print_Progress(now - start);
                next_report = now + std::chrono::seconds(30);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
        stop = true;
        for (std::thread& sender : senders)
            sender.join();
        Print_Progress(Clock::now() - start);
    }

    bool Finish()
    {
        // The last events go out to an automation software that now acknowledges everything.
        session.simulator.Set_Answer_Rule(Always_Ack());
        bool passed = true;
        const bool answers = session.runner.Is_Running() && Program_Answers();
        std::printf("program answers at the end: %s\n", answers ? "yes" : "NO");
        passed &= answers;
        const auto drain_until = Clock::now() + std::chrono::seconds(60);
        Soak_Ledger::Findings findings;
        do {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            Observe();
            findings = ledger.Check();
        } while ((findings.Missing_At_Automation > 0 || findings.Missing_In_File > 0)
            && Clock::now() < drain_until && session.runner.Is_Running());

        std::printf("sent %ld, acknowledged %ld, refused (clear while encrypted) %ld, sent again after a "
                    "closed connection %ld, other answers %ld, failed connects %ld\n",
            counters.Sent.load(), counters.Acknowledged.load(), counters.Refused.load(),
            counters.Unanswered.load(), counters.Other.load(), counters.Connect_Failures.load());
        std::printf("automation software: %zu event lines (%zu repeats after NAK or silence), %d drops\n",
            findings.Lines, findings.Repeated_Lines, automation_drops);
        std::printf("acknowledged events: %zu; missing in the event file: %zu; never reached the automation "
                    "software: %zu; out of ring order: %zu\n",
            findings.Acknowledged, findings.Missing_In_File, findings.Missing_At_Automation,
            findings.Out_Of_Ring_Order);
        if (!findings.First_Problem.empty())
            std::printf("first problem: %s\n", findings.First_Problem.c_str());
        passed &= findings.Acknowledged > 0 && findings.Missing_In_File == 0
            && findings.Missing_At_Automation == 0 && findings.Out_Of_Ring_Order == 0
            && counters.Other.load() == 0;

        const long growth = baseline_kb < 0 ? -1 : peak_after_baseline_kb - baseline_kb;
        std::printf("resident memory: %ld kB after the first minute, peak %ld kB after it, growth %ld kB "
                    "(limit 5120)\n",
            baseline_kb, peak_after_baseline_kb, growth);
        passed &= baseline_kb > 0 && growth <= 5120;

        const std::size_t errors = Count_Log_Lines(session.runner, "Link error");
        std::printf("link errors logged: %zu\n", errors);
        const auto exit_code = session.runner.Stop(15000);
        const auto lines = session.runner.Log_Lines();
        const bool closed = exit_code == 0 && !lines.empty() && lines.back().ends_with("Program closed");
        std::printf("ended with \"Program closed\" and exit code 0: %s (%s)\n", closed ? "yes" : "NO",
            session.runner.Exit_Description().c_str());
        passed &= closed;
        std::printf("%s\n", passed ? "SOAK PASSED" : "SOAK FAILED");
        return passed;
    }

private:
    bool Fail(const std::string& why)
    {
        std::fprintf(stderr, "soak: %s\n", why.c_str());
        return false;
    }

    bool Connect_Automation()
    {
        return session.simulator.Connect_Tcp_When_Listening(mon_port, 5000) != 0
            || Fail("cannot connect to the output");
    }

    void Observe()
    {
        if (const auto bytes = session.runner.Read_Data_File("tarvel.dat"))
            ledger.Read_Event_File(*bytes);
        std::vector<std::string> texts;
        for (const Received_Line& line : session.simulator.Lines_From(lines_seen))
            texts.push_back(line.text);
        lines_seen += texts.size();
        ledger.Add_Lines(texts);
    }

    void Sample_Memory(Clock::duration since_start)
    {
        const long kilobytes = Resident_Kilobytes(session.runner.Process_Id());
        if (kilobytes <= 0 || since_start < std::chrono::seconds(60))
            return;
        if (baseline_kb < 0)
            baseline_kb = kilobytes;
        peak_after_baseline_kb = std::max(peak_after_baseline_kb, kilobytes);
        last_kb = kilobytes;
    }

    void Print_Progress(Clock::duration elapsed)
    {
        std::printf("%6.0f s: sent %ld, acknowledged %ld, refused %ld, sent again %ld, other %ld, failed "
                    "connects %ld; lines at the automation software %zu; resident %ld kB\n",
            std::chrono::duration<double>(elapsed).count(), counters.Sent.load(),
            counters.Acknowledged.load(), counters.Refused.load(), counters.Unanswered.load(),
            counters.Other.load(), counters.Connect_Failures.load(), lines_seen, last_kb);
    }

    // One more event from a fresh connection, answered and stored like the others.
    bool Program_Answers()
    {
        DC09_Test_Client client;
        if (!client.Connect(session.runner.Port(), 5000))
            return false;
        const int communicator = 0;
        const int number = Soak_Max_Events_Per_Communicator - 1;
        std::string group, zone;
        Soak_Group_Zone(number, group, zone);
        Test_Message message = Event_Message(Soak_Account(communicator), "1401", group, zone);
        const bool encrypted = options.encrypted > 0;
        if (encrypted)
            message.token = "*ADM-CID";
        const Test_Key key = Soak_Key();
        const std::string reply = client.Exchange(
            encrypted ? Build_Encrypted_Frame(message, 3, key) : Build_Clear_Frame(message), 5000);
        const std::string token = Decode_Reply(reply, encrypted ? 3 : 0, key).token;
        if (token != (encrypted ? "*ACK" : "ACK"))
            return false;
        ledger.Mark_Acknowledged(ledger.Key(communicator, number));
        return true;
    }

    const Options options;
    Forwarding_Session session;
    Soak_Ledger ledger;
    Counters counters;
    int mon_port = 0;
    int automation_drops = 0;
    std::size_t lines_seen = 0;
    long baseline_kb = -1;
    long peak_after_baseline_kb = -1;
    long last_kb = -1;
};

} // namespace

int main(int argc, char* argv[])
{
    const Options options = Parse_Options(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QCoreApplication application(argc, argv);
    Soak_Run run(options);
    if (!run.Start())
        return 1;
    run.Run();
    return run.Finish() ? 0 : 1;
}
