#include "platform/posix/PendingFiles.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace xlate {

namespace {

// The signals whose default action ends the process, apart from the
// processor faults, which the fault guard takes (and which the program
// outside a library never raises), and SIGKILL and SIGSTOP, which cannot
// be caught.
std::vector<int> EndingSignalList() {
  std::vector<int> signals = {SIGHUP,  SIGINT,  SIGQUIT,   SIGTRAP, SIGABRT,
                              SIGUSR1, SIGUSR2, SIGPIPE,   SIGALRM, SIGTERM,
                              SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGSYS};
#if defined(SIGSTKFLT)
  signals.push_back(SIGSTKFLT);
#endif
#if defined(SIGIO)
  signals.push_back(SIGIO);
#endif
#if defined(SIGPWR)
  signals.push_back(SIGPWR);
#endif
#if defined(SIGRTMIN) && defined(SIGRTMAX)
  for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) signals.push_back(signal);
#endif
  return signals;
}

// Those of them that come from outside the process and can be kept
// waiting; the others the process raises itself.
bool ArrivesFromOutside(int aSignal) {
  return aSignal != SIGTRAP && aSignal != SIGABRT && aSignal != SIGSYS;
}

// Read by the signal handler, so plain atomic pointers and no locks.
std::atomic<const TPendingFiles::TEntry*> gSlots[8];
static_assert(std::atomic<const TPendingFiles::TEntry*>::is_always_lock_free,
              "the handler reads the slots");

void RemoveAll() {
  for (auto& slot : gSlots) {
    if (const TPendingFiles::TEntry* entry = slot.load()) unlinkat(entry->Folder, entry->Leaf, 0);
  }
}

sigset_t OutsideSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : EndingSignalList()) {
    if (ArrivesFromOutside(signal)) sigaddset(&set, signal);
  }
  return set;
}

void RemoveAndEnd(int aSignal) {
  RemoveAll();
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
// exit() removes the files too: a library may call it.
void InstallHandlers() {
  for (int signal : EndingSignalList()) {
    struct sigaction current;
    if (sigaction(signal, nullptr, &current) != 0) continue;
    if ((current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler != SIG_DFL) continue;
    struct sigaction handler = {};
    handler.sa_handler = RemoveAndEnd;
    sigemptyset(&handler.sa_mask);
    handler.sa_flags = SA_RESTART | SA_ONSTACK;
    sigaction(signal, &handler, nullptr);
  }
  std::atexit(RemoveAll);
}

}  // namespace

TPendingFiles::THeld::THeld() {
  static const sigset_t outside = OutsideSignals();
  pthread_sigmask(SIG_BLOCK, &outside, &FPrevious);
}

TPendingFiles::THeld::~THeld() { pthread_sigmask(SIG_SETMASK, &FPrevious, nullptr); }

bool TPendingFiles::Register(const TEntry* aEntry) {
  static std::once_flag installed;
  std::call_once(installed, InstallHandlers);
  for (auto& slot : gSlots) {
    const TEntry* expected = nullptr;
    if (slot.compare_exchange_strong(expected, aEntry)) return true;
  }
  return false;
}

void TPendingFiles::Forget(const TEntry* aEntry) {
  for (auto& slot : gSlots) {
    const TEntry* expected = aEntry;
    if (slot.compare_exchange_strong(expected, nullptr)) return;
  }
}

}  // namespace xlate
