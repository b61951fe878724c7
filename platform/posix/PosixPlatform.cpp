// The POSIX implementation of the platform's parts.
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#if defined(__linux__)
#include <link.h>
#endif
#include <limits.h>
#include <malloc.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "common/CodePages.h"
#include "common/ErrorCodes.h"
#include "platform/CaseFold.h"
#include "platform/Platform.h"
#include "platform/posix/LocaleCodePages.h"
#include "platform/posix/NativeNames.h"
#include "platform/posix/PendingFiles.h"
#include "platform/posix/PosixFile.h"

namespace xlate {

namespace {

#if defined(__APPLE__)
const char kLibraryFileName[] = "libjxZTAccess.dylib";
#else
const char kLibraryFileName[] = "libjxZTAccess.so";
#endif

// Write failures in the codes whose texts the console writer knows.
TErrorCode WriteErrorCode(int aErrno) {
  switch (aErrno) {
    case ENOENT:
      return kFileNotFound;
    case EMFILE:
      return kTooManyOpenFiles;
    case EACCES:
    case EPERM:
      return kAccessDenied;
    case ENOSPC:
      return kDiskFull;
    case EBADF:
      return kNotOpenForOutput;
    default:
      return static_cast<std::uint32_t>(aErrno);
  }
}

std::string LastComponent(const std::string& aPath) {
  std::size_t slash = aPath.rfind('/');
  return slash == std::string::npos ? aPath : aPath.substr(slash + 1);
}

// Makes a path absolute and drops "." and ".." components without asking
// the file system, for names that do not exist (yet).
std::string NormalisePath(const std::string& aPath) {
  std::string full = aPath;
  if (full.empty() || full[0] != '/') {
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd) != nullptr) full = std::string(cwd) + "/" + full;
  }
  std::vector<std::string> parts;
  std::size_t i = 0;
  while (i <= full.size()) {
    std::size_t next = full.find('/', i);
    if (next == std::string::npos) next = full.size();
    std::string part = full.substr(i, next - i);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    i = next + 1;
  }
  std::string out;
  for (const std::string& part : parts) out += "/" + part;
  return out.empty() ? "/" : out;
}

// File names and arguments are bytes in the ANSI code page, carried
// through the program byte for byte (NativeNames.h). A name that cannot
// be encoded fails with EILSEQ instead of naming another file.
class TPosixNames {
 public:
  explicit TPosixNames(std::uint32_t aAnsi) : FAnsi(aAnsi) {}
  TErrorCode Native(const Text& aText, std::string& vName) const {
    return TextToNative(FAnsi, aText, vName) ? kSuccess : EILSEQ;
  }
  Text NameText(const std::string& aBytes) const { return NativeToText(FAnsi, aBytes); }
  // System messages, which are text and not names.
  Text FromNative(const std::string& aBytes) const {
    return CodePageToText(FAnsi, aBytes.data(), aBytes.size());
  }
  std::uint32_t Ansi() const { return FAnsi; }

 private:
  std::uint32_t FAnsi;
};

// main's arguments and the environment.
class TPosixProcess : public TProcessContext {
 public:
  TPosixProcess(const TPosixNames& aNames, int argc, char** argv) : FNames(aNames) {
    for (int i = 1; i < argc; ++i) {
      if (argv[i] != nullptr && argv[i][0] != '\0') FArguments.emplace_back(argv[i]);
    }
    if (argc > 0 && argv[0] != nullptr) FArgv0 = argv[0];
  }

  std::thread StartThread(std::function<void()> aWork) override {
    // A new thread starts with its creator's signal mask: it keeps the
    // signals from outside blocked for its whole life, so they go to the
    // main thread, where a file being replaced holds them back while it
    // is renamed.
    TPendingFiles::THeld held;
#if defined(M_ARENA_MAX)
    // The thread takes its memory from the process's heap, as the main
    // thread does: a heap of its own would reserve 64 MB of address space
    // at once, more than a run under a small limit of it (ulimit -v) has.
    mallopt(M_ARENA_MAX, 1);
#endif
    return std::thread(std::move(aWork));
  }
  bool EqualIgnoreCase(const Text& aLeft, const Text& aRight) override {
    return EqualIgnoringCase(aLeft, aRight);
  }

  std::vector<Text> CommandLineParameters() override {
    std::vector<Text> parameters;
    for (const std::string& argument : FArguments) parameters.push_back(FNames.NameText(argument));
    return parameters;
  }

