#include <signal.h>

#include "server/QuietThread.h"

namespace zta {

std::thread startQuietThread(std::function<void()> body) {
  // A new thread starts with its creator's signal mask: block everything
  // for the moment of the creation, then give the creator its mask back.
  sigset_t all;
  sigset_t previous;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &previous);
  struct Restore {
    const sigset_t& mask;
    ~Restore() { pthread_sigmask(SIG_SETMASK, &mask, nullptr); }
  } restore{previous};
  return std::thread(std::move(body));
}

}  // namespace zta
