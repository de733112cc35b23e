// Memory churn of the receiver port: rounds of connections opened together, one message each, all
// closed again (every third one with a reset instead of an orderly close). Prints the receiver's
// resident memory after 10,000 and after 100,000 connections (by default); a receiver that runs
// for months must stay flat once warmed up, so the second figure may be at most 5 MB above the first.
//
//   dc09_churn --port 7777 --pid PID [--per-round 1500] [--total 100000] [--warm-up 10000]

#include "bench/Resident_Memory.h"
#include "tests/support/DC09_Test_Frames.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Options
{
    int port = 7777;
    long pid = 0;
    int per_round = 1500;
    long total = 100000;
    long warm_up = 10000;
};

Options Parse_Options(int argc, char* argv[])
{
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const long value = std::atol(argv[i + 1]);
        if (name == "--port")
            options.port = static_cast<int>(value);
        else if (name == "--pid")
            options.pid = value;
        else if (name == "--per-round")
            options.per_round = static_cast<int>(value);
        else if (name == "--total")
            options.total = value;
        else if (name == "--warm-up")
            options.warm_up = value;
    }
    if (options.pid <= 0 || options.per_round <= 0 || options.warm_up >= options.total) {
        std::fprintf(
            stderr, "usage: dc09_churn --port P --pid PID [--per-round N] [--total N] [--warm-up N]\n");
        std::exit(2);
    }
    return options;
}

struct Round_Result
{
    int answered = 0;
    int failed = 0;
};

// Opens `count` connections at once, sends one frame on each, waits for each reply, closes all.
Round_Result Churn_Round(int port, int count, const std::string& frame, long first_index)
{
    Round_Result result;
    std::vector<int> descriptors;
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (int i = 0; i < count; ++i) {
        const int descriptor = ::socket(AF_INET, SOCK_STREAM, 0);
        if (descriptor < 0
            || ::connect(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            if (descriptor >= 0)
                ::close(descriptor);
            ++result.failed;
            continue;
        }
        descriptors.push_back(descriptor);
    }
    for (const int descriptor : descriptors)
        ::send(descriptor, frame.data(), frame.size(), MSG_NOSIGNAL);
    for (const int descriptor : descriptors) {
        pollfd waiting {descriptor, POLLIN, 0};
        char reply[256];
        if (::poll(&waiting, 1, 5000) == 1 && ::recv(descriptor, reply, sizeof reply, 0) > 0)
            ++result.answered;
        else
            ++result.failed;
    }
    long index = first_index;
    for (const int descriptor : descriptors) {
        if (index++ % 3 == 2) {
            const linger reset {1, 0};
            ::setsockopt(descriptor, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        }
        ::close(descriptor);
    }
    return result;
}

} // namespace

int main(int argc, char* argv[])
{
    const Options options = Parse_Options(argc, argv);
    const std::string frame = Build_Clear_Frame(Test_Message {});
    std::printf("resident memory at start: %ld kB\n", Resident_Kb(options.pid));
    long done = 0;
    long failed = 0;
    long after_warm_up = -1;
    while (done < options.total) {
        const int count = static_cast<int>(std::min<long>(options.per_round, options.total - done));
        const Round_Result round = Churn_Round(options.port, count, frame, done);
        failed += round.failed;
        const bool crosses_warm_up = done < options.warm_up && done + count >= options.warm_up;
        done += count;
        if (crosses_warm_up || done >= options.total) {
            // Lets the receiver see every close before its memory is read.
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            const long resident = Resident_Kb(options.pid);
            std::printf("resident memory after %ld connections: %ld kB\n", done, resident);
            if (crosses_warm_up)
                after_warm_up = resident;
        }
    }
    const long growth = Resident_Kb(options.pid) - after_warm_up;
    std::printf(
        "growth after warm-up: %ld kB (limit 5120 kB); connections without an answer: %ld\n", growth, failed);
    return growth <= 5120 && failed == 0 ? 0 : 1;
}
