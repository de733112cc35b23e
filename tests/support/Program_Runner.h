#pragma once

// Starts the real program for end-to-end tests in a home folder and runtime folder of its own, so
// copies run side by side and never touch the user's files. Every wait is bounded.

#include "base/Settings_Record.h"

#include <QProcess>
#include <QTemporaryDir>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The settings a first start writes into a new settings file.
Settings_Record Test_Default_Settings();

// A port on 127.0.0.1 that nothing listened on a moment ago; 0 when none could be bound.
int Pick_Free_Port();

class Program_Runner
{
public:
    Program_Runner();
    ~Program_Runner();
    Program_Runner(const Program_Runner&) = delete;
    Program_Runner& operator=(const Program_Runner&) = delete;

    const std::string& Home() const { return m_home; }
    // The program's $XDG_RUNTIME_DIR, without a trailing separator.
    std::string Runtime_Folder() const { return m_runtime_dir.path().toStdString(); }
    // "<home>/.local/share/Varnek SIA-IP Receiver/", with the trailing separator.
    const std::string& Data_Folder() const { return m_data_folder; }
    std::string Data_Path(std::string_view file_name) const;

    // Creates the data folder when needed and writes the file whole.
    bool Write_Data_File(std::string_view file_name, std::string_view bytes) const;
    bool Write_Settings(const Settings_Record& settings) const;
    // The file's bytes, or nothing when it does not exist.
    std::optional<std::string> Read_Data_File(std::string_view file_name) const;
    // Every monthly log file of the data folder, oldest first, joined.
    std::string Read_Log_Files() const;

    bool Start();
    bool Is_Running() const;
    // The running program's process id; 0 when none runs.
    qint64 Process_Id() const { return m_process.processId(); }
    // Polls standard error (written since the last start) for a line containing `text`.
    bool Wait_For_Log(std::string_view text, int timeout_ms);
    std::string Standard_Error() const;
    // Standard error split into lines, carriage returns removed.
    std::vector<std::string> Log_Lines() const;

    // Writes `settings` with the receiver port enabled on a free port, starts the program and waits
    // for the port to open; tries another port when one turns out to be taken.
    bool Start_Receiver(Settings_Record settings, int timeout_ms = 8000);
    int Port() const { return m_port; }

    // SIGTERM, then waits; the exit code, or nothing when the program crashed or had to be killed.
    std::optional<int> Stop(int timeout_ms = 10000);
    // SIGKILL and reap.
    void Kill();
    // How the last run ended, for failure messages: "exit code N", "crashed (signal N)", "running".
    std::string Exit_Description() const;

    struct Copy_Result
    {
        bool finished = false;
        int exit_code = -1;
        std::string standard_error;
    };
    // Runs a second copy with the same home and runtime folder until it ends (killed after timeout_ms).
    Copy_Result Run_Second_Copy(int timeout_ms) const;

private:
    QProcessEnvironment Environment() const;

    QTemporaryDir m_home_dir;
    QTemporaryDir m_runtime_dir;
    std::string m_home;
    std::string m_data_folder;
    std::string m_stderr_path;
    qint64 m_stderr_offset = 0;
    int m_port = 0;
    QProcess m_process;
};
