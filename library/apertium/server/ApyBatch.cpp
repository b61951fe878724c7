#include "server/ApyBatch.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <optional>
#include <thread>

#include "engine/ZtaErrors.h"
#include "server/LinePacks.h"
#include "server/QuietThread.h"
#include "text/TextPieces.h"

namespace zta {

std::size_t pickServer(const std::vector<std::size_t>& candidates,
                       const std::vector<std::size_t>& inFlight,
                       const std::vector<std::shared_ptr<ServerBreaker>>& breakers,
                       std::size_t start, std::size_t except) {
  for (bool takePaused : {false, true}) {
    std::size_t best = kNoServer;
    for (std::size_t k = 0; k < candidates.size(); ++k) {
      const std::size_t server = candidates[(start + k) % candidates.size()];
      if (server == except || (!takePaused && breakers[server]->paused())) continue;
      if (best == kNoServer || inFlight[server] < inFlight[best]) best = server;
    }
    if (best != kNoServer) return best;
  }
  return kNoServer;
}

ApyBatchClient::ApyBatchClient(std::size_t inFlight,
                               std::vector<std::shared_ptr<ServerBreaker>> breakers,
                               ClientFactory makeClient, bool placeholders)
    : inFlight_(std::max<std::size_t>(inFlight, 1)),
      breakers_(std::move(breakers)),
      makeClient_(std::move(makeClient)),
      placeholders_(placeholders),
      inFlightByServer_(breakers_.size(), 0) {}

ApyBatchClient::~ApyBatchClient() = default;

std::size_t ApyBatchClient::clientCount() const {
  std::size_t count = 0;
  for (const auto& row : clients_) {
    for (const auto& client : row) count += client ? 1 : 0;
  }
  return count;
}

std::uint64_t ApyBatchClient::translateRequests() const {
  std::uint64_t requests = 0;
  for (const auto& row : clients_) {
    for (const auto& client : row) requests += client ? client->translateRequests() : 0;
  }
  return requests;
}

ApyClient& ApyBatchClient::clientFor(std::size_t worker, std::size_t server) {
  std::unique_ptr<ApyClient>& slot = clients_[worker][server];
  if (!slot) slot = makeClient_(server);
  return *slot;
}

template <typename Ask>
auto ApyBatchClient::askServer(std::size_t worker, const std::string& modeName,
                               const std::vector<std::size_t>& servers, const Ask& ask)
    -> decltype(ask(std::declval<ApyClient&>(), false)) {
  std::size_t failed = kNoServer;
  std::size_t start = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    start = nextStart_++;
  }
  std::optional<ServerBreaker::Clock::time_point> waitUntil;  // once the request waits
  for (;;) {
    ApyClient* client = nullptr;
    std::size_t server = kNoServer;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      server = pickServer(servers, inFlightByServer_, breakers_, start, failed);
      if (server == kNoServer) {
        throw ZtaError(ErrorCode::kInternal, "No translation server has the pair " + modeName);
      }
      client = &clientFor(worker, server);
      ++inFlightByServer_[server];
    }
    try {
      auto answer = ask(*client, waitUntil.has_value());
      std::lock_guard<std::mutex> lock(mutex_);
      --inFlightByServer_[server];
      return answer;
    } catch (const ServerFailure&) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        --inFlightByServer_[server];
      }
      // Sent once more, to another server with the pair, if there is one.
      if (failed == kNoServer && servers.size() >= 2) {
        failed = server;
        continue;
      }
      // Else the request waits for this one's pause to end and tries it
      // again, while the wait stays within its limit.
      if (!waitUntil) waitUntil = ServerBreaker::Clock::now() + client->waitLimit();
      if (!client->breaker().pauseEndsBy(*waitUntil, client->waitLimit())) throw;
    } catch (...) {
      std::lock_guard<std::mutex> lock(mutex_);
      --inFlightByServer_[server];
      throw;
    }
  }
}

namespace {

// What one request (or, for a text alone, the requests of its pieces)
// carries: the texts numbered in it, in order. A packed job's texts each
// have one piece that canPack takes, with the blanks around it kept aside.
struct BatchJob {
  std::vector<std::size_t> texts;
  bool packed = false;
};

struct PackedText {
  std::string_view lead;  // the blanks before the piece, kept as they are
  std::string_view piece;
  std::string_view tail;  // and after it
};

// The piece of a text that can go packed, or nothing.
std::optional<PackedText> packedText(std::string_view text, bool placeholders) {
  const std::vector<TextSegment> segments = splitIntoPieces(text);
  PackedText packed;
  std::size_t pieces = 0;
  for (const TextSegment& segment : segments) {
    if (!segment.blank) {
      ++pieces;
      packed.piece = segment.text;
    } else {
      (pieces == 0 ? packed.lead : packed.tail) = segment.text;
    }
  }
  if (pieces != 1 || !canPack(packed.piece, placeholders)) return std::nullopt;
  return packed;
}

// The jobs of a batch, in the order of their first texts: the texts that
// can go packed, in packs of at most kPackBytes, and every other text alone.
// A text that goes alone does not end the pack being filled, so that a few
// such lines among many do not cut a document into small requests. A pack
// of one goes alone too, exactly as a single text does.
std::vector<BatchJob> planJobs(const std::vector<std::optional<PackedText>>& packable,
                               bool placeholders) {
  std::vector<BatchJob> jobs;
  constexpr std::size_t kNoPack = static_cast<std::size_t>(-1);
  std::size_t filling = kNoPack;  // the job of the pack being filled
  std::size_t packBytes = 0;
  for (std::size_t i = 0; i < packable.size(); ++i) {
    if (!packable[i]) {
      jobs.push_back({{i}, false});
      continue;
    }
    if (filling != kNoPack) {
      const std::size_t bytes =
          packedSize(packable[i]->piece, jobs[filling].texts.size(), placeholders);
      if (packBytes + bytes <= kPackBytes) {
        jobs[filling].texts.push_back(i);
        packBytes += bytes;
        continue;
      }
    }
    packBytes = packedSize(packable[i]->piece, 0, placeholders);
    filling = jobs.size();
    jobs.push_back({{i}, true});
  }
  for (BatchJob& job : jobs) job.packed = job.packed && job.texts.size() >= 2;
  return jobs;
}

}  // namespace

