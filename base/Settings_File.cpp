#include "base/Settings_File.h"

#include "base/File_Fault.h"
#include "base/Settings_File_Os.h"

#include <QDateTime>
#include <QString>

#include <algorithm>
#include <cstring>

namespace os = settings_file_os;

namespace {

constexpr std::size_t Record_Size = sizeof(Settings_Record);

// Reads up to the whole record from an opened file; the bytes read, or -1 with `error` set.
std::int64_t Read_Record(std::intptr_t handle, void* into, int& error)
{
    error = Injected_File_Fault(File_Operation::Read);
    std::size_t done = 0;
    if (error == 0)
        error = os::Read(handle, into, Record_Size, done);
    return error == 0 ? static_cast<std::int64_t>(done) : -1;
}

std::string Text_Field(const char* field, std::size_t width)
{
    return std::string(field, std::find(field, field + width, '\0'));
}

// "tarvel.cfg.damaged-20261210-093512", with "-2", "-3" ... when a name is taken.
std::string Aside_Name(const std::string& path)
{
    const std::string stamp
        = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")).toStdString();
    const std::string base = path + ".damaged-" + stamp;
    std::string name = base;
    for (int number = 2; os::Name_Exists(name) && number < 100; ++number)
        name = base + "-" + std::to_string(number);
    return name;
}

// What is wrong with the file at the name, or empty when it holds a record this program can trust.
std::string Damage_Of(os::Open_Result opened, const os::Opened_File& file, const Settings_Record& read)
{
    if (opened == os::Open_Result::Not_Regular)
        return file.Is_Link ? "it is a symbolic link" : "it is not a regular file";
    if (file.Size != static_cast<std::int64_t>(Record_Size))
        return "it holds " + std::to_string(file.Size) + " bytes, not " + std::to_string(Record_Size);
    if (read.Format_Mark != Format_Mark_Value)
        return "its format mark is " + std::to_string(read.Format_Mark) + ", not "
            + std::to_string(Format_Mark_Value);
    return {};
}

} // namespace

void Set_Default_Settings(Settings_Record& settings)
{
    std::memset(&settings, 0, sizeof settings);
    settings.DC9_Port = 7777;
    settings.DC9_Conn_Timeout = 30;
    settings.Mon_Server_Mode = 1;
    settings.Mon_Port = 9999;
    settings.Test_Rec_Nr = 1;
    Set_Out_IP(settings, "127.0.0.1");
    settings.COM_Baud = 9600;
    settings.Test_Heartbeat_Period = 30;
    settings.Format_Mark = Format_Mark_Value;
}

Settings_Load Load_Settings(const std::string& path, Settings_Record& settings, Settings_Damage* damage)
{
    Settings_Damage local;
    Settings_Damage& found = damage ? *damage : local;
    found = {};
    // Whatever goes wrong below, the receiver starts from the defaults, its port closed: it then
    // refuses everything rather than accept what the station meant to refuse.
    Set_Default_Settings(settings);

    os::Opened_File file;
    const os::Open_Result opened = os::Open_For_Read(path, file);
    if (opened == os::Open_Result::Missing) {
        os::Replace_Whole_File(path, &settings, Record_Size);
        return Settings_Load::Created;
    }
    if (opened == os::Open_Result::Failed) {
        found.Error = file.Error;
        return Settings_Load::Not_Opened;
    }
    Settings_Record stored {};
    if (opened == os::Open_Result::Opened) {
        std::int64_t read = file.Size;
        if (file.Size == static_cast<std::int64_t>(Record_Size))
            read = Read_Record(file.Handle, &stored, found.Error);
        os::Close(file.Handle);
        if (read < 0)
            return Settings_Load::Read_Failed; // left as it is: the key and ports may be fine
        file.Size = read; // a file cut while it was read counts by what it gave
    }
    found.Reason = Damage_Of(opened, file, stored);
    if (found.Reason.empty()) {
        settings = stored;
        return Settings_Load::Loaded;
    }
    // Kept for the operator to look at; the defaults go in its place only once it is safe aside.
    const std::string aside = Aside_Name(path);
    found.Error = os::Move_Aside(path, aside);
    if (found.Error == 0) {
        found.Kept_As = aside;
        os::Replace_Whole_File(path, &settings, Record_Size);
    }
    return Settings_Load::Damaged;
}

bool Settings_Differ_From_File(const std::string& path, const Settings_Record& settings)
{
    os::Opened_File file;
    if (os::Open_For_Read(path, file) != os::Open_Result::Opened)
        return true;
    Settings_Record stored {};
    int error = 0;
    const bool read = file.Size == static_cast<std::int64_t>(Record_Size)
        && Read_Record(file.Handle, &stored, error) == file.Size;
    os::Close(file.Handle);
    return !read || std::memcmp(&stored, &settings, sizeof settings) != 0;
}

bool Save_Settings(const std::string& path, const Settings_Record& settings)
{
    // A settings file deleted while the program runs is not brought back by a save.
    if (!os::Name_Exists(path) || Injected_File_Fault(File_Operation::Write) != 0)
        return false;
    return os::Replace_Whole_File(path, &settings, Record_Size) == 0;
}

std::string Com_Port_Name(const Settings_Record& settings)
{
    if (settings.COM_Nr[0] != '\0')
        return Text_Field(settings.COM_Nr, sizeof settings.COM_Nr);
    return Text_Field(settings.COM_Path, sizeof settings.COM_Path);
}

bool Set_Com_Port_Name(Settings_Record& settings, std::string_view name)
{
    if (name.size() > Com_Path_Max_Length || name.find('\0') != std::string_view::npos)
        return false;
    std::memset(settings.COM_Nr, 0, sizeof settings.COM_Nr);
    std::memset(settings.COM_Path, 0, sizeof settings.COM_Path);
    char* field = name.size() <= Com_Nr_Max_Length ? settings.COM_Nr : settings.COM_Path;
    std::copy(name.begin(), name.end(), field);
    return true;
}

std::string Out_IP_Text(const Settings_Record& settings)
{
    return Text_Field(settings.Out_IP, sizeof settings.Out_IP);
}

bool Set_Out_IP(Settings_Record& settings, std::string_view text)
{
    if (text.size() > sizeof settings.Out_IP)
        return false;
    std::memset(settings.Out_IP, 0, sizeof settings.Out_IP);
    std::copy(text.begin(), text.end(), settings.Out_IP);
    return true;
}
