#include "base/Log_Writer.h"

#include <QFile>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

QString Native_Path(const std::string& path)
{
    return QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
}

// A new log file is the owner's alone: its lines name accounts, addresses and events.
constexpr QFileDevice::Permissions Owner_Only = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

} // namespace

Log_Writer::Log_Writer(std::string settings_folder, Clock clock, std::FILE* echo)
    : Settings_Folder(std::move(settings_folder))
    , Now(clock ? std::move(clock) : Clock([] { return QDateTime::currentDateTime(); }))
    , Echo(echo)
{ }

void Log_Writer::Set_Settings_Folder(std::string settings_folder)
{
    Settings_Folder = std::move(settings_folder);
}

Log_Writer::Sink_Id Log_Writer::Attach_Sink(Sink sink)
{
    Sinks.push_back({Next_Sink_Id, std::move(sink)});
    return Next_Sink_Id++;
}

void Log_Writer::Detach_Sink(Sink_Id id)
{
    std::erase_if(Sinks, [id](const Attached_Sink& attached) { return attached.Id == id; });
}

std::string Log_Writer::Format_Line(const QDateTime& when, std::string_view text)
{
    std::string line = when.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")).toStdString();
    line += "  ";
    line += text;
    return line;
}

std::string Log_Writer::Log_File_Name(const std::string& settings_folder, int year, int month)
{
    char name[32];
    std::snprintf(name, sizeof name, "tarvel_%04d_%02d.log", year, month);
    return settings_folder + name;
}

void Log_Writer::Log_Message(std::string_view text, Log_Colour colour)
{
    // One clock reading serves the stamp and the file name, so a line made on the last second of a
    // month can never land in the next month's file.
    const QDateTime when = Now();
    const std::string line = Format_Line(when, text);
    Current_File = Log_File_Name(Settings_Folder, when.date().year(), when.date().month());

    // Open, append, close on every line: each line is on disk when the call returns. Append mode
    // creates a missing file; a path that can't be opened (a directory, no permission) only
    // costs this line its place in the file.
    QFile file(Native_Path(Current_File));
    if (file.open(QIODevice::WriteOnly | QIODevice::Append, Owner_Only)) {
        const qint64 line_size = static_cast<qint64>(line.size()) + 2;
        if (file.size() + line_size <= File_Limit || colour == Log_Red) {
            file.write(line.data(), static_cast<qint64>(line.size()));
            file.write("\r\n", 2);
        } else if (Full_File != Current_File) {
            Full_File = Current_File;
            const std::string notice = Format_Line(when,
                "Log file reached its size limit of " + std::to_string(File_Limit)
                    + " bytes for this month: only error lines are written to it from now on");
            file.write(notice.data(), static_cast<qint64>(notice.size()));
            file.write("\r\n", 2);
        }
        file.close();
    }

    if (Echo != nullptr) {
        std::fwrite(line.data(), 1, line.size(), Echo);
        std::fputc('\n', Echo);
        std::fflush(Echo);
    }

    // Indexed loop: a sink may log a line of its own or attach another sink while being called.
    for (std::size_t i = 0; i < Sinks.size(); ++i) {
        const Sink deliver = Sinks[i].Deliver;
        deliver(line, colour);
    }
}

bool Log_Writer::Clear_Current_Log_File() const
{
    if (Current_File.empty())
        return false;
    QFile file(Native_Path(Current_File));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate, Owner_Only);
}
