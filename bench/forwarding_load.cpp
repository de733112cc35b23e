// Load tool for the output side: how fast the program forwards acknowledged events to an automation
// software that acknowledges every line at once, and how long one event takes from the communicator's
// send to its line reaching the automation software. It starts the program itself (offscreen, in a
// temporary home folder), plays both the communicator and the automation software, and prints the
// figures. Run it with --help for the phases and options.

#include "bench/Bare_Automation.h"
#include "tests/support/Forwarding_Session.h"

#include "base/Settings_File.h"
#include "output/Output_Transport.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* Help_Text
    = "usage: forwarding_load [--events N] [--latency-events M] [--rate R] [--heartbeat S]\n"
      "                       [--transport tcp|serial] [--automation bare|simulator]\n"
      "\n"
      "Starts the program under test (offscreen, temporary home folder) with its receiver port open\n"
      "and its output as a TCP server (or, with --transport serial, a serial line on a\n"
      "pseudo-terminal), and an automation software that answers every line with ACK at once: over\n"
      "TCP by default a bare one (one blocking socket on its own thread, see floor below), or with\n"
      "--automation simulator the event-loop simulator of the end-to-end tests. Then, over one\n"
      "communicator connection sending clear ADM-CID events:\n"
      "  floor     (bare TCP only) the same exchange with nothing in between: a thread that writes\n"
      "            each line after the previous one's ACK, to the bare automation software; every\n"
      "            backlog rate is also printed as a ratio to it;\n"
      "  backlog   N events (default 3000) are stored while no automation software is connected;\n"
      "            then it connects, and the rate at which the N lines arrive is measured from the\n"
      "            first event line to the last (each line waits for the previous one's ACK);\n"
      "  live      N more events are sent as fast as the receiver acknowledges them while the\n"
      "            automation software is connected; lines per second from the first send to the\n"
      "            last line;\n"
      "  latency   M events (default 2000) are sent at R per second (default 200); for each, the\n"
      "            time from its send to its line's arrival: p50, p99, max.\n"
      "The event ring holds 4096 events: N above 4096 in the backlog phase overwrites events\n"
      "before they are sent. Heartbeat period S seconds (default 30).\n";

struct Options
{
    int events = 3000;
    int latency_events = 2000;
    double rate = 200;
    int heartbeat = 30;
    bool serial = false;
    bool bare = true;
};

[[noreturn]] void Usage_Error(const std::string& message)
{
    std::fprintf(stderr, "forwarding_load: %s\n\n%s", message.c_str(), Help_Text);
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
        const std::string value = argv[++i];
        if (name == "--events")
            options.events = std::atoi(value.c_str());
        else if (name == "--latency-events")
            options.latency_events = std::atoi(value.c_str());
        else if (name == "--rate")
            options.rate = std::atof(value.c_str());
        else if (name == "--heartbeat")
            options.heartbeat = std::atoi(value.c_str());
        else if (name == "--transport" && (value == "tcp" || value == "serial"))
            options.serial = value == "serial";
        else if (name == "--automation" && (value == "bare" || value == "simulator"))
            options.bare = value == "bare";
        else
            Usage_Error("unknown option or value: " + name + " " + value);
    }
    options.bare = options.bare && !options.serial;
    if (options.events <= 0 || options.events > 99999 || options.latency_events <= 0
        || options.latency_events > 99999 || options.rate <= 0 || options.heartbeat < 0)
        Usage_Error("bad option value");
    return options;
}

double Seconds(Clock::duration duration)
{
    return std::chrono::duration<double>(duration).count();
}

double Percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0;
    const auto at = values.begin() + static_cast<long>(share * static_cast<double>(values.size() - 1));
    std::nth_element(values.begin(), at, values.end());
    return *at;
}

// One run's events: account `account`, the event's index in group and zone (five digits in all),
// so every line names its event.
class Event_Batch
{
public:
    Event_Batch(std::string account_text, int count)
        : account(std::move(account_text))
    {
        for (int i = 0; i < count; ++i) {
            char digits[16];
            std::snprintf(digits, sizeof digits, "%05d", i);
            const std::string group(digits, 2), zone(digits + 2, 3);
            frames.push_back(Build_Clear_Frame(Event_Message(account, "1401", group, zone)));
        }
        sent_at.resize(frames.size());
    }

    // The event a line reports, or -1 when the line is not one of this batch's.
    int Index_Of(const std::string& text) const
    {
        if (text.size() != 22 || text.compare(9, 4, account) != 0 || text.compare(13, 4, "E401") != 0)
            return -1;
        return std::atoi(text.c_str() + 17);
    }