  Text ProgramPath() override { return FNames.NameText(NativeProgramPath()); }

  Text ArgumentAsText(const Text& aArgument) override {
    std::string bytes;
    return TextToNative(FNames.Ansi(), aArgument, bytes) ? FNames.FromNative(bytes) : aArgument;
  }

  Text EnvironmentValue(const Text& aName) override {
    std::string name;
    if (FNames.Native(aName, name) != kSuccess) return Text();
    const char* value = getenv(name.c_str());
    return value != nullptr ? FNames.FromNative(value) : Text();
  }

  // The program's path as the system names it, byte for byte.
  std::string NativeProgramPath() const {
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length > 0) return std::string(path, static_cast<std::size_t>(length));
    char* resolved = realpath(FArgv0.c_str(), nullptr);
    std::string full = resolved ? resolved : FArgv0;
    free(resolved);
    return full;
  }

 private:
  const TPosixNames& FNames;
  std::vector<std::string> FArguments;
  std::string FArgv0;
};

// The library, loaded by the dynamic loader.
class TPosixLibraries : public TLibraryLoader {
 public:
  TPosixLibraries(const TPosixNames& aNames, const TPosixProcess& aProcess)
      : FNames(aNames), FProcess(aProcess) {}

  TErrorCode LoadLibrary(const Text& aFileName, LibraryHandle& vLibrary) override {
    // The program's own folder comes first; then ../lib/xlate from there,
    // where an installed program (PREFIX/bin/xlate) keeps its private library
    // (PREFIX/lib/xlate); then the loader's search.
    std::string name;
    if (const TErrorCode code = FNames.Native(aFileName, name)) return code;
    // The program's folder as the system names it, byte for byte.
    const std::string programFolder = DirectoryOf(FProcess.NativeProgramPath());
    std::string path = name;
    // The program's path has no symbolic links in it (/proc/self/exe), so
    // dropping "bin/.." keeps the folder the same.
    for (const std::string& folder :
         {programFolder, NormalisePath(programFolder + "/../lib/xlate")}) {
      struct stat info;
      if (stat((folder + "/" + name).c_str(), &info) == 0) {
        path = folder + "/" + name;
        break;
      }
    }
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return LoaderFailed();
    vLibrary = reinterpret_cast<LibraryHandle>(handle);
    return kSuccess;
  }

  TErrorCode GetProcAddress(LibraryHandle aLibrary, const ByteString& aName,
                            void*& vAddress) override {
    dlerror();
    vAddress = dlsym(reinterpret_cast<void*>(aLibrary), aName.c_str());
    return vAddress == nullptr ? LoaderFailed() : kSuccess;
  }

  TErrorCode FreeLibrary(LibraryHandle aLibrary) override {
    if (dlclose(reinterpret_cast<void*>(aLibrary)) == 0) return kSuccess;
    return LoaderFailed();
  }

  Text LibraryFileName() override {
    return Text(kLibraryFileName, kLibraryFileName + strlen(kLibraryFileName));
  }

  Text LibraryPath(LibraryHandle aLibrary) override {
#if defined(__GLIBC__)
    struct link_map* map = nullptr;
    if (dlinfo(reinterpret_cast<void*>(aLibrary), RTLD_DI_LINKMAP, &map) == 0 && map != nullptr &&
        map->l_name != nullptr) {
      return FNames.NameText(map->l_name);
    }
#else
    (void)aLibrary;
#endif
    return Text();
  }

  // The loader's text of its last failure.
  const std::string& LoaderMessage() const { return FLoaderMessage; }

 private:
  // Keeps the loader's text of its failure for LoaderMessage, until the
  // next failure of the loader.
  TErrorCode LoaderFailed() {
    const char* message = dlerror();
    FLoaderMessage = message ? message : "";
    return kLoaderError;
  }

  const TPosixNames& FNames;
  const TPosixProcess& FProcess;
  std::string FLoaderMessage;
};

// The locale's code pages, converted with the program's own tables, and
// the system's messages.
class TPosixSystemText : public TSystemText {
 public:
  TPosixSystemText(const TPosixNames& aNames, std::uint32_t aOem, const TPosixLibraries& aLibraries)
      : FNames(aNames), FOem(aOem), FLibraries(aLibraries) {}

