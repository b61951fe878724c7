#include "server/ServerPool.h"

#include <exception>
#include <optional>
#include <utility>

#include "engine/KitNames.h"
#include "engine/ZtaErrors.h"

namespace zta {

ServerPool::ServerPool(ServerSettings settings, bool markUnknownWords, bool placeholders)
    : settings_(std::move(settings)),
      markUnknownWords_(markUnknownWords),
      placeholders_(placeholders) {}

std::unique_ptr<HttpTransport> ServerPool::makeTransport(const std::string& url) {
  std::string error;
  std::unique_ptr<HttpTransport> transport =
      settings_.transportFactory ? settings_.transportFactory(settings_.serverLimits, &error)
                                 : makeHttpTransport(settings_.serverLimits, &error);
  if (!transport) {
    throw ZtaError(ErrorCode::kEngineUnavailable,
                   "Cannot talk to the translation server " + url + ": " + error);
  }
  return transport;
}

std::vector<std::unique_ptr<ApyClient>>& ServerPool::servers() {
  if (!servers_.empty()) return servers_;
  std::vector<std::string> addresses = splitServerList(settings_.serverUrl);
  if (addresses.empty()) addresses.push_back(settings_.serverUrl);  // refused below
  // Every address is checked before any connection is made.
  std::vector<std::string> urls;
  for (const std::string& address : addresses) {
    std::string problem;
    urls.push_back(normalisedServerUrl(address, &problem));
    if (urls.back().empty()) {
      throw ZtaError(
          ErrorCode::kServerUnreachable,
          "ZTA_SERVER=\"" + asciiForMessage(addressForMessages(address), 80) + "\" " + problem);
    }
  }
  std::vector<std::unique_ptr<ApyClient>> made;
  std::vector<std::shared_ptr<ServerBreaker>> breakers;
  for (const std::string& url : urls) {
    std::unique_ptr<HttpTransport> transport = makeTransport(addressForMessages(url));
    breakers.push_back(std::make_shared<ServerBreaker>());
    made.push_back(std::make_unique<ApyClient>(url, std::move(transport), markUnknownWords_,
                                               settings_.serverLimits, breakers.back(),
                                               placeholders_));
  }
  breakers_ = std::move(breakers);
  servers_ = std::move(made);
  return servers_;
}

std::vector<std::size_t> ServerPool::serversWithPair(const std::string& modeName) {
  std::vector<std::size_t> found;
  std::vector<std::size_t> all;
  for (std::size_t server = 0; server < servers().size(); ++server) {
    all.push_back(server);
    if (server < serverPairs_.size() && serverPairs_[server].count(modeName) != 0) {
      found.push_back(server);
    }
  }
  return found.empty() ? all : found;
}

std::string ServerPool::serversHave() {
  if (servers().size() == 1) return "The translation server " + servers_.front()->url() + " has";
  std::string text = "The translation servers ";
  for (std::size_t server = 0; server < servers_.size(); ++server) {
    text += (server == 0 ? "" : ", ") + servers_[server]->url();
  }
  return text + " have";
}

std::vector<std::string> ServerPool::readPairNames() {
  std::vector<std::set<std::string>> pairs(servers().size());
  std::set<std::string> all;
  std::exception_ptr firstFailure;
  bool anyAnswered = false;
  for (std::size_t server = 0; server < servers_.size(); ++server) {
    try {
      for (std::string& name : servers_[server]->pairNames()) {
        all.insert(name);
        pairs[server].insert(std::move(name));
      }
      anyAnswered = true;
    } catch (const ZtaError&) {
      if (!firstFailure) firstFailure = std::current_exception();
      if (server < serverPairs_.size()) {
        pairs[server] = serverPairs_[server];
        all.insert(pairs[server].begin(), pairs[server].end());
      }
    }
  }
  if (!anyAnswered && firstFailure) std::rethrow_exception(firstFailure);
  serverPairs_ = std::move(pairs);
  return std::vector<std::string>(all.begin(), all.end());
}

std::string ServerPool::translate(const std::string& modeName, std::string_view text) {
  const std::vector<std::size_t> candidates = serversWithPair(modeName);
  const std::vector<std::size_t> idle(servers().size(), 0);  // one request at a time
  const std::size_t start = nextServer_++;
  std::size_t failed = kNoServer;
  std::optional<ServerBreaker::Clock::time_point> waitUntil;  // once the text waits
  for (;;) {
    const std::size_t server = pickServer(candidates, idle, breakers_, start, failed);
    ApyClient& client = *servers_[server];
    try {
      return client.translate(modeName, text, waitUntil.has_value());
    } catch (const ServerFailure&) {
      if (failed == kNoServer && candidates.size() >= 2) {
        failed = server;
        continue;
      }
      // No other server is left: the text waits for this one's pause to
      // end and tries it again, while the wait stays within its limit.
      if (!waitUntil) waitUntil = ServerBreaker::Clock::now() + client.waitLimit();
      if (!client.breaker().pauseEndsBy(*waitUntil, client.waitLimit())) throw;
    }
  }
}

std::unique_ptr<ApyClient> ServerPool::makeClient(std::size_t server) {
  const ApyClient& first = *servers().at(server);
  return std::make_unique<ApyClient>(first.requestUrl(), makeTransport(first.url()),
                                     markUnknownWords_, settings_.serverLimits,
                                     breakers_.at(server), placeholders_);
}

ApyBatchClient& ServerPool::batch() {
  if (!batch_) {
    servers();
    batch_ = std::make_unique<ApyBatchClient>(
        settings_.serverRequests, breakers_,
        [this](std::size_t server) { return makeClient(server); }, placeholders_);
  }
  return *batch_;
}

const ApyClient* ServerPool::firstClient() const {
  return servers_.empty() ? nullptr : servers_.front().get();
}

}  // namespace zta
