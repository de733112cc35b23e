#include "ui/Velmor_Application.h"

#include <gtest/gtest.h>

// Window tests run offscreen unless a display is asked for explicitly.
int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The program's own application object, so that window tests run as the program does.
    Velmor_Application application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
