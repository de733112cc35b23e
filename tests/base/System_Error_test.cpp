#include "base/System_Error.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace {

TEST(System_Error, TextIsThePlatformText)
{
#ifdef _WIN32
    // The system's own sentence, without the line break it comes with: it ends a log line.
    for (const int error : {2 /* ERROR_FILE_NOT_FOUND */, 112 /* ERROR_DISK_FULL */}) {
        const std::string text = System_Error_Text(error);
        ASSERT_FALSE(text.empty()) << error;
        EXPECT_NE(text.back(), '\n') << error;
        EXPECT_NE(text.back(), '\r') << error;
    }
#else
    EXPECT_EQ(System_Error_Text(ENOENT), std::strerror(ENOENT));
    EXPECT_EQ(System_Error_Text(ENOSPC), std::strerror(ENOSPC));
#endif
}

} // namespace
