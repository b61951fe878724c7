#include "platform/posix/PosixFile.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace xlate {

namespace {

std::uint32_t gLastError = 0;

bool Fail() {
  SetLastPosixError(static_cast<std::uint32_t>(errno));
  return false;
}

// Closes a descriptor once; keeps the first failure's errno.
bool CloseFd(int& vFd) {
  if (vFd < 0) return true;
  int fd = vFd;
  vFd = -1;
  return close(fd) == 0 || errno == EINTR;
}

// Takes an exclusive lock. Only "held by another" is a failure: a file
// system without locks leaves the file usable.
bool Lock(int aFd) {
  if (flock(aFd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK) return true;
  return Fail();
}

class PosixFile : public PlatformFile {
 public:
  explicit PosixFile(int aFd) : FFd(aFd) {}
  ~PosixFile() override { CloseFd(FFd); }

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

  bool Close() override { return CloseFd(FFd) || Fail(); }

 protected:
  int FFd;
};

// Writes into a new file beside the target and moves it over the target
// on Commit.
class ReplacingFile : public PosixFile {
 public:
  ReplacingFile(int aTempFd, std::string aTempPath, std::string aTarget, int aTargetFd)
      : PosixFile(aTempFd),
        FTempPath(std::move(aTempPath)),
        FTarget(std::move(aTarget)),
        FTargetFd(aTargetFd) {}

  ~ReplacingFile() override {
    if (!FCommitted) {
      CloseFd(FFd);
      unlink(FTempPath.c_str());
    }
    CloseFd(FTargetFd);
  }

  bool Close() override { return Commit(); }

  bool Commit() override {
    if (FCommitted) return true;
    // The replaced file is gone after the rename, so its new content must
    // be on the disk first.
    if (FTargetFd >= 0 && fsync(FFd) != 0 && errno != EINVAL) return Fail();
    if (!CloseFd(FFd)) return Fail();
    if (rename(FTempPath.c_str(), FTarget.c_str()) != 0) return Fail();
    FCommitted = true;
    return true;
  }

 private:
  std::string FTempPath;
  std::string FTarget;
  int FTargetFd;  // holds the lock on the file being replaced
  bool FCommitted = false;
};

bool StartsWith(const std::string& aText, const char* aPrefix) {
  return aText.compare(0, std::char_traits<char>::length(aPrefix), aPrefix) == 0;
}

std::unique_ptr<PlatformFile> OpenDirect(const std::string& aName) {
  int fd = open(aName.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    Fail();
    return nullptr;
  }
  auto file = std::make_unique<PosixFile>(fd);
  struct stat info;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    if (!Lock(fd) || ftruncate(fd, 0) != 0) {
      Fail();
      return nullptr;
    }
  }
  return file;
}

mode_t CurrentUmask() {
  mode_t mask = umask(0);
  umask(mask);
  return mask;
}

}  // namespace

void SetLastPosixError(std::uint32_t aCode) { gLastError = aCode; }
std::uint32_t LastPosixError() { return gLastError; }

std::unique_ptr<PlatformFile> OpenPosixInput(const std::string& aNativeName) {
  int fd = open(aNativeName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    Fail();
    return nullptr;
  }
  auto file = std::make_unique<PosixFile>(fd);
  if (!Lock(fd)) return nullptr;
  return file;
}

std::unique_ptr<PlatformFile> CreatePosixOutput(const std::string& aNativeName) {
  // /dev/stdout and friends stand for descriptors the caller set up.
  if (StartsWith(aNativeName, "/dev/") || StartsWith(aNativeName, "/proc/")) {
    return OpenDirect(aNativeName);
  }
  // Replace the file a symbolic link points to, not the link.
  std::string target = aNativeName;
  if (char* resolved = realpath(aNativeName.c_str(), nullptr)) {
    target = resolved;
    free(resolved);
  }
  struct stat info;
  bool exists = stat(target.c_str(), &info) == 0;
  if (exists && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) return OpenDirect(target);

  int targetFd = -1;
  mode_t mode = 0666 & ~CurrentUmask();
  if (exists) {
    // Opening the file proves that it may be written (a directory fails
    // here), and its lock keeps other runs out until it is replaced.
    targetFd = open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (targetFd < 0) {
      Fail();
      return nullptr;
    }
    if (!Lock(targetFd)) {
      CloseFd(targetFd);
      return nullptr;
    }
    mode = info.st_mode & 07777;
  }
  std::size_t slash = target.rfind('/');
  std::string folder = slash == std::string::npos ? "." : target.substr(0, slash);
  std::string leaf = slash == std::string::npos ? target : target.substr(slash + 1);
  std::string temp = (folder.empty() ? "" : folder) + "/." + leaf + ".xlate-XXXXXX";
  int tempFd = mkostemp(&temp[0], O_CLOEXEC);
  if (tempFd < 0 || fchmod(tempFd, mode) != 0) {
    Fail();
    if (tempFd >= 0) {
      close(tempFd);
      unlink(temp.c_str());
    }
    CloseFd(targetFd);
    return nullptr;
  }
  return std::make_unique<ReplacingFile>(tempFd, temp, target, targetFd);
}

}  // namespace xlate
