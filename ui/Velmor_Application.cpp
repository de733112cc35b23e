#include "ui/Velmor_Application.h"

#include <cstdio>
#include <exception>

Velmor_Application::Velmor_Application(int& argc, char** argv)
    : QApplication(argc, argv)
{ }

bool Velmor_Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        Report(QStringLiteral("Exception in an event handler: ") + QString::fromLocal8Bit(error.what()));
    } catch (...) {
        Report(QStringLiteral("Exception in an event handler: unknown exception."));
    }
    return false;
}

void Velmor_Application::Report(const QString& text)
{
    // The report itself may show a box and so deliver events; a failure inside it must not recurse.
    if (reporting || !failure_report) {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        return;
    }
    reporting = true;
    try {
        failure_report(text);
    } catch (...) {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    }
    reporting = false;
}
