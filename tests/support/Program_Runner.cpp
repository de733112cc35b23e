#include "tests/support/Program_Runner.h"

#include <QTcpServer>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#ifndef VELMOR_BINARY
#error "VELMOR_BINARY must name the program under test"
#endif

namespace fs = std::filesystem;

namespace {

constexpr int Poll_Interval_Ms = 20;

std::optional<std::string> Read_Whole_File(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Milliseconds left of a bound that started at `start`.
int Remaining_Ms(std::chrono::steady_clock::time_point start, int timeout_ms)
{
    const auto spent
        = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    return std::max(0, timeout_ms - static_cast<int>(spent.count()));
}

} // namespace

Settings_Record Test_Default_Settings()
{
    Settings_Record settings {};
    settings.DC9_Port = 7777;
    settings.DC9_Conn_Timeout = 30;
    settings.Mon_Server_Mode = 1;
    settings.Mon_Port = 9999;
    settings.Test_Rec_Nr = 1;
    std::memcpy(settings.Out_IP, "127.0.0.1", 9);
    settings.COM_Baud = 9600;
    settings.Test_Heartbeat_Period = 30;
    settings.Format_Mark = Format_Mark_Value;
    return settings;
}

int Pick_Free_Port()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 0;
    return server.serverPort();
}

Program_Runner::Program_Runner()
    : m_home(m_home_dir.path().toStdString())
    , m_data_folder(m_home + "/.local/share/Varnek SIA-IP Receiver/")
    , m_stderr_path(m_runtime_dir.path().toStdString() + "/program.stderr")
{
    m_process.setProgram(QStringLiteral(VELMOR_BINARY));
    m_process.setProcessEnvironment(Environment());
    // A file instead of a pipe: a program that logs a lot can never block on a full pipe while a
    // test sits in a blocking socket call.
    m_process.setStandardErrorFile(QString::fromStdString(m_stderr_path), QIODevice::Append);
    m_process.setStandardOutputFile(QProcess::nullDevice());
}

Program_Runner::~Program_Runner()
{
    if (Is_Running() && !Stop(5000))
        Kill();
}

QProcessEnvironment Program_Runner::Environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), m_home_dir.path());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime_dir.path());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.remove(QStringLiteral("XDG_DATA_HOME"));
    return environment;
}

std::string Program_Runner::Data_Path(std::string_view file_name) const
{
    return m_data_folder + std::string(file_name);
}

bool Program_Runner::Write_Data_File(std::string_view file_name, std::string_view bytes) const
{
    std::error_code error;
    fs::create_directories(m_data_folder, error);
    std::ofstream file(Data_Path(file_name), std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file.flush());
}

bool Program_Runner::Write_Settings(const Settings_Record& settings) const
{
    return Write_Data_File("tarvel.cfg", {reinterpret_cast<const char*>(&settings), sizeof settings});
}

std::optional<std::string> Program_Runner::Read_Data_File(std::string_view file_name) const
{
    return Read_Whole_File(Data_Path(file_name));
}

std::string Program_Runner::Read_Log_Files() const
{
    std::vector<fs::path> logs;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(m_data_folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("tarvel_") && name.ends_with(".log"))
            logs.push_back(entry.path());
    }
    std::sort(logs.begin(), logs.end());
    std::string text;
    for (const auto& path : logs)
        text += Read_Whole_File(path).value_or(std::string());
    return text;
}

bool Program_Runner::Start(const QStringList& arguments)
{
    if (Is_Running())
        return false;
    m_process.setArguments(arguments);
    std::error_code error;
    m_stderr_offset
        = fs::exists(m_stderr_path) ? static_cast<qint64>(fs::file_size(m_stderr_path, error)) : 0;
    m_process.start();
    return m_process.waitForStarted(10000);
}

bool Program_Runner::Is_Running() const
{
    return m_process.state() != QProcess::NotRunning;
}

std::string Program_Runner::Standard_Error() const
{
    std::string text = Read_Whole_File(m_stderr_path).value_or(std::string());
    return text.substr(std::min<std::size_t>(text.size(), static_cast<std::size_t>(m_stderr_offset)));
}

std::vector<std::string> Program_Runner::Log_Lines() const
{
    std::vector<std::string> lines;
    const std::string text = Standard_Error();
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(begin, end - begin);
        std::erase(line, '\r');
        lines.push_back(std::move(line));
        begin = end + 1;
    }
    return lines;
}

bool Program_Runner::Wait_For_Log(std::string_view text, int timeout_ms)
{
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        // The output is read before the liveness test so lines written just before an exit count.
        const bool running = Is_Running();
        if (Standard_Error().find(text) != std::string::npos)
            return true;
        if (!running || Remaining_Ms(start, timeout_ms) == 0)
            return false;
        // Lets QProcess notice an exit while we poll.
        m_process.waitForFinished(Poll_Interval_Ms);
    }
}

bool Program_Runner::Start_Receiver(Settings_Record settings, int timeout_ms)
{
    constexpr int attempts = 3;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        m_port = Pick_Free_Port();
        settings.DC9_Port_Enable = 1;
        settings.DC9_Port = m_port;
        if (m_port == 0 || !Write_Settings(settings) || !Start())
            return false;
        const std::string opened = "Port " + std::to_string(m_port) + " is open.";
        if (Wait_For_Log(opened, timeout_ms))
            return true;
        if (!Stop(5000))
            Kill();
    }
    return false;
}

std::optional<int> Program_Runner::Stop(int timeout_ms)
{
    if (!Is_Running())
        return std::nullopt;
    m_process.terminate();
    if (!m_process.waitForFinished(timeout_ms)) {
        Kill();
        return std::nullopt;
    }
    if (m_process.exitStatus() != QProcess::NormalExit)
        return std::nullopt;
    return m_process.exitCode();
}

void Program_Runner::Kill()
{
    if (!Is_Running())
        return;
    m_process.kill();
    m_process.waitForFinished(10000);
}

std::string Program_Runner::Exit_Description() const
{
    if (Is_Running())
        return "running";
    // After a crash QProcess reports the terminating signal as the exit code on POSIX systems.
    if (m_process.exitStatus() == QProcess::CrashExit)
        return "crashed (signal " + std::to_string(m_process.exitCode()) + ")";
    return "exit code " + std::to_string(m_process.exitCode());
}

Program_Runner::Copy_Result Program_Runner::Run_Second_Copy(
    int timeout_ms, const QStringList& arguments, bool no_display) const
{
    QProcess copy;
    copy.setProgram(QStringLiteral(VELMOR_BINARY));
    copy.setArguments(arguments);
    QProcessEnvironment environment = Environment();
    if (no_display) {
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            environment.remove(QString::fromLatin1(name));
    }
    copy.setProcessEnvironment(environment);
    Copy_Result result;
    copy.start();
    if (!copy.waitForStarted(10000))
        return result;
    result.finished = copy.waitForFinished(timeout_ms);
    if (!result.finished) {
        copy.kill();
        copy.waitForFinished(10000);
    } else if (copy.exitStatus() == QProcess::NormalExit) {
        result.exit_code = copy.exitCode();
    }
    result.standard_error = copy.readAllStandardError().toStdString();
    result.standard_output = copy.readAllStandardOutput().toStdString();
    return result;
}
