#pragma once

#include <functional>

namespace mivo::link {

// Runs the thread's event loop until done() holds or timeoutMs have passed; returns done().
bool WaitForEvents(const std::function<bool()>& done, int timeoutMs);

// Runs the event loop until SIGINT or SIGTERM arrives; returns the signal number.
int RunUntilInterrupted();

}  // namespace mivo::link