  Text SystemErrorMessage(TErrorCode aCode) override {
    if (aCode == kLoaderError) return FNames.FromNative(FLibraries.LoaderMessage());
    if (aCode == kLockedByAnother)
      return u"The file is in use by another process, which holds a lock on it";
    if (aCode == kStdOutputClosed) return u"Standard output is closed";
#if defined(__GLIBC__)
    const char* text = strerrordesc_np(static_cast<int>(aCode));
    return text ? FNames.FromNative(text) : Text();
#else
    return FNames.FromNative(strerror(static_cast<int>(aCode)));
#endif
  }

  std::uint32_t AnsiCodePage() override { return FNames.Ansi(); }
  std::uint32_t OemCodePage() override { return FOem; }

  Text MultiByteToText(std::uint32_t aCodePage, const char* aBytes, std::size_t aCount) override {
    return CodePageToText(aCodePage, aBytes, aCount);
  }

  void AssignMultiByteAsText(std::uint32_t aCodePage, const char* aBytes, std::size_t aCount,
                             Text& vText) override {
    AssignCodePageText(aCodePage, aBytes, aCount, vText);
  }

  void AppendTextAsMultiByte(std::uint32_t aCodePage, const char16_t* aText, std::size_t aCount,
                             ByteString& vOut) override {
    AppendTextInCodePage(aCodePage, aText, aCount, vOut);
  }

  void AppendMultiByteAsUtf8(std::uint32_t aCodePage, const char* aBytes, std::size_t aCount,
                             ByteString& vOut) override {
    AppendCodePageAsUtf8(aCodePage, aBytes, aCount, vOut);
  }

  ByteString CharToOem(const ByteString& aBytes) override {
    return ConvertBytes(FNames.Ansi(), FOem, aBytes);
  }
  ByteString OemToChar(const ByteString& aBytes) override {
    return ConvertBytes(FOem, FNames.Ansi(), aBytes);
  }

 private:
  const TPosixNames& FNames;
  std::uint32_t FOem;
  const TPosixLibraries& FLibraries;
};

// The process's standard file descriptors.
class TPosixStreams : public TStandardStreams {
 public:
  // A standard descriptor that the process was started without is put on
  // the null device at once: the next file opened would otherwise take its
  // number, and the console's lines would go into the input file, or the
  // input be read from the output. It stays closed to the program.
  TPosixStreams() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
      if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
      FClosed[fd] = true;
      const int null = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
      if (null >= 0 && null != fd) {
        dup2(null, fd);
        close(null);
      }
    }
  }

  bool WasClosed(TStdStream aStream) override { return FClosed[Descriptor(aStream)]; }

  THandleType StdOutputType() override {
    if (FClosed[STDOUT_FILENO]) return THandleType::htUnknown;
    struct stat info;
    if (fstat(STDOUT_FILENO, &info) != 0) return THandleType::htUnknown;
    if (S_ISCHR(info.st_mode)) return THandleType::htCharDevice;
    if (S_ISREG(info.st_mode)) return THandleType::htFile;
    if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)) return THandleType::htPipe;
    return THandleType::htUnknown;
  }

  TErrorCode WriteStd(TStdStream aStream, const char* aBytes, std::size_t aCount) override {
    const int fd = Descriptor(aStream);
    struct stat info;
    if (FClosed[fd] || fstat(fd, &info) != 0) return kNotOpenForOutput;
    std::size_t done = 0;
    while (done < aCount) {
      ssize_t put = write(fd, aBytes + done, aCount - done);
      if (put < 0) {
        if (errno == EINTR) continue;
        return WriteErrorCode(errno);
      }
      if (put == 0) return kDiskFull;
      done += static_cast<std::size_t>(put);
    }
    return kSuccess;
  }

  bool IsTerminal(TStdStream aStream) override { return isatty(Descriptor(aStream)) == 1; }

  TErrorCode OpenStdInput(std::unique_ptr<TPlatformFile>& vFile) override {
    if (FClosed[STDIN_FILENO]) return EBADF;
    return OpenPosixStdStream(STDIN_FILENO, vFile);
  }
  TErrorCode OpenStdOutput(std::unique_ptr<TPlatformFile>& vFile) override {
    if (FClosed[STDOUT_FILENO]) return kStdOutputClosed;
    return OpenPosixStdStream(STDOUT_FILENO, vFile);
  }

 private:
  static int Descriptor(TStdStream aStream) {
    return aStream == TStdStream::ssOutput ? STDOUT_FILENO : STDERR_FILENO;
  }

  bool FClosed[3] = {false, false, false};
};

