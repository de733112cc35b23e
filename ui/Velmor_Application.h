#pragma once

#include <QApplication>
#include <QString>

#include <functional>

// The program's application object. An exception that leaves an event handler would otherwise
// end the process on the spot, with no final save of the events and no "Program closed"; here it
// is caught where the event is delivered, reported, and the program goes on with the next event.
class Velmor_Application : public QApplication
{
    Q_OBJECT

public:
    Velmor_Application(int& argc, char** argv);

    // Gets the text of each caught exception; without one the text goes to standard error.
    using Failure_Report = std::function<void(const QString& text)>;
    void Set_Failure_Report(Failure_Report report) { failure_report = std::move(report); }

    bool notify(QObject* receiver, QEvent* event) override;

private:
    void Report(const QString& text);

    Failure_Report failure_report;
    bool reporting = false;
};
