#include "app/Command_Line.h"

#include <QCommandLineParser>
#include <QFileInfo>

#ifndef VELMOR_VERSION
#error "VELMOR_VERSION comes from the build"
#endif

QString Program_Version()
{
    return QStringLiteral(VELMOR_VERSION);
}

Command_Line Parse_Command_Line(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("SIA DC-09 alarm receiver for a central monitoring station."));
    // Not addHelpOption(): its --help-all lists Qt's own options, which this command line refuses.
    const QCommandLineOption help(
        {QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Displays this help."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption background(QStringLiteral("background"),
        QStringLiteral("Start in background mode for this run, without changing the stored setting."));
    parser.addOption(background);

    Command_Line line;
    const QString program
        = arguments.isEmpty() ? QStringLiteral("velmor") : QFileInfo(arguments.first()).fileName();
    if (!parser.parse(arguments)) {
        line.Exit_Code = 2;
        line.Output_Is_Error = true;
        line.Output = program + QStringLiteral(": ") + parser.errorText() + QStringLiteral("\nTry '")
            + program + QStringLiteral(" --help' for more information.\n");
        return line;
    }
    if (!parser.positionalArguments().isEmpty()) {
        line.Exit_Code = 2;
        line.Output_Is_Error = true;
        line.Output = program + QStringLiteral(": unexpected argument '")
            + parser.positionalArguments().first() + QStringLiteral("'\nTry '") + program
            + QStringLiteral(" --help' for more information.\n");
        return line;
    }
    if (parser.isSet(help)) {
        line.Exit_Code = 0;
        // No application object exists yet, so the parser cannot name the executable itself.
        line.Output = parser.helpText().replace(QStringLiteral("<executable_name>"), program);
        return line;
    }
    if (parser.isSet(version)) {
        line.Exit_Code = 0;
        line.Output = QStringLiteral("velmor ") + Program_Version() + QLatin1Char('\n');
        return line;
    }
    line.Background = parser.isSet(background);
    return line;
}
