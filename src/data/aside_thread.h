#pragma once

#include <functional>

namespace rio::detail {

// Runs work to its end on the program's worker thread for long waits (a
// commit's sync, a file copy held up by a busy disk) while this thread calls
// whileWaiting every few tens of milliseconds, so that the window keeps
// repainting. work must not touch the screen; whileWaiting must not use what
// work uses. An exception thrown by work, else one thrown by whileWaiting
// (which is then no longer called), is raised here once work has ended.
// Without a whileWaiting, or from inside a whileWaiting, work runs on this
// thread. Callers from several threads are served one after the other.
void runAside(const std::function<void()>& work, const std::function<void()>& whileWaiting);

} // namespace rio::detail
