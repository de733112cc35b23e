#include <QCoreApplication>
#include <gtest/gtest.h>

// Core tests get an event loop for sockets and timers, but never a window system.
int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