std::vector<std::string> ApyBatchClient::translate(const std::string& modeName,
                                                   const std::vector<std::string_view>& texts,
                                                   const std::vector<std::size_t>& servers) {
  std::vector<std::string> translations(texts.size());
  if (texts.empty()) return translations;
  std::vector<std::optional<PackedText>> packable;
  packable.reserve(texts.size());
  for (std::string_view text : texts) packable.push_back(packedText(text, placeholders_));
  const std::vector<BatchJob> jobs = planJobs(packable, placeholders_);
  std::size_t workers = std::min(inFlight_, jobs.size());
  if (std::any_of(jobs.begin(), jobs.end(), [](const BatchJob& job) { return job.packed; })) {
    workers = std::max<std::size_t>(1, std::min(workers, 2 * servers.size()));
  }
  while (clients_.size() < workers) {
    clients_.emplace_back();
    clients_.back().resize(breakers_.size());
  }

  const auto alone = [&](std::size_t worker, std::size_t i) {
    translations[i] = askServer(worker, modeName, servers, [&](ApyClient& client, bool wait) {
      return client.translate(modeName, texts[i], wait);
    });
  };
  // A job's texts, each marked done once its whole translation is there. A
  // packed answer that cannot be taken apart sends its texts one by one.
  std::vector<char> done(texts.size(), 0);  // whole answers only, each by one worker
  const auto runJob = [&](std::size_t worker, const BatchJob& job) {
    if (job.packed) {
      std::vector<std::string_view> pieces;
      for (const std::size_t i : job.texts) pieces.push_back(packable[i]->piece);
      const std::optional<std::vector<std::string>> lines =
          askServer(worker, modeName, servers, [&](ApyClient& client, bool wait) {
            return client.translatePacked(modeName, pieces, wait);
          });
      if (lines) {
        for (std::size_t k = 0; k < job.texts.size(); ++k) {
          const std::size_t i = job.texts[k];
          const PackedText& text = *packable[i];
          translations[i] = std::string(text.lead) + (*lines)[k] + std::string(text.tail);
          done[i] = 1;
        }
        return;
      }
    }
    for (const std::size_t i : job.texts) {
      alone(worker, i);
      done[i] = 1;
    }
  };

  // Each worker takes the next job until none is left or one has failed;
  // a job taken before the first failed one is still done, so that every
  // text up to that one has its translation. The failures are kept by
  // job, so that the first one in order counts.
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::atomic<std::size_t> next{0};
  std::atomic<std::size_t> firstFailed{kNone};
  std::vector<std::exception_ptr> failures(jobs.size());
  const auto work = [&](std::size_t worker) {
    for (;;) {
      const std::size_t j = next.fetch_add(1);
      if (j >= jobs.size() || j > firstFailed.load()) return;
      try {
        runJob(worker, jobs[j]);
      } catch (...) {
        failures[j] = std::current_exception();
        std::size_t first = firstFailed.load();
        while (j < first && !firstFailed.compare_exchange_weak(first, j)) {
        }
      }
    }
  };
  // The calling thread is one of the workers.
  std::vector<std::thread> threads;
  try {
    for (std::size_t w = 1; w < workers; ++w) {
      threads.push_back(startQuietThread([&work, w] { work(w); }));
    }
  } catch (...) {
    firstFailed.store(0);  // no more threads: the ones started end soon
    for (std::thread& thread : threads) thread.join();
    throw ZtaError(ErrorCode::kInternal, "Cannot start a thread for the server's requests");
  }
  work(0);
  for (std::thread& thread : threads) thread.join();
  for (const std::exception_ptr& failure : failures) {
    if (!failure) continue;
    // The texts before the first one not done keep their translations:
    // each came whole from an answer of its own (all pieces of it), or
    // from its place in a packed answer that held every line.
    std::size_t kept = 0;
    while (kept < texts.size() && done[kept] != 0) ++kept;
    translations.resize(kept);
    try {
      std::rethrow_exception(failure);
    } catch (const ZtaError& error) {
      throw PartialBatchError(error, std::move(translations));
    }
  }
  return translations;
}

}  // namespace zta
