#include "platform/posix/PendingFiles.h"

#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <mutex>

namespace xlate {

namespace {

// The signals whose default action ends the process and that a user, a
// terminal, a job control or a resource limit sends.
const int kEndingSignals[] = {SIGHUP,  SIGINT,  SIGQUIT, SIGTERM, SIGUSR1,
                              SIGUSR2, SIGALRM, SIGXCPU, SIGXFSZ, SIGVTALRM};

// Read by the signal handler, so plain atomic pointers and no locks.
std::atomic<const char*> gSlots[8];
static_assert(std::atomic<const char*>::is_always_lock_free, "the handler reads the slots");

sigset_t EndingSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : kEndingSignals) sigaddset(&set, signal);
  return set;
}

void RemoveAndEnd(int aSignal) {
  for (std::atomic<const char*>& slot : gSlots) {
    if (const char* path = slot.load()) unlink(path);
  }
  // The same signal again, now with its default action: the process ends
  // as it would have without this handler.
  struct sigaction standard = {};
  standard.sa_handler = SIG_DFL;
  sigemptyset(&standard.sa_mask);
  sigaction(aSignal, &standard, nullptr);
  raise(aSignal);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, aSignal);
  pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
}

// Takes over the ending signals that still have their default action; one
// that was ignored at start stays ignored, as it would not end the process.
void InstallHandlers() {
  for (int signal : kEndingSignals) {
    struct sigaction current;
    if (sigaction(signal, nullptr, &current) != 0) continue;
    if ((current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler != SIG_DFL) continue;
    struct sigaction handler = {};
    handler.sa_handler = RemoveAndEnd;
    sigemptyset(&handler.sa_mask);
    handler.sa_flags = SA_RESTART;
    sigaction(signal, &handler, nullptr);
  }
}

}  // namespace

TPendingFiles::THeld::THeld() {
  sigset_t ending = EndingSignals();
  pthread_sigmask(SIG_BLOCK, &ending, &FPrevious);
}

TPendingFiles::THeld::~THeld() { pthread_sigmask(SIG_SETMASK, &FPrevious, nullptr); }

bool TPendingFiles::Register(const char* aPath) {
  static std::once_flag installed;
  std::call_once(installed, InstallHandlers);
  for (std::atomic<const char*>& slot : gSlots) {
    const char* expected = nullptr;
    if (slot.compare_exchange_strong(expected, aPath)) return true;
  }
  return false;
}

void TPendingFiles::Forget(const char* aPath) {
  for (std::atomic<const char*>& slot : gSlots) {
    const char* expected = aPath;
    if (slot.compare_exchange_strong(expected, nullptr)) return;
  }
}

}  // namespace xlate
