#include "base/Settings_File.h"

#include "base/File_Fault.h"

#include <QFile>
#include <QString>

#include <algorithm>
#include <cstring>

namespace {

constexpr qint64 Record_Size = sizeof(Settings_Record);

QString Native_Path(const std::string& path)
{
    return QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
}

bool Write_Record(QFile& file, const Settings_Record& settings)
{
    return file.seek(0) && file.write(reinterpret_cast<const char*>(&settings), Record_Size) == Record_Size;
}

// Reads up to 256 bytes; the bytes the file does not have stay as the caller left them. -1 when
// the read fails.
qint64 Read_Record(QFile& file, void* into)
{
    if (Injected_File_Fault(File_Operation::Read) != 0)
        return -1;
    return file.read(static_cast<char*>(into), Record_Size);
}

std::string Text_Field(const char* field, std::size_t width)
{
    return std::string(field, std::find(field, field + width, '\0'));
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

Settings_Load Load_Settings(const std::string& path, Settings_Record& settings)
{
    std::memset(&settings, 0, sizeof settings);
    QFile file(Native_Path(path));
    if (file.exists()) {
        // Read-write so that the mark can be put back without a second open; ExistingOnly keeps a
        // file that vanished meanwhile from being created here.
        if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
            return Settings_Load::Not_Opened;
        if (Read_Record(file, &settings) < 0) {
            // What the read left in the record is unknown, and writing it back would replace the
            // operator's key, ports and output settings on disk: the file stays as it is.
            Set_Default_Settings(settings);
            return Settings_Load::Read_Failed;
        }
        if (settings.Format_Mark == 0) {
            settings.Format_Mark = Format_Mark_Value;
            Write_Record(file, settings);
        }
        return Settings_Load::Loaded;
    }
    Set_Default_Settings(settings);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        Write_Record(file, settings);
    return Settings_Load::Created;
}

bool Settings_Differ_From_File(const std::string& path, const Settings_Record& settings)
{
    QFile file(Native_Path(path));
    if (!file.open(QIODevice::ReadOnly))
        return true;
    Settings_Record stored {};
    if (Read_Record(file, &stored) != Record_Size)
        return true;
    return std::memcmp(&stored, &settings, sizeof settings) != 0;
}

bool Save_Settings(const std::string& path, const Settings_Record& settings)
{
    // QFile truncates a write-only open even with ExistingOnly, so the file is opened read-write:
    // a longer file keeps its tail.
    QFile file(Native_Path(path));
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        return false;
    return Write_Record(file, settings) && file.flush();
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
