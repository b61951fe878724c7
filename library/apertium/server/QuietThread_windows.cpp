#include "server/QuietThread.h"

namespace zta {

// Windows delivers no signals to threads: a plain thread takes none of the
// host's.
std::thread startQuietThread(std::function<void()> body) { return std::thread(std::move(body)); }

}  // namespace zta
