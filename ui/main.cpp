#include "app/Command_Line.h"
#include "app/Station.h"
#include "ui/Velmor_Application.h"
#include "ui/Window_Shell.h"

#include <cstdio>

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.push_back(QString::fromLocal8Bit(argv[i]));
    const Command_Line command_line = Parse_Command_Line(arguments);
    if (command_line.Exit_Code) {
        std::fputs(
            command_line.Output.toLocal8Bit().constData(), command_line.Output_Is_Error ? stderr : stdout);
        return *command_line.Exit_Code;
    }

    Velmor_Application application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Varnek SIA-IP Receiver"));
    QApplication::setApplicationVersion(Program_Version());
    // Closing the main window only hides it; "Exit" ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    auto* station = new Station;
    const Station::Start_Result started = station->Start();
    if (started != Station::Start_Result::Started) {
        Window_Shell::Report_Start_Failure(started == Station::Start_Result::Already_Running);
        delete station;
        return 0;
    }
    auto* shell = new Window_Shell(*station, command_line.Background);
    const int code = application.exec();
    // A worker that did not end in time may still reach what the station owns, and the windows show
    // it.
    if (station->Safe_To_Delete()) {
        delete shell;
        delete station;
    }
    return code;
}