    const std::string account;
    std::vector<std::string> frames;
    std::vector<Clock::time_point> sent_at;
};

class Load_Run
{
public:
    explicit Load_Run(const Options& chosen)
        : options(chosen)
    { }

    bool Start()
    {
        Settings_Record settings = Forwarding_Settings(options.heartbeat);
        if (options.serial) {
            const auto path = session.simulator.Open_Pseudo_Terminal();
            if (!path || !Set_Com_Port_Name(settings, *path))
                return Fail("no pseudo-terminal for the serial line");
            // The serial output opens on the first transport tick, connected or not: the backlog
            // phase then only measures what piles up during start-up.
            Set_Transport(settings, Output_Transport::Serial);
            return session.Start(settings) || Fail(session.problem);
        }
        settings.Mon_Port = Pick_Free_Port();
        if (!session.Start(settings))
            return Fail(session.problem);
        const std::string open = "Automation software port " + std::to_string(settings.Mon_Port)
            + " is open. Waiting for connection...";
        if (!session.runner.Wait_For_Log(open, 10000))
            return Fail("the output port did not open");
        mon_port = settings.Mon_Port;
        return true;
    }

    bool Backlog_Phase()
    {
        Event_Batch batch("1001", options.events);
        const auto sending = Clock::now();
        if (!Send_All(batch, 0))
            return false;
        const auto stored = Clock::now();
        const bool connected = options.bare
            ? bare.Connect(mon_port, 3000)
            : options.serial || session.simulator.Connect_Tcp_When_Listening(mon_port, 3000) != 0;
        if (!connected)
            return Fail("the automation software could not connect to the output port");
        if (!Wait_For_Batch(batch, 60000))
            return Fail("not every backlog line arrived");
        const auto [first, last] = Arrival_Span(batch);
        std::printf("backlog: %d events stored in %.3f s (%.0f events/s)\n", options.events,
            Seconds(stored - sending), options.events / Seconds(stored - sending));
        const double rate = (options.events - 1) / Seconds(last - first);
        std::printf("         %d lines in %.3f s from the first to the last: %.0f lines/s", options.events,
            Seconds(last - first), rate);
        if (floor_rate > 0)
            std::printf(" (%.2f of the floor)", rate / floor_rate);
        std::printf("\n");
        const std::vector<double> gaps = Arrival_Gaps_Ms(batch);
        std::printf("         time between lines: p50 %.3f ms, p99 %.3f ms, max %.3f ms\n",
            Percentile(gaps, 0.50), Percentile(gaps, 0.99),
            gaps.empty() ? 0.0 : *std::max_element(gaps.begin(), gaps.end()));
        return true;
    }

    bool Live_Phase()
    {
        Event_Batch batch("1002", options.events);
        if (!Send_All(batch, 0))
            return false;
        if (!Wait_For_Batch(batch, 60000))
            return Fail("not every live line arrived");
        const auto [first, last] = Arrival_Span(batch);
        const double span = Seconds(last - batch.sent_at.front());
        std::printf(
            "live:    %d events sent in %.3f s; last line %.3f s after the first send: %.0f lines/s\n",
            options.events, Seconds(batch.sent_at.back() - batch.sent_at.front()), span,
            options.events / span);
        return true;
    }

    bool Latency_Phase()
    {
        Event_Batch batch("1003", options.latency_events);
        if (!Send_All(batch, options.rate))
            return false;
        if (!Wait_For_Batch(batch, 60000))
            return Fail("not every latency line arrived");
        std::vector<double> latencies_ms;
        for (const Received_Line& line : Lines()) {
            const int index = batch.Index_Of(line.text);
            if (index >= 0)
                latencies_ms.push_back(
                    std::chrono::duration<double, std::milli>(line.arrived - batch.sent_at[index]).count());
        }
        std::printf(
            "latency: %d events at %.0f events/s, send to line: p50 %.1f ms, p99 %.1f ms, max %.1f ms\n",
            options.latency_events, options.rate, Percentile(latencies_ms, 0.50),
            Percentile(latencies_ms, 0.99), *std::max_element(latencies_ms.begin(), latencies_ms.end()));
        return true;
    }

    // The end of the program's log, to go with a failure.
    void Print_Log_Tail(std::size_t count) const
    {
        const auto lines = session.runner.Log_Lines();
        for (std::size_t i = lines.size() > count ? lines.size() - count : 0; i < lines.size(); ++i)
            std::fprintf(stderr, "  log: %s\n", lines[i].c_str());
    }