// Files by their names' bytes.
class TPosixFiles : public TFileSystem {
 public:
  explicit TPosixFiles(const TPosixNames& aNames) : FNames(aNames) {}

  bool FileExists(const Text& aName) override {
    std::string name;
    if (FNames.Native(aName, name) != kSuccess) return false;
    struct stat info;
    if (stat(name.c_str(), &info) == 0) return !S_ISDIR(info.st_mode);
    if (errno == ENOENT || errno == ENOTDIR || errno == EINVAL) return false;
    // A name too long to look up is not a missing one: opening it says why
    // it cannot be read.
    if (errno == ENAMETOOLONG) return true;
    // The name could not be examined (for example a folder that may be
    // listed but not searched): look for it in its folder instead.
    DIR* dir = opendir(DirectoryOf(name).c_str());
    if (dir == nullptr) return false;
    std::string leaf = LastComponent(name);
    bool found = false;
    while (struct dirent* entry = readdir(dir)) {
      if (leaf == entry->d_name) {
        found = true;
        break;
      }
    }
    closedir(dir);
    return found;
  }

  bool FolderExists(const Text& aName) override {
    std::string name;
    struct stat info;
    return FNames.Native(aName, name) == kSuccess && stat(name.c_str(), &info) == 0 &&
           S_ISDIR(info.st_mode);
  }

  TErrorCode OpenForReading(const Text& aName, TReadShare aShare,
                            std::unique_ptr<TPlatformFile>& vFile) override {
    std::string name;
    if (const TErrorCode code = FNames.Native(aName, name)) return code;
    return OpenPosixInput(name, aShare, vFile);
  }

  TErrorCode CreateForWriting(const Text& aName, std::unique_ptr<TPlatformFile>& vFile) override {
    std::string name;
    if (const TErrorCode code = FNames.Native(aName, name)) return code;
    return CreatePosixOutput(name, vFile);
  }

  TErrorCode CreateOverInput(const Text& aName, TPlatformFile& aInput,
                             std::unique_ptr<TPlatformFile>& vFile) override {
    std::string name;
    if (const TErrorCode code = FNames.Native(aName, name)) return code;
    return CreatePosixOutput(name, vFile, &aInput);
  }

  bool SameFile(const Text& aLeft, const Text& aRight) override {
    std::string leftName, rightName;
    struct stat left, right;
    return FNames.Native(aLeft, leftName) == kSuccess &&
           FNames.Native(aRight, rightName) == kSuccess && stat(leftName.c_str(), &left) == 0 &&
           stat(rightName.c_str(), &right) == 0 && left.st_dev == right.st_dev &&
           left.st_ino == right.st_ino;
  }

  Text FullPath(const Text& aName) override {
    std::string name;
    if (FNames.Native(aName, name) != kSuccess) return aName;
    char* resolved = realpath(name.c_str(), nullptr);
    if (resolved != nullptr) {
      std::string full = resolved;
      free(resolved);
      return FNames.NameText(full);
    }
    return FNames.NameText(NormalisePath(name));
  }

  Text PathSeparators() override { return u"/"; }

 private:
  const TPosixNames& FNames;
};

class TPosixPlatform : public TPlatform {
 public:
  TPosixPlatform(int argc, char** argv)
      : FPages(CodePagesForLocale(
            LocaleFromEnvironment(getenv("LC_ALL"), getenv("LC_CTYPE"), getenv("LANG")))),
        FNames(FPages.Ansi),
        FProcess(FNames, argc, argv),
        FLibraries(FNames, FProcess),
        FText(FNames, FPages.Oem, FLibraries),
        FFiles(FNames) {
    // A closed pipe on standard output becomes a write error that is
    // reported, as on Windows, instead of ending the process silently.
    signal(SIGPIPE, SIG_IGN);
  }

  TLibraryLoader& Libraries() override { return FLibraries; }
  TProcessContext& Process() override { return FProcess; }
  TStandardStreams& Streams() override { return FStreams; }
  TFileSystem& Files() override { return FFiles; }
  TSystemText& SystemText() override { return FText; }

 private:
  TLocaleCodePages FPages;
  TPosixNames FNames;
  TPosixProcess FProcess;
  TPosixLibraries FLibraries;
  TPosixSystemText FText;
  TPosixStreams FStreams;
  TPosixFiles FFiles;
};

}  // namespace

std::unique_ptr<TPlatform> TPlatform::Create(int argc, char** argv) {
  return std::make_unique<TPosixPlatform>(argc, argv);
}

}  // namespace xlate
