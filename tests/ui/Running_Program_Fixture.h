#pragma once

// The whole program in the test's process with its receiver and automation software ports open on
// free ports of 127.0.0.1, and a simulated automation software to connect to the latter.

#include "tests/support/Automation_Simulator.h"
#include "tests/support/Forwarding_Session.h"
#include "tests/support/Program_Runner.h"
#include "tests/ui/In_Process_Program.h"

#include <gtest/gtest.h>

#include <memory>

class Running_Program_Test : public ::testing::Test
{
protected:
    void SetUp() override { Use_Home_Folder(runner.Home()); }

    void TearDown() override
    {
        if (program)
            program->End();
    }

    // Writes the settings (heartbeat a minute, both ports open) and starts the program.
    bool Start_Program()
    {
        settings = Forwarding_Settings(60);
        settings.DC9_Port_Enable = 1;
        settings.DC9_Port = static_cast<std::uint16_t>(Pick_Free_Port());
        settings.Mon_Port = static_cast<std::uint16_t>(Pick_Free_Port());
        if (!runner.Write_Settings(settings))
            return false;
        program = std::make_unique<In_Process_Program>();
        return program->Start();
    }

    Program_Runner runner; // only its folders: the program runs in this process
    Automation_Simulator simulator;
    Settings_Record settings {};
    std::unique_ptr<In_Process_Program> program;
};
