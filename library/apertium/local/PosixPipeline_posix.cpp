#include "local/PosixPipeline_posix.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "engine/KitNames.h"
#include "local/TaggerFreshness.h"

namespace zta {

using posix::killAndReap;
using posix::PosixPipeline;
using posix::spawnChain;
using posix::SpawnedChain;

std::unique_ptr<ChildPipeline> startChildPipeline(const StageList& stages, int cpu,
                                                  std::string* error) {
  // The HMM tagger runs as a segment of its own (see isHmmTagger).
  const auto tagger = std::find_if(stages.begin(), stages.end(), isHmmTagger);
  std::vector<StageList> parts;
  std::vector<std::string> taggerStage;
  int taggerSegment = -1;
  if (tagger == stages.end()) {
    parts.push_back(stages);
  } else {
    if (tagger != stages.begin()) parts.emplace_back(stages.begin(), tagger);
    taggerStage = *tagger;
    taggerStage.insert(taggerStage.begin() + 1, "-d");
    taggerSegment = static_cast<int>(parts.size());
    parts.push_back({taggerStage});
    if (tagger + 1 != stages.end()) parts.emplace_back(tagger + 1, stages.end());
  }
  std::vector<SpawnedChain> segments;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    SpawnedChain segment;
    const pid_t group = segments.empty() ? 0 : segments.front().pids.front();
    if (!spawnChain(parts[i], cpu, group, &segment, error)) {
      std::vector<pid_t> pids;
      for (const SpawnedChain& started : segments) {
        pids.insert(pids.end(), started.pids.begin(), started.pids.end());
      }
      killAndReap(pids);
      return nullptr;
    }
    segments.push_back(std::move(segment));
  }
  return std::make_unique<PosixPipeline>(std::move(segments), taggerSegment, std::move(taggerStage),
                                         cpu);
}

}  // namespace zta
