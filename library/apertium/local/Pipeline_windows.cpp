// The Windows build has no local Apertium chains: Apertium's programs and
// its mode scripts are POSIX ones, so the Windows library translates through
// an APY server only. Library.cpp fails every call that has no server
// (LibrarySettings::localPipelines) before a chain is asked for; these
// answers keep the interface whole with the same reason.
#include "local/Pipeline.h"

namespace zta {
namespace {

const char kNoLocalChains[] =
    "this build of the library has no local Apertium chains; it translates through a "
    "server (ZTA_SERVER) only";

}  // namespace

std::unique_ptr<ChildPipeline> startChildPipeline(const StageList& /*stages*/, int /*cpu*/,
                                                  std::string* error) {
  *error = kNoLocalChains;
  return nullptr;
}

int processorForChain(unsigned /*chainIndex*/) { return -1; }

unsigned processorsAvailable() { return 1; }

std::uint64_t memoryAvailable() { return 0; }

std::uint64_t residentMemory(const std::vector<int>& /*processIds*/) { return 0; }

void streamRequests(const std::vector<ChildPipeline*>& /*pipelines*/,
                    std::vector<StreamRequest>& requests, std::size_t /*windowBytes*/) {
  // No pipeline ever runs here: no request is sent.
  for (StreamRequest& request : requests) request.pipeline = -1;
}

bool runForOutput(const std::vector<std::string>& /*argv*/, std::chrono::milliseconds /*limit*/,
                  std::string* /*output*/, std::string* error) {
  *error = kNoLocalChains;
  return false;
}

bool programInPath(const std::string& /*name*/) { return false; }

bool localPipelinesAvailable() { return false; }

}  // namespace zta
