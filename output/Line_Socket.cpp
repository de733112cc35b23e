#include "output/Line_Socket.h"

#include "base/Sync_Events.h"
#include "output/Link_State.h"

#include <algorithm>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// A wait looks this often whether it was given up, or the connection let go.
constexpr std::chrono::milliseconds Check_Interval {50};

std::chrono::milliseconds Left_Until(Clock::time_point end)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now());
    return std::max(left, std::chrono::milliseconds(0));
}

} // namespace

std::shared_ptr<Line_Socket> Line_Socket::Adopt(std::intptr_t descriptor)
{
    if (!Set_Non_Blocking(descriptor)) {
        Close(descriptor);
        return {};
    }
    return std::shared_ptr<Line_Socket>(new Line_Socket(descriptor));
}

Line_Socket::~Line_Socket()
{
    Close(descriptor);
}

bool Line_Socket::Discard_Unasked()
{
    char bytes[256];
    for (;;) {
        int error = 0;
        const std::int64_t got = Receive(bytes, sizeof bytes, false, error);
        if (got == Would_Block)
            return true;
        if (got <= 0) {
            peer_gone.store(true);
            return false;
        }
    }
}

bool Line_Socket::Send(const char* data, std::size_t size, std::chrono::milliseconds room_wait)
{
    const Clock::time_point give_up = Clock::now() + room_wait;
    while (size > 0) {
        if (dropped.load())
            return false;
        const std::int64_t sent = Send_Some(data, size);
        if (sent == Gone)
            return false;
        if (sent == Would_Block) {
            const auto left = Left_Until(give_up);
            if (left.count() == 0 || !Wait_Ready(true, std::min(left, Check_Interval)))
                return false;
            continue;
        }
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

Line_Socket::Wait_End Line_Socket::Await_Answer(
    std::chrono::milliseconds limit, const Manual_Reset_Event& give_up, std::uint8_t& answer)
{
    const Clock::time_point end = Clock::now() + limit;
    bool silent_to_the_end = peer_gone.load();
    for (;;) {
        // A connection the window thread let go can bring no answer; that is no fault of the
        // automation software's.
        if (give_up.Is_Set() || dropped.load())
            return Wait_End::Given_Up;
        const auto left = Left_Until(end);
        if (left.count() == 0)
            return Wait_End::Silence;
        const auto slice = std::min(left, Check_Interval);
        if (silent_to_the_end) {
            std::this_thread::sleep_for(slice);
            continue;
        }
        if (!Wait_Ready(false, slice)) {
            silent_to_the_end = true;
            continue;
        }
        char bytes[256];
        int error = 0;
        std::int64_t got = Receive(bytes, sizeof bytes, false, error);
        if (got == Would_Block)
            continue;
        if (got <= 0) {
            peer_gone.store(true);
            silent_to_the_end = true;
            continue;
        }
        const auto first = static_cast<std::uint8_t>(bytes[0]);
        // The rest of what has come is dropped with the first byte, as one read.
        while (got > 0)
            got = Receive(bytes, sizeof bytes, false, error);
        if (got == 0 || got == Gone)
            peer_gone.store(true);
        if (first == Answer_ACK || first == Answer_NAK) {
            answer = first;
            return Wait_End::Answer;
        }
    }
}

Line_Socket::Health Line_Socket::Look(int& error) const
{
    error = 0;
    char byte = 0;
    const std::int64_t got = Receive(&byte, 1, true, error);
    if (got == 0)
        return Health::Closed_By_Peer;
    if (got == Gone)
        return error == 0 ? Health::Closed_By_Peer : Health::Failed;
    return peer_gone.load() ? Health::Closed_By_Peer : Health::Open;
}

Line_Exchange Exchange_Line_On(Line_Socket& target, const char* line, std::size_t size,
    std::chrono::milliseconds answer_wait, Manual_Reset_Event& interrupt)
{
    // The room wait is bounded by the answer wait, so a line to an automation software that
    // reads nothing ends in a missing answer too.
    target.Send(line, size, answer_wait);
    std::uint8_t answer = 0;
    switch (target.Await_Answer(answer_wait, interrupt, answer)) {
    case Line_Socket::Wait_End::Answer:
        return {Line_Exchange::End::Answer, answer};
    case Line_Socket::Wait_End::Given_Up:
        return {Line_Exchange::End::Interrupted};
    case Line_Socket::Wait_End::Silence:
        break;
    }
    return {Line_Exchange::End::Silence};
}
