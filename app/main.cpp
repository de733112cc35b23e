#include "app/Program.h"
#include "app/Velmor_Application.h"

int main(int argc, char* argv[])
{
    Velmor_Application application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Varnek SIA-IP Receiver"));
    // Closing the main window only hides it; "Exit" ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    auto* program = new Program;
    if (!program->Start()) {
        delete program;
        return 0;
    }
    const int code = application.exec();
    // A worker that did not end in time may still reach what the program owns.
    if (program->Safe_To_Delete())
        delete program;
    return code;
}
