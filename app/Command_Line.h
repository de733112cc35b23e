#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// What the program was asked for on its command line. Read before the window system starts, so
// that --help and --version work on a machine without a display.
struct Command_Line
{
    // Start hidden in the notification area for this run; the stored setting is left alone.
    bool Background = false;
    // Set when the program ends right after printing `Output` (help, version, a usage error).
    std::optional<int> Exit_Code;
    QString Output;
    bool Output_Is_Error = false;
};

// `arguments` includes the program's own name first, as argv has it.
Command_Line Parse_Command_Line(const QStringList& arguments);

// The project version the build was made from.
QString Program_Version();
