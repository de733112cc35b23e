#include "ui/Velmor_Application.h"

#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// A handler that throws must not end the program: the exception is reported and the events
// queued behind it still run.
TEST(Velmor_Application, ExceptionFromAHandlerIsReportedAndTheNextEventsStillRun)
{
    auto* application = qobject_cast<Velmor_Application*>(QCoreApplication::instance());
    ASSERT_NE(application, nullptr);
    QStringList reports;
    application->Set_Failure_Report([&reports](const QString& text) { reports << text; });

    bool later_ran = false;
    QObject context;
    QTimer::singleShot(0, &context, [] { throw std::runtime_error("handler failed"); });
    QTimer::singleShot(0, &context, [] { throw 42; });
    QTimer::singleShot(0, &context, [&later_ran] { later_ran = true; });
    QElapsedTimer clock;
    clock.start();
    while (!later_ran && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    application->Set_Failure_Report({});

    EXPECT_TRUE(later_ran);
    EXPECT_EQ(reports,
        QStringList({QStringLiteral("Exception in an event handler: handler failed"),
            QStringLiteral("Exception in an event handler: unknown exception.")}));
}

} // namespace
