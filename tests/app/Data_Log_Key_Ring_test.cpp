#include "app/Data_Log_Key_Ring.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace {

// Feeds the keys and returns the 1-based numbers of the keys on which Feed said yes.
std::vector<int> Feed_All(Data_Log_Key_Ring& ring, std::string_view keys)
{
    std::vector<int> hits;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (ring.Feed(keys[i]))
            hits.push_back(static_cast<int>(i) + 1);
    }
    return hits;
}

TEST(Data_Log_Key_Ring_Test, CodeAsTheFirstSixKeysUnlocksOnTheSixth)
{
    Data_Log_Key_Ring ring;
    EXPECT_EQ(Feed_All(ring, "mur ok"), std::vector<int> {6});
    EXPECT_TRUE(ring.Unlocked());
    // Once shown the item stays shown: neither further keys nor the code again say yes.
    EXPECT_TRUE(Feed_All(ring, "xxxxxxxxxxmur okmur ok").empty());
}

TEST(Data_Log_Key_Ring_Test, OneOtherKeyFirstHidesTheCode)
{
    Data_Log_Key_Ring ring;
    EXPECT_TRUE(Feed_All(ring, "xmur ok").empty());
    EXPECT_FALSE(ring.Unlocked());
}

TEST(Data_Log_Key_Ring_Test, KeysSeventeenToTwentyTwoUnlock)
{
    Data_Log_Key_Ring ring;
    EXPECT_EQ(Feed_All(ring, "0123456789abcdefmur ok"), std::vector<int> {22});
}

TEST(Data_Log_Key_Ring_Test, CodeOutOfStepWithTheRingIsIgnored)
{
    Data_Log_Key_Ring ring;
    EXPECT_TRUE(Feed_All(ring, "0123456789abcdemur ok0123456789").empty());
}

} // namespace
