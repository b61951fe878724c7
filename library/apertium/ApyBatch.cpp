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
  // the failures are kept by text, so that the first one in order counts.
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  std::vector<std::exception_ptr> failures(texts.size());
  const auto work = [&](ApyClient& client) {
    for (;;) {
      const std::size_t i = next.fetch_add(1);
      if (i >= texts.size() || failed.load()) return;
      try {
        translations[i] = client.translate(modeName, texts[i]);
      } catch (...) {
        failures[i] = std::current_exception();
        failed.store(true);
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
    failed.store(true);  // no more threads: the ones started end soon
    for (std::thread& thread : threads) thread.join();
    throw ZtaError(ErrorCode::kInternal, "Cannot start a thread for the server's requests");
  }
  work(*clients_[0]);
  for (std::thread& thread : threads) thread.join();
  for (const std::exception_ptr& failure : failures) {
    if (failure) std::rethrow_exception(failure);
  }
  return translations;
}

}  // namespace zta
