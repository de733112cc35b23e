#include "app/Command_Line.h"
#include "app/Program.h"
#include "ui/Velmor_Application.h"

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

    auto* program = new Program;
    if (!program->Start(command_line.Background)) {
        delete program;
        return 0;
    }
    const int code = application.exec();
    // A worker that did not end in time may still reach what the program owns.
    if (program->Safe_To_Delete())
        delete program;
    return code;
}
