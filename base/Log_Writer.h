#pragma once

#include <QDateTime>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// A log colour is 24-bit and means something to the view only; the file never carries it. The
// value keeps the blue-green-red byte order of the settings-era colour values, so red is 255.
using Log_Colour = std::uint32_t;
inline constexpr Log_Colour Log_Black = 0x000000;
inline constexpr Log_Colour Log_Red = 0x0000FF;

// The same colour as 0xRRGGBB, the order QColor::fromRgb takes.
constexpr std::uint32_t Log_Colour_To_Rgb(Log_Colour colour)
{
    return ((colour & 0xFFu) << 16) | (colour & 0xFF00u) | ((colour >> 16) & 0xFFu);
}

// The system log: every line goes to the monthly file in the settings folder, to the echo stream
// (standard error by default, so that the program can run as a service) and to the attached view
// sinks. Log_Message runs on the window thread only: worker threads hand their lines over with a
// blocking cross-thread call, which is what keeps the file, the echo and the views in one order
// without a lock.
class Log_Writer
{
public:
    using Clock = std::function<QDateTime()>;
    // A sink receives each finished line (without "\r\n") after it has reached the file, in the
    // order the lines are made; a view that shows the newest line first inserts it at its top.
    using Sink = std::function<void(const std::string& line, Log_Colour colour)>;
    using Sink_Id = int;

    // settings_folder ends in the path separator; the file name is appended to it as it stands.
    // Without a clock the local wall clock is used. A null echo stream turns the echo off.
    explicit Log_Writer(std::string settings_folder, Clock clock = {}, std::FILE* echo = stderr);

    void Set_Settings_Folder(std::string settings_folder);
    Sink_Id Attach_Sink(Sink sink);
    void Detach_Sink(Sink_Id id);

    // Never fails: a log file that can't be created or opened only loses this line.
    void Log_Message(std::string_view text, Log_Colour colour = Log_Black);

    // A month's file stops growing at this size, so a flood of lines cannot fill the disk: the
    // line that would pass it is replaced by one red line saying so, and after it only red lines
    // (errors) are written to that file. The echo and the views still get every line.
    static constexpr std::int64_t Default_File_Limit = 100 * 1024 * 1024;
    void Set_File_Limit(std::int64_t bytes) { File_Limit = bytes; }

    // Full name of the current month's file; empty until the first line has been logged.
    const std::string& Current_Log_File() const { return Current_File; }

    // The System Log window's "Clear": truncate the current month's file. False when no line has
    // been logged yet or the file can't be opened.
    bool Clear_Current_Log_File() const;

    // "dd.MM.yyyy HH:mm:ss  text": a fixed rendering of the short date and long time.
    static std::string Format_Line(const QDateTime& when, std::string_view text);
    // settings_folder + "tarvel_" + YYYY + "_" + MM + ".log"
    static std::string Log_File_Name(const std::string& settings_folder, int year, int month);

private:
    struct Attached_Sink
    {
        Sink_Id Id;
        Sink Deliver;
    };

    std::string Settings_Folder;
    Clock Now;
    std::FILE* Echo;
    std::string Current_File;
    std::int64_t File_Limit = Default_File_Limit;
    std::string Full_File; // the file that reached its limit and said so
    std::vector<Attached_Sink> Sinks;
    Sink_Id Next_Sink_Id = 1;
};
