#include "platform/posix/PosixFile.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/xattr.h>
#endif

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <ctime>
#include <string>

#include "platform/posix/PendingFiles.h"

namespace xlate {

namespace {

// Closes a descriptor once; keeps the first failure's errno.
bool CloseFd(int& vFd) {
  if (vFd < 0) return true;
  int fd = vFd;
  vFd = -1;
  return close(fd) == 0 || errno == EINTR;
}

// Takes a lock, exclusive unless shared is asked for. Only "held by
// another" is a failure: a file system without locks leaves the file
// usable.
TErrorCode Lock(int aFd, TReadShare aShare = TReadShare::rsExclusive) {
  const int kind = aShare == TReadShare::rsShared ? LOCK_SH : LOCK_EX;
  if (flock(aFd, kind | LOCK_NB) == 0 || errno != EWOULDBLOCK) return kSuccess;
  return kLockedByAnother;
}

TFileIdentity IdentityOf(int aFd) {
  TFileIdentity identity;
  struct stat info;
  if (aFd < 0 || fstat(aFd, &info) != 0) return identity;
  identity.Volume = static_cast<std::uint64_t>(info.st_dev);
  identity.Index = static_cast<std::uint64_t>(info.st_ino);
  identity.Known = true;
  identity.GivesBack = S_ISREG(info.st_mode) || S_ISBLK(info.st_mode) || S_ISFIFO(info.st_mode);
  identity.Regular = S_ISREG(info.st_mode);
  identity.Terminal = S_ISCHR(info.st_mode) && isatty(aFd) == 1;
  return identity;
}

class TPosixFile : public TPlatformFile {
 public:
  explicit TPosixFile(int aFd) : FFd(aFd) {}
  ~TPosixFile() override { CloseFd(FFd); }

  TErrorCode Size(std::uint64_t& vSize) override {
    struct stat info;
    if (fstat(FFd, &info) != 0) return ErrnoCode();
    vSize = S_ISREG(info.st_mode) ? static_cast<std::uint64_t>(info.st_size) : 0;
    return kSuccess;
  }

  TErrorCode Read(char* aBuffer, std::size_t aCount, std::size_t& vRead) override {
    for (;;) {
      ssize_t got = read(FFd, aBuffer, aCount);
      if (got >= 0) {
        vRead = static_cast<std::size_t>(got);
        return kSuccess;
      }
      if (errno != EINTR) return ErrnoCode();
    }
  }

  TErrorCode Write(const char* aBuffer, std::size_t aCount, std::size_t& vWritten) override {
    vWritten = 0;
    while (vWritten < aCount) {
      ssize_t put = write(FFd, aBuffer + vWritten, aCount - vWritten);
      if (put < 0) {
        if (errno == EINTR) continue;
        return ErrnoCode();
      }
      if (put == 0) return ENOSPC;
      vWritten += static_cast<std::size_t>(put);
    }
    return kSuccess;
  }

  TErrorCode Close() override { return CloseFd(FFd) ? kSuccess : ErrnoCode(); }

  TFileIdentity Identity() override { return IdentityOf(FFd); }

