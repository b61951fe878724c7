#include "ApyBatch.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>

#include "QuietThread.h"
#include "ZtaErrors.h"

namespace zta {

ApyBatchClient::ApyBatchClient(std::size_t inFlight, ClientFactory makeClient)
    : inFlight_(std::max<std::size_t>(inFlight, 1)), makeClient_(std::move(makeClient)) {}

ApyBatchClient::~ApyBatchClient() = default;

std::uint64_t ApyBatchClient::translateRequests() const {
  std::uint64_t requests = 0;
  for (const auto& client : clients_) requests += client->translateRequests();
  return requests;
}

std::vector<std::string> ApyBatchClient::translate(const std::string& modeName,
                                                   const std::vector<std::string_view>& texts) {
  std::vector<std::string> translations(texts.size());
  if (texts.empty()) return translations;
  const std::size_t workers = std::min(inFlight_, texts.size());
  while (clients_.size() < workers) clients_.push_back(makeClient_());

  // Each worker takes the next text until none is left or one has failed;
  // a text taken before the first failed one is still translated, so that
  // every text up to that one has its translation. The failures are kept by
  // text, so that the first one in order counts.
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::atomic<std::size_t> next{0};
  std::atomic<std::size_t> firstFailed{kNone};
  std::vector<std::exception_ptr> failures(texts.size());
  std::vector<char> done(texts.size(), 0);  // whole answers only, each by one worker
  const auto work = [&](ApyClient& client) {
    for (;;) {
      const std::size_t i = next.fetch_add(1);
      if (i >= texts.size() || i > firstFailed.load()) return;
      try {
        translations[i] = client.translate(modeName, texts[i]);
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
      ApyClient* client = clients_[w].get();
      threads.push_back(startQuietThread([&work, client] { work(*client); }));
    }
  } catch (...) {
    firstFailed.store(0);  // no more threads: the ones started end soon
    for (std::thread& thread : threads) thread.join();
    throw ZtaError(ErrorCode::kInternal, "Cannot start a thread for the server's requests");
  }
  work(*clients_[0]);
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
