#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

#include <functional>

// Serves the calling thread's event queue until `done` holds or `bound_ms` has passed; true when
// `done` held. Answers that the program reads on its window thread arrive through this.
inline bool Pump_Until(const std::function<bool()>& done, int bound_ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > bound_ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}