 protected:
  int FFd;
};

// Fills the trailing "XXXXXX" of a name with letters and digits that
// differ from call to call and from process to process.
void FillRandom(std::string& vName) {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  static std::uint64_t state = 0;
  struct timespec now = {};
  clock_gettime(CLOCK_REALTIME, &now);
  state += static_cast<std::uint64_t>(now.tv_nsec) ^ (static_cast<std::uint64_t>(getpid()) << 32) ^
           static_cast<std::uint64_t>(now.tv_sec) ^ 0x9E3779B97F4A7C15ull;
  std::uint64_t bits = state;
  for (std::size_t i = vName.size() - 6; i < vName.size(); ++i) {
    bits ^= bits >> 12;
    bits ^= bits << 25;
    bits ^= bits >> 27;
    vName[i] = kLetters[(bits * 0x2545F4914F6CDD1Dull >> 32) % (sizeof kLetters - 1)];
  }
}

// Gives the unnamed file aFd the name aLeaf in aFolder. Through /proc,
// which needs no privilege, or else by the descriptor itself, which needs
// the privilege to look up any file.
bool LinkUnnamed(int aFd, int aFolder, const std::string& aLeaf) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/self/fd/%d", aFd);
  if (linkat(AT_FDCWD, path, aFolder, aLeaf.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
#if defined(AT_EMPTY_PATH)
  if (errno == ENOENT && linkat(aFd, "", aFolder, aLeaf.c_str(), AT_EMPTY_PATH) == 0) return true;
#endif
  return false;
}

// Writes into a new file in the target's folder and moves it over the
// target on Commit. The new file is either unnamed until then, and
// vanishes with its descriptor whatever ends the process, or named, and
// then a signal or exit() removes it (PendingFiles.h). Every name is
// relative to the folder held open.
class TReplacingFile : public TPosixFile {
 public:
  TReplacingFile(int aTempFd, int aFolderFd, std::string aLeaf, std::string aTempLeaf,
                 bool aUnnamed, int aTargetFd, mode_t aFinalMode, TPlatformFile* aInput,
                 int aNameLock)
      : TPosixFile(aTempFd),
        FNameLock(aNameLock),
        FFolderFd(aFolderFd),
        FLeaf(std::move(aLeaf)),
        FTempLeaf(std::move(aTempLeaf)),
        FUnnamed(aUnnamed),
        FTargetFd(aTargetFd),
        FFinalMode(aFinalMode),
        FInput(aInput) {
    FPending.Folder = FFolderFd;
    FPending.Leaf = FTempLeaf.c_str();
  }

  ~TReplacingFile() override {
    if (!FCommitted) {
      TPendingFiles::THeld held;
      CloseFd(FFd);
      if (!FUnnamed) {
        unlinkat(FFolderFd, FTempLeaf.c_str(), 0);
        TPendingFiles::Forget(&FPending);
      }
    }
    CloseFd(FTargetFd);
    CloseFd(FFolderFd);
    CloseFd(FNameLock);
  }

  // Called once the object has its final address, before any signal may
  // come through.
  void RegisterForSignals() {
    if (!FUnnamed) TPendingFiles::Register(&FPending);
  }

  TErrorCode Close() override { return Commit(); }

  // A file that replaces another is synced before the rename. Its pages
  // are sent to the disk as it grows, so that the sync waits only for the
  // last of them and the writing and the disk overlap.
  TErrorCode Write(const char* aBuffer, std::size_t aCount, std::size_t& vWritten) override {
    const TErrorCode code = TPosixFile::Write(aBuffer, aCount, vWritten);
    FWritten += vWritten;
#if defined(SYNC_FILE_RANGE_WRITE)
    if (FTargetFd >= 0 && FWritten - FWrittenBack >= kWritebackStep) {
      // Only a start: a failure here is met again by the sync.
      sync_file_range(FFd, static_cast<off_t>(FWrittenBack),
                      static_cast<off_t>(FWritten - FWrittenBack), SYNC_FILE_RANGE_WRITE);
      FWrittenBack = FWritten;
    }
#endif
    return code;
  }

  TFileIdentity Identity() override { return {}; }

  TErrorCode Commit() override {
    if (FCommitted) return kSuccess;
    // Set-user-ID and set-group-ID bits go on last: writing by a process
    // without the privilege to keep them clears them.
    if ((FFinalMode & (S_ISUID | S_ISGID)) != 0 && fchmod(FFd, FFinalMode) != 0) {
      return ErrnoCode();
    }
    // The replaced file is gone after the rename, so its new content must
    // be on the disk first.
    if (FTargetFd >= 0 && fsync(FFd) != 0 && errno != EINVAL) return ErrnoCode();
    TPendingFiles::THeld held;
    if (FUnnamed) {
      // A name beside the target first: a link cannot replace a file, a
      // rename can. Signals wait meanwhile, so the name lives only between
      // these two calls.
      if (const TErrorCode code = LinkWithTemporaryName()) return code;
    }
    if (!CloseFd(FFd)) return Abandon(ErrnoCode());
    if (renameat(FFolderFd, FTempLeaf.c_str(), FFolderFd, FLeaf.c_str()) != 0) {
      return Abandon(ErrnoCode());
    }
    if (!FUnnamed) TPendingFiles::Forget(&FPending);
    FCommitted = true;
    if (FInput != nullptr) FInput->Close();
    CloseFd(FNameLock);
    return kSuccess;
  }

 private:
  TErrorCode LinkWithTemporaryName() {
    for (int attempt = 0; attempt < 100; ++attempt) {
      FillRandom(FTempLeaf);
      FPending.Leaf = FTempLeaf.c_str();
      if (LinkUnnamed(FFd, FFolderFd, FTempLeaf)) {
        FUnnamed = false;
        return kSuccess;
      }
      if (errno != EEXIST) return ErrnoCode();
    }
    return EEXIST;
  }

  // A commit that failed once the new file had its name: the name goes, and
  // the old file stays.
  TErrorCode Abandon(TErrorCode aCode) {
    unlinkat(FFolderFd, FTempLeaf.c_str(), 0);
    TPendingFiles::Forget(&FPending);
    FUnnamed = true;  // nothing left to remove
    return aCode;
  }

  int FNameLock;          // keeps other runs from writing the same name (LockName)
  int FFolderFd;          // the folder of the target, held open
  std::string FLeaf;      // the target's name in it
  std::string FTempLeaf;  // the new file's name there, or its pattern while unnamed
  bool FUnnamed;
  int FTargetFd;  // holds the lock on the file being replaced
  mode_t FFinalMode;
  TPlatformFile* FInput;  // or holds it, when it is the input file
  TPendingFiles::TEntry FPending = {};
  bool FCommitted = false;
  static constexpr std::uint64_t kWritebackStep = std::uint64_t{8} << 20;
  std::uint64_t FWritten = 0;      // bytes written so far
  std::uint64_t FWrittenBack = 0;  // of those, the ones sent to the disk
};

// Keeps other runs out of one output name in one folder for as long as
// vLock is open, whether a file stands under the name yet or not: the lock
// on the file itself cannot cover a name that a run is about to create,
// and two runs would each write their file, the last one's replacing the
// other's without a word. The lock is a socket bound to a name made from
// the folder's identity and the name's bytes in the abstract namespace
// (Linux), which vanishes with the process, however it ends, and leaves
// nothing in the folder. Taken by another: kLockedByAnother. Where no such
// socket can be made the name is not locked, as before.
TErrorCode LockName(int aFolder, const std::string& aLeaf, int& vLock) {
  vLock = -1;
#if defined(__linux__)
  struct stat folder;
  if (fstat(aFolder, &folder) != 0) return kSuccess;
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (const char c : aLeaf) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  struct sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  // The first byte of the path stays 0: the abstract namespace.
  const int length = std::snprintf(
      address.sun_path + 1, sizeof address.sun_path - 1, "xlate-output-%llx-%llx-%016llx",
      static_cast<unsigned long long>(folder.st_dev),
      static_cast<unsigned long long>(folder.st_ino), static_cast<unsigned long long>(hash));
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof address.sun_path - 1) {
    return kSuccess;
  }
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return kSuccess;
  const auto size = static_cast<socklen_t>(offsetof(struct sockaddr_un, sun_path) + 1 +
                                           static_cast<std::size_t>(length));
  if (bind(fd, reinterpret_cast<const struct sockaddr*>(&address), size) != 0) {
    const int error = errno;
    close(fd);
    return error == EADDRINUSE ? kLockedByAnother : kSuccess;
  }
  vLock = fd;
#else
  (void)aFolder;
  (void)aLeaf;
#endif
  return kSuccess;
}

bool StartsWith(const std::string& aText, const char* aPrefix) {
  return aText.compare(0, std::char_traits<char>::length(aPrefix), aPrefix) == 0;
}

// The descriptor that /dev/stdout, /dev/stderr, /dev/fd/N or
// /proc/self/fd/N stands for, or -1.
int OwnDescriptorNamed(const std::string& aName) {
  if (aName == "/dev/stdin") return 0;
  if (aName == "/dev/stdout") return 1;
  if (aName == "/dev/stderr") return 2;
  std::string number;
  const std::string self = "/proc/" + std::to_string(getpid()) + "/fd/";
  for (const char* prefix : {"/dev/fd/", "/proc/self/fd/", "/proc/thread-self/fd/"}) {
    if (StartsWith(aName, prefix)) number = aName.substr(std::char_traits<char>::length(prefix));
  }
  if (StartsWith(aName, self.c_str())) number = aName.substr(self.size());
  if (number.empty() || number.size() > 9 ||
      number.find_first_not_of("0123456789") != std::string::npos) {
    return -1;
  }
  return std::stoi(number);
}

// A stream the process was started with is written through a copy of its
// descriptor: reopening the name would start a new, truncating open of a
// file that the caller may be appending to.
TErrorCode WriteThroughOwnDescriptor(int aFd, std::unique_ptr<TPlatformFile>& vFile) {
  int copy = fcntl(aFd, F_DUPFD_CLOEXEC, 3);
  if (copy < 0) return ErrnoCode();
  vFile = std::make_unique<TPosixFile>(copy);
  return kSuccess;
}

// Follows the symbolic links of the name's last component, as opening it
// would, and gives the name of the file to replace, which may not exist yet
// (a dangling link names the file to create). A link that the kernel's
// protected_symlinks rule forbids to follow is refused with EACCES, whether
// or not the rule is switched on: in a sticky, world-writable folder such as
// /tmp, a link owned neither by this user nor by the folder's owner. The
// folders on the way are left to the kernel.
TErrorCode ResolveOutputName(const std::string& aName, std::string& vTarget) {
  vTarget = aName;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat link;
    if (lstat(vTarget.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return kSuccess;
    const std::string folder = DirectoryOf(vTarget);
    struct stat owner;
    if (stat(folder.c_str(), &owner) == 0 && (owner.st_mode & S_ISVTX) != 0 &&
        (owner.st_mode & S_IWOTH) != 0 && link.st_uid != geteuid() && link.st_uid != owner.st_uid) {
      return EACCES;
    }
    std::string content(PATH_MAX, '\0');
    ssize_t length = readlink(vTarget.c_str(), &content[0], content.size());
    if (length < 0) return ErrnoCode();
    content.resize(static_cast<std::size_t>(length));
    const bool here = vTarget.find('/') == std::string::npos;
    const bool absolute = !content.empty() && content[0] == '/';
    vTarget = absolute || here ? content : folder + "/" + content;
  }
  return ELOOP;
}

// The name of the file written beside aLeaf: ".LEAF.xlate-XXXXXX". Where that
// is longer than the folder allows, LEAF is cut so that the whole name is
// no longer than aLeaf itself, and fits wherever the target fits.
std::string TemporaryLeaf(int aFolder, const std::string& aLeaf) {
  static const std::string kSuffix = ".xlate-XXXXXX";
  long limit = fpathconf(aFolder, _PC_NAME_MAX);
  if (limit <= 0) limit = NAME_MAX;
  std::string kept = aLeaf;
  if (1 + kept.size() + kSuffix.size() > static_cast<std::size_t>(limit)) {
    std::size_t keep = aLeaf.size() > 1 + kSuffix.size() ? aLeaf.size() - 1 - kSuffix.size() : 0;
    // Not inside a UTF-8 sequence, for file systems that check names.
    while (keep > 0 && (static_cast<unsigned char>(aLeaf[keep]) & 0xC0) == 0x80) --keep;
    kept = aLeaf.substr(0, keep);
  }
  return "." + kept + kSuffix;
}

// Copies the extended attributes that carry no privilege: user attributes
// and ACLs among them, but no security labels or file capabilities. What
// cannot be copied is left out.
void CopyExtendedAttributes(int aFrom, int aTo) {
#if defined(__linux__)
  ssize_t size = flistxattr(aFrom, nullptr, 0);
  if (size <= 0) return;
  std::string names(static_cast<std::size_t>(size), '\0');
  size = flistxattr(aFrom, &names[0], names.size());
  if (size <= 0) return;
  names.resize(static_cast<std::size_t>(size));
  for (std::size_t at = 0; at < names.size(); at = names.find('\0', at) + 1) {
    const char* name = names.c_str() + at;
    if (StartsWith(name, "security.")) continue;
    ssize_t length = fgetxattr(aFrom, name, nullptr, 0);
    if (length < 0) continue;
    std::string value(static_cast<std::size_t>(length), '\0');
    length = fgetxattr(aFrom, name, &value[0], value.size());
    if (length >= 0) fsetxattr(aTo, name, value.data(), static_cast<std::size_t>(length), 0);
  }
#else
  (void)aFrom;
  (void)aTo;
#endif
}

// Gives the new file what the replaced one had, where this process may:
// owner and group, extended attributes (ACLs among them) and the mode.
// Set-user-ID and set-group-ID bits stay only where the owner (and for the
// latter the group) is kept, as with cp. Returns the mode to end with.
mode_t TakeOverAttributes(int aTempFd, int aTargetFd, const struct stat& aTarget) {
  if (fchown(aTempFd, aTarget.st_uid, aTarget.st_gid) != 0) {
    if (fchown(aTempFd, static_cast<uid_t>(-1), aTarget.st_gid) != 0) {
      // The group of the process stays.
    }
  }
  mode_t mode = aTarget.st_mode & 07777;
  struct stat now;
  if (fstat(aTempFd, &now) != 0 || now.st_uid != aTarget.st_uid) mode &= ~(S_ISUID | S_ISGID);
  if (now.st_gid != aTarget.st_gid) mode &= ~S_ISGID;
  CopyExtendedAttributes(aTargetFd, aTempFd);
  return mode;
}

mode_t CurrentUmask() {
  mode_t mask = umask(0);
  umask(mask);
  return mask;
}

}  // namespace

// errno after a failed call is never 0; should it be, the failure still
// counts as one.
TErrorCode ErrnoCode() { return errno != 0 ? static_cast<TErrorCode>(errno) : EIO; }

std::string DirectoryOf(const std::string& aPath) {
  std::size_t slash = aPath.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : aPath.substr(0, slash);
}

TErrorCode OpenPosixStdStream(int aFd, std::unique_ptr<TPlatformFile>& vFile) {
  return WriteThroughOwnDescriptor(aFd, vFile);
}

TErrorCode OpenPosixInput(const std::string& aNativeName, TReadShare aShare,
                          std::unique_ptr<TPlatformFile>& vFile) {
  int fd = open(aNativeName.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return ErrnoCode();
  auto file = std::make_unique<TPosixFile>(fd);
  if (const TErrorCode code = Lock(fd, aShare)) return code;
  vFile = std::move(file);
  return kSuccess;
}

namespace {

// The folder, held open: every later name is relative to it. O_PATH asks
// for no permission on the folder itself, as a name through it would not.
int OpenFolder(const std::string& aPath) {
#if defined(O_PATH)
  return open(aPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
#else
  return open(aPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
#endif
}

// A new file in aFolder without a name, which nothing can leave behind;
// -1 where the file system or the kernel cannot make one, or where it could
// not be given a name at the end (no /proc and no privilege).
int CreateUnnamed(int aFolder) {
#if defined(O_TMPFILE)
  int fd = openat(aFolder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  if (fd < 0) return -1;
  char path[64];
  std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
  struct stat info;
  if (stat(path, &info) == 0) return fd;
  close(fd);
#else
  (void)aFolder;
#endif
  return -1;
}

// A new file in aFolder under a name made from vLeaf's pattern, which
// receives the name; -1 with errno on failure.
int CreateNamed(int aFolder, std::string& vLeaf) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    FillRandom(vLeaf);
    int fd = openat(aFolder, vLeaf.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

TErrorCode CreatePosixOutput(const std::string& aNativeName, std::unique_ptr<TPlatformFile>& vFile,
                             TPlatformFile* aInput) {
  const int own = OwnDescriptorNamed(aNativeName);
  if (own >= 0 && fcntl(own, F_GETFD) != -1) return WriteThroughOwnDescriptor(own, vFile);
  // Replace the file a symbolic link points to, not the link.
  std::string target;
  if (const TErrorCode code = ResolveOutputName(aNativeName, target)) return code;
  const std::size_t slash = target.rfind('/');
  const std::string leaf = slash == std::string::npos ? target : target.substr(slash + 1);
  // A name that ends with "/" (or is "/", "." or "..") can only be a
  // folder, which no file can replace.
  if (leaf.empty() || leaf == "." || leaf == "..") return EISDIR;
  int folderFd = OpenFolder(DirectoryOf(target));
  if (folderFd < 0) return ErrnoCode();
  struct stat info;
  bool exists = fstatat(folderFd, leaf.c_str(), &info, 0) == 0;
  if (!exists && errno != ENOENT) {
    // A name too long, or a folder that cannot be searched: said now, not
    // after the whole file is written.
    const TErrorCode code = ErrnoCode();
    CloseFd(folderFd);
    return code;
  }
  int targetFd = -1;
  if (exists && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) {
    // A device or a pipe is written as it is; that it is one is told by
    // the file opened, not by its name.
    targetFd = openat(folderFd, leaf.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (targetFd < 0 || fstat(targetFd, &info) != 0) {
      const TErrorCode code = ErrnoCode();
      CloseFd(targetFd);
      CloseFd(folderFd);
      return code;
    }
    if (!S_ISREG(info.st_mode)) {
      CloseFd(folderFd);
      vFile = std::make_unique<TPosixFile>(targetFd);
      return kSuccess;
    }
    // It became a regular file meanwhile: it is replaced as any other.
  } else if (exists) {
    // Opening the file proves that it may be written (a directory fails
    // here).
    targetFd = openat(folderFd, leaf.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (targetFd < 0) {
      const TErrorCode code = ErrnoCode();
      CloseFd(folderFd);
      return code;
    }
  }
  // The name's lock keeps other runs out of a new name as of an old one;
  // the file's lock keeps other runs out until it is replaced (in place,
  // the input's lock does).
  int nameLock = -1;
  TErrorCode code = LockName(folderFd, leaf, nameLock);
  if (code == kSuccess && targetFd >= 0 && aInput == nullptr) code = Lock(targetFd);
  if (code != kSuccess) {
    CloseFd(nameLock);
    CloseFd(targetFd);
    CloseFd(folderFd);
    return code;
  }
  std::string tempLeaf = TemporaryLeaf(folderFd, leaf);

  TPendingFiles::THeld held;
  int tempFd = CreateUnnamed(folderFd);
  const bool unnamed = tempFd >= 0;
  if (!unnamed) tempFd = CreateNamed(folderFd, tempLeaf);
  if (tempFd < 0) {
    code = ErrnoCode() | kFolderFailure;
    CloseFd(nameLock);
    CloseFd(targetFd);
    CloseFd(folderFd);
    return code;
  }
  mode_t mode = exists ? TakeOverAttributes(tempFd, targetFd, info) : 0666 & ~CurrentUmask();
  if (fchmod(tempFd, mode & ~(S_ISUID | S_ISGID)) != 0) {
    code = ErrnoCode();
    close(tempFd);
    if (!unnamed) unlinkat(folderFd, tempLeaf.c_str(), 0);
    CloseFd(nameLock);
    CloseFd(targetFd);
    CloseFd(folderFd);
    return code;
  }
  auto file = std::make_unique<TReplacingFile>(tempFd, folderFd, leaf, std::move(tempLeaf), unnamed,
                                               targetFd, mode, aInput, nameLock);
  file->RegisterForSignals();
  vFile = std::move(file);
  return kSuccess;
}

}  // namespace xlate
