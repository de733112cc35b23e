#include "app/Single_Instance.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

namespace {

// Without a session runtime folder the lock is made in the private folder given, never in a
// folder that other users can write to.
TEST(Single_Instance_Test, WithoutRuntimeFolderTheLockLivesInThePrivateFolder)
{
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string runtime = saved ? saved : "";
    ::unsetenv("XDG_RUNTIME_DIR");
    QTemporaryDir folder;
    const std::string private_folder = folder.path().toStdString() + "/";

    Single_Instance first;
    Single_Instance second;
    EXPECT_TRUE(first.Acquire("velmor-lock-test", private_folder));
    EXPECT_FALSE(second.Acquire("velmor-lock-test", private_folder));
    struct stat info
    {
    };
    ASSERT_EQ(::stat((private_folder + "velmor-lock-test").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600U);
    EXPECT_FALSE(std::filesystem::exists("/tmp/velmor-lock-test"));
    if (saved)
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
}

} // namespace