    void Stop()
    {
        const std::size_t errors = Count_Log_Lines(session.runner, "Link error");
        if (errors != 0)
            std::printf("the program logged %zu link errors\n", errors);
        session.runner.Stop();
    }

private:
    bool Fail(const std::string& why)
    {
        std::fprintf(stderr, "forwarding_load: %s\n", why.c_str());
        return false;
    }

    // Sends the batch's frames in order, at `rate` events per second (0: as fast as the receiver
    // acknowledges them), each after the previous one's reply.
    bool Send_All(Event_Batch& batch, double rate)
    {
        DC09_Test_Client& client = session.communicator;
        const auto start = Clock::now();
        for (std::size_t i = 0; i < batch.frames.size(); ++i) {
            if (rate > 0)
                std::this_thread::sleep_until(start
                    + std::chrono::duration_cast<Clock::duration>(
                        std::chrono::duration<double>(static_cast<double>(i) / rate)));
            if (!client.Is_Connected() && !client.Connect(session.runner.Port()))
                return Fail("cannot connect to the receiver port");
            batch.sent_at[i] = Clock::now();
            const Test_Reply reply = Decode_Reply(client.Exchange(batch.frames[i]));
            if (reply.token != "ACK") {
                const auto waited
                    = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - batch.sent_at[i]);
                return Fail("event " + std::to_string(i) + " of account " + batch.account + " answered \""
                    + reply.token + "\" after " + std::to_string(waited.count()) + " ms; connection "
                    + (client.Is_Connected() ? "open" : "closed"));
            }
        }
        return true;
    }

public:
    // The bare floor for lines like this tool's; printed, and kept for the ratios.
    void Floor_Phase()
    {
        if (!options.bare)
            return;
        // A report line of the same size as the backlog's.
        const std::string line = "5120001810001E40100000";
        floor_rate = Bare_Automation::Floor_Lines_Per_Second(line, options.events);
        std::printf(
            "floor:   %d lines over a bare loopback connection: %.0f lines/s\n", options.events, floor_rate);
    }

private:
    std::vector<Received_Line> Lines_From(std::size_t first) const
    {
        return options.bare ? bare.Lines_From(first) : session.simulator.Lines_From(first);
    }
    std::vector<Received_Line> Lines() const { return Lines_From(0); }

    bool Wait_For_Batch(const Event_Batch& batch, int timeout_ms)
    {
        std::size_t checked = 0, seen = 0;
        const auto all_seen = [&] {
            const auto lines = Lines_From(checked);
            checked += lines.size();
            for (const Received_Line& line : lines)
                seen += batch.Index_Of(line.text) >= 0 ? 1 : 0;
            return seen >= batch.frames.size();
        };
        if (!options.bare)
            return session.simulator.Wait_Until(all_seen, timeout_ms);
        // The bare automation software wakes nobody; looked at every few milliseconds.
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
        while (!all_seen()) {
            if (Clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    // Each line waits for the previous line's ACK, so the gap is the cost of one line.
    std::vector<double> Arrival_Gaps_Ms(const Event_Batch& batch) const
    {
        std::vector<double> gaps;
        std::optional<Clock::time_point> previous;
        for (const Received_Line& line : Lines()) {
            if (batch.Index_Of(line.text) < 0)
                continue;
            if (previous)
                gaps.push_back(std::chrono::duration<double, std::milli>(line.arrived - *previous).count());
            previous = line.arrived;
        }
        return gaps;
    }

    std::pair<Clock::time_point, Clock::time_point> Arrival_Span(const Event_Batch& batch) const
    {
        Clock::time_point first = Clock::time_point::max(), last = Clock::time_point::min();
        for (const Received_Line& line : Lines()) {
            if (batch.Index_Of(line.text) < 0)
                continue;
            first = std::min(first, line.arrived);
            last = std::max(last, line.arrived);
        }
        return {first, last};
    }

    const Options options;
    Forwarding_Session session;
    Bare_Automation bare;
    double floor_rate = 0;
    int mon_port = 0;
};

} // namespace

int main(int argc, char* argv[])
{
    const Options options = Parse_Options(argc, argv);
    // Figures and failures in the order they happen, also when the output is a file.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QCoreApplication application(argc, argv);
    Load_Run run(options);
    run.Floor_Phase();
    const bool done = run.Start() && run.Backlog_Phase() && run.Live_Phase() && run.Latency_Phase();
    if (!done)
        run.Print_Log_Tail(20);
    run.Stop();
    return done ? 0 : 1;
}
