#pragma once

#include <unistd.h>

#include <cerrno>

namespace xlate {

// Owns a file descriptor: closes it once, when it is closed, replaced or
// let go of, unless it was handed on (Release). -1 owns nothing.
class TOwnedDescriptor {
 public:
  TOwnedDescriptor() = default;
  explicit TOwnedDescriptor(int aFd) : FFd(aFd) {}
  ~TOwnedDescriptor() { Close(); }
  TOwnedDescriptor(TOwnedDescriptor&& aOther) noexcept : FFd(aOther.Release()) {}
  TOwnedDescriptor& operator=(TOwnedDescriptor&& aOther) noexcept {
    if (this != &aOther) Reset(aOther.Release());
    return *this;
  }
  TOwnedDescriptor(const TOwnedDescriptor&) = delete;
  TOwnedDescriptor& operator=(const TOwnedDescriptor&) = delete;

  int Get() const { return FFd; }
  bool Valid() const { return FFd >= 0; }
  // Hands the descriptor on: it is no longer closed here.
  int Release() {
    const int fd = FFd;
    FFd = -1;
    return fd;
  }
  // Closes what it owns and owns aFd instead.
  void Reset(int aFd = -1) {
    Close();
    FFd = aFd;
  }
  // Closes the descriptor once; false with errno when that failed (an
  // interrupted close has closed it).
  bool Close() {
    if (FFd < 0) return true;
    const int fd = Release();
    return close(fd) == 0 || errno == EINTR;
  }

 private:
  int FFd = -1;
};

}  // namespace xlate
