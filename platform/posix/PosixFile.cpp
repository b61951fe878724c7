#include "platform/posix/PosixFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace xlate {

namespace {

std::uint32_t gLastError = 0;

class PosixFile : public PlatformFile {
 public:
  explicit PosixFile(int aFd) : FFd(aFd) {}
  ~PosixFile() override { Close(); }

  bool Size(std::uint64_t& vSize) override {
    struct stat info;
    if (fstat(FFd, &info) != 0) return Fail();
    vSize = S_ISREG(info.st_mode) ? static_cast<std::uint64_t>(info.st_size) : 0;
    return true;
  }

  bool Read(char* aBuffer, std::size_t aCount, std::size_t& vRead) override {
    for (;;) {
      ssize_t got = read(FFd, aBuffer, aCount);
      if (got >= 0) {
        vRead = static_cast<std::size_t>(got);
        return true;
      }
      if (errno != EINTR) return Fail();
    }
  }

  bool Write(const char* aBuffer, std::size_t aCount, std::size_t& vWritten) override {
    vWritten = 0;
    while (vWritten < aCount) {
      ssize_t put = write(FFd, aBuffer + vWritten, aCount - vWritten);
      if (put < 0) {
        if (errno == EINTR) continue;
        return Fail();
      }
      if (put == 0) {
        SetLastPosixError(ENOSPC);
        return false;
      }
      vWritten += static_cast<std::size_t>(put);
    }
    return true;
  }

  bool Close() override {
    if (FFd < 0) return true;
    int fd = FFd;
    FFd = -1;
    // Closing releases the lock as well.
    if (close(fd) != 0 && errno != EINTR) return Fail();
    return true;
  }

 private:
  static bool Fail() {
    SetLastPosixError(static_cast<std::uint32_t>(errno));
    return false;
  }
  int FFd;
};

}  // namespace

void SetLastPosixError(std::uint32_t aCode) { gLastError = aCode; }
std::uint32_t LastPosixError() { return gLastError; }

std::unique_ptr<PlatformFile> OpenPosixFile(const std::string& aNativeName, OpenMode aMode) {
  // Writing does not truncate until the lock is held, so a file that another
  // run is still reading keeps its bytes.
  int flags = aMode == OpenMode::Read ? O_RDONLY : (O_WRONLY | O_CREAT);
  int fd = open(aNativeName.c_str(), flags | O_CLOEXEC, 0666);
  if (fd < 0) {
    SetLastPosixError(static_cast<std::uint32_t>(errno));
    return nullptr;
  }
  auto file = std::make_unique<PosixFile>(fd);
  if (flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    SetLastPosixError(static_cast<std::uint32_t>(errno));
    return nullptr;
  }
  // Other lock failures (a file system without locks) leave the file usable.
  if (aMode == OpenMode::Write) {
    struct stat info;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ftruncate(fd, 0) != 0) {
      SetLastPosixError(static_cast<std::uint32_t>(errno));
      return nullptr;
    }
  }
  return file;
}

}  // namespace xlate
