#pragma once

#include <functional>

class QObject;

// A receiver holds one descriptor per communicator connection; the soft limit goes up to the
// hard one so that thousands of connections fit.
void Raise_Descriptor_Limit();

// A termination request from the system (SIGTERM, SIGINT; a console close on Windows) runs
// `on_request` on the window thread, once.
void Watch_Termination_Requests(QObject* owner, std::function<void()> on_request);
