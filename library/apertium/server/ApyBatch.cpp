#include "server/ApyBatch.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <optional>
#include <thread>

#include "engine/ZtaErrors.h"
#include "server/QuietThread.h"

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
                               ClientFactory makeClient)
    : inFlight_(std::max<std::size_t>(inFlight, 1)),
      breakers_(std::move(breakers)),
      makeClient_(std::move(makeClient)),
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

std::string ApyBatchClient::translateOne(std::size_t worker, const std::string& modeName,
                                         std::string_view text,
                                         const std::vector<std::size_t>& servers) {
  std::size_t failed = kNoServer;
  std::size_t start = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    start = nextStart_++;
  }
  std::optional<ServerBreaker::Clock::time_point> waitUntil;  // once the text waits
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
      std::string translation = client->translate(modeName, text, waitUntil.has_value());
      std::lock_guard<std::mutex> lock(mutex_);
      --inFlightByServer_[server];
      return translation;
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
      // Else the text waits for this one's pause to end and tries it again,
      // while the wait stays within its limit.
      if (!waitUntil) waitUntil = ServerBreaker::Clock::now() + client->waitLimit();
      if (!client->breaker().pauseEndsBy(*waitUntil, client->waitLimit())) throw;
    } catch (...) {
      std::lock_guard<std::mutex> lock(mutex_);
      --inFlightByServer_[server];
      throw;
    }
  }
}

std::vector<std::string> ApyBatchClient::translate(const std::string& modeName,
                                                   const std::vector<std::string_view>& texts,
                                                   const std::vector<std::size_t>& servers) {
  std::vector<std::string> translations(texts.size());
  if (texts.empty()) return translations;
  const std::size_t workers = std::min(inFlight_, texts.size());
  while (clients_.size() < workers) {
    clients_.emplace_back();
    clients_.back().resize(breakers_.size());
  }

  // Each worker takes the next text until none is left or one has failed;
  // a text taken before the first failed one is still translated, so that
  // every text up to that one has its translation. The failures are kept by
  // text, so that the first one in order counts.
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::atomic<std::size_t> next{0};
  std::atomic<std::size_t> firstFailed{kNone};
  std::vector<std::exception_ptr> failures(texts.size());
  std::vector<char> done(texts.size(), 0);  // whole answers only, each by one worker
  const auto work = [&](std::size_t worker) {
    for (;;) {
      const std::size_t i = next.fetch_add(1);
      if (i >= texts.size() || i > firstFailed.load()) return;
      try {
        translations[i] = translateOne(worker, modeName, texts[i], servers);
        done[i] = 1;
      } catch (...) {
        failures[i] = std::current_exception();
        std::size_t first = firstFailed.load();
        while (i < first && !firstFailed.compare_exchange_weak(first, i)) {
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
    // each came whole from an answer of its own (all pieces of it).
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
