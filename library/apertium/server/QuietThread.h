// Threads of the library's own inside someone else's process: they take
// none of the host's signals, which stay with the host's threads.
#ifndef XLATE_LIBRARY_APERTIUM_QUIET_THREAD_H
#define XLATE_LIBRARY_APERTIUM_QUIET_THREAD_H

#include <functional>
#include <thread>

namespace zta {

// Starts a thread running body with every signal blocked; throws
// std::system_error as std::thread does when it cannot.
std::thread startQuietThread(std::function<void()> body);

}  // namespace zta

#endif
