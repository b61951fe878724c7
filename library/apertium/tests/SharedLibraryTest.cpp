// The built libjxZTAccess.so as a host loads it: what it exports, and that
// its chains end when it is unloaded or when the host goes away.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "LoopbackServers.h"
#include "TestSupport.h"
#include "contract/ZtaContract.h"

namespace zta {
namespace {

using namespace std::chrono_literals;

const char* const kExportedNames[] = {"ztaLastErrorCode", "ztaErrorText",  "ztaTranslate",
                                      "ztaLaguageList",   "ztaToPostText", "ztaFromPostText"};

class LoadedLibrary {
 public:
  LoadedLibrary() : handle_(dlopen(ZTA_SHARED_LIBRARY, RTLD_NOW | RTLD_LOCAL)) {}
  ~LoadedLibrary() { unload(); }
  bool loaded() const { return handle_ != nullptr; }
  void* symbol(const char* name) const { return dlsym(handle_, name); }
  void unload() {
    if (handle_ != nullptr) dlclose(handle_);
    handle_ = nullptr;
  }
  // Translates en to es through the loaded library; empty on failure.
  std::string translate(const char* text) const {
    auto function = reinterpret_cast<TprocTranslate>(symbol("ztaTranslate"));
    char buffer[1024];
    if ((function("en", "en", "es", text, buffer, sizeof buffer) & 0xFF) == 0) return "";
    return buffer;
  }

 private:
  void* handle_;
};

// Processes this process started that are still there (the test runner
// starts none of its own).
std::vector<int> myChildren() { return test::childProcessesOf(getpid()); }

TEST(SharedLibrary, ExportsTheSixFunctionsAndNothingOfItsOwn) {
  LoadedLibrary library;
  ASSERT_TRUE(library.loaded()) << dlerror();
  for (const char* name : kExportedNames) EXPECT_NE(library.symbol(name), nullptr) << name;
  EXPECT_EQ(library.symbol("_ZN3zta13sharedLibraryEv"), nullptr);
  EXPECT_EQ(library.symbol("_ZN3zta17escapeForApertiumESt17basic_string_viewIcSt11char_traitsIcEE"),
            nullptr);
  auto toPost = reinterpret_cast<TprocPostText>(library.symbol("ztaToPostText"));
  char buffer[64];
  ASSERT_NE(toPost("a b&c", buffer, sizeof buffer) & 0xFF, 0u);
  EXPECT_STREQ(buffer, "a+b%26c");
}

TEST(SharedLibrary, EndsItsChainWhenUnloaded) {
  SKIP_WITHOUT_APERTIUM();
  const std::vector<int> before = myChildren();
  LoadedLibrary library;
  ASSERT_TRUE(library.loaded()) << dlerror();
  ASSERT_EQ(library.translate("The house is big and my friend reads a book."),
            "La casa es grande y mi amigo lee un libro.");
  std::vector<int> chain;
  for (int pid : myChildren()) {
    if (std::find(before.begin(), before.end(), pid) == before.end()) chain.push_back(pid);
  }
  ASSERT_GE(chain.size(), 10u);  // every stage is a child of the host
  library.unload();
  for (int pid : chain) {
    EXPECT_FALSE(test::isUnreapedChild(pid)) << pid;
    EXPECT_NE(kill(pid, 0), 0) << "still running: " << pid;
  }
}

// Runs a host in a child process that loads the library, translates, tells
// the parent its chain's process group and leaves by exit or _exit.
void hostThatLeaves(bool runDestructors) {
  int report[2];
  ASSERT_EQ(pipe(report), 0);
  const pid_t host = fork();
  ASSERT_GE(host, 0);
  if (host == 0) {
    close(report[0]);
    LoadedLibrary library;
    if (library.translate("The house is big.") != "La casa es grande.") _exit(2);
    const std::vector<int> chain = test::childProcessesOf(getpid());
    const int group = chain.empty() ? 0 : getpgid(chain.front());
    if (write(report[1], &group, sizeof group) != sizeof group) _exit(3);
    if (runDestructors) exit(0);
    _exit(0);  // as if the host crashed: no destructor runs
  }
  close(report[1]);
  int group = 0;
  const ssize_t got = read(report[0], &group, sizeof group);
  close(report[0]);
  int status = 0;
  ASSERT_EQ(waitpid(host, &status, 0), host);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "host status " << status;
  ASSERT_EQ(got, static_cast<ssize_t>(sizeof group));
  ASSERT_GT(group, 0);
  // Orphaned stages are reaped by init, which may take a moment.
  EXPECT_TRUE(test::waitForGroupToVanish(group, 15s)) << "chain still there: " << group;
}

TEST(SharedLibrary, ChainEndsWhenTheHostExits) {
  SKIP_WITHOUT_APERTIUM();
  hostThatLeaves(true);
}

TEST(SharedLibrary, ChainEndsWhenTheHostDiesWithoutCleanup) {
  SKIP_WITHOUT_APERTIUM();
  hostThatLeaves(false);
}

// A host in a child process that loads the library with ZTA_SERVER set,
// translates through the server and leaves: by unloading the library and
// exiting, or by exiting with the library still loaded (its state and
// libcurl then end in the exit handlers). Either way the host must end
// normally, without a crash in the cleanup.
void serverHostThatLeaves(bool unloadFirst) {
  test::CannedServer server([](const std::string& request) {
    const std::string body =
        request.rfind("GET /listPairs", 0) == 0
            ? R"({"responseData": [{"sourceLanguage": "eng", "targetLanguage": "spa"}]})"
            : R"({"responseData": {"translatedText": "La casa es grande."}})";
    return test::CannedServer::answer("200 OK", "application/json", body);
  });
  const pid_t host = fork();
  ASSERT_GE(host, 0);
  if (host == 0) {
    setenv("ZTA_SERVER", server.url().c_str(), 1);
    LoadedLibrary library;
    for (const char* text : {"The house is big.", "The house is big, really."}) {
      if (library.translate(text) != "La casa es grande.") _exit(2);
    }
    if (unloadFirst) library.unload();
    exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(host, &status, 0), host);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "host status " << status;
  EXPECT_EQ(server.requests().size(), 3u);  // the pairs, then two translations
  EXPECT_EQ(server.connectionsAccepted(), 1);
}

TEST(SharedLibrary, AServerHostUnloadsTheLibraryAndExitsCleanly) { serverHostThatLeaves(true); }

TEST(SharedLibrary, AServerHostExitsCleanlyWithTheLibraryLoaded) { serverHostThatLeaves(false); }

}  // namespace
}  // namespace zta
