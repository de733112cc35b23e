#include "receiver/DC09_Reply_Sources.h"

#include <ctime>
#include <random>

namespace {

// Seconds since 1970 on every platform the program builds for; whole seconds are all a time stamp
// shows, and this is several times cheaper than the sub-second clocks.
std::int64_t System_Utc_Seconds()
{
    return static_cast<std::int64_t>(std::time(nullptr));
}

// Seeded with the generator's whole state size from the system's entropy source, so two receivers
// started at the same moment do not pad alike. One per thread: replies are built on any thread.
std::uint32_t Seeded_Random()
{
    thread_local std::mt19937 generator = [] {
        std::random_device entropy;
        std::uint32_t seed[std::mt19937::state_size];
        for (std::uint32_t& word : seed)
            word = entropy();
        std::seed_seq sequence(std::begin(seed), std::end(seed));
        return std::mt19937(sequence);
    }();
    return generator();
}

DC09_Reply_Sources Sources = {System_Utc_Seconds, Seeded_Random};

} // namespace

void DC09_Set_Reply_Sources(const DC09_Reply_Sources& sources)
{
    Sources.Utc_Seconds = sources.Utc_Seconds != nullptr ? sources.Utc_Seconds : System_Utc_Seconds;
    Sources.Random = sources.Random != nullptr ? sources.Random : Seeded_Random;
}

DC09_Reply_Sources DC09_Current_Reply_Sources()
{
    return Sources;
}
