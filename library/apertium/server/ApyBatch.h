// The texts of a batch through one or more Apertium APY servers with several
// requests in flight, each on a connection of its own: while a server
// translates one text, the next ones are already on their way, and a server
// with several pipelines (or several servers) translate several at once.
// Each text goes to the server with the pair that has the fewest requests in
// flight and is not paused; a text that fails there for a reason of that
// server (ServerFailure) is sent once more to another server with the pair.
//
// Lines are packed into requests of about 4 KB (LinePacks.h), each line
// still translated as the sentence it is alone: APY starts a deformatter and
// a reformatter for every request, which costs more than a line's
// translation. A line that cannot go packed (markup that is not a
// placeholder, a line break, a line longer than a piece) goes as
// ApyClient::translate sends it alone (long texts in pieces of about 3 KB,
// one request each), and so do the lines of a packed request whose answer
// cannot be taken apart line by line. Lines are never joined as plain text:
// APY translates the lines of one text as one stream, and words move from
// one line into the next ("Look at the big" and "house and the dog." give
// "Cariz en la casa" and "grande y el perro.").
#ifndef XLATE_LIBRARY_APERTIUM_APY_BATCH_H
#define XLATE_LIBRARY_APERTIUM_APY_BATCH_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "server/ApyClient.h"

namespace zta {

// Which of candidates (server indexes) takes the next request: among those
// whose breaker does not pause them (all of them when every one is paused)
// the one with the fewest requests in flight, the first from start on among
// equals. except is never picked; kNoServer when no other candidate is left.
constexpr std::size_t kNoServer = static_cast<std::size_t>(-1);
std::size_t pickServer(const std::vector<std::size_t>& candidates,
                       const std::vector<std::size_t>& inFlight,
                       const std::vector<std::shared_ptr<ServerBreaker>>& breakers,
                       std::size_t start, std::size_t except = kNoServer);

class ApyBatchClient {
 public:
  // Makes one client with a connection of its own to a server (its index
  // in the list), sharing that server's breaker; throws ZtaError when it
  // cannot.
  using ClientFactory = std::function<std::unique_ptr<ApyClient>(std::size_t server)>;

  // At most inFlight requests at once (at least 1) over the servers whose
  // breakers are given, one per server; clients are made as they are
  // needed and kept for later batches. A batch with packed requests keeps
  // at most two in flight per server, so that APY does not cut them
  // (LinePacks.h). placeholders as the clients take them.
  ApyBatchClient(std::size_t inFlight, std::vector<std::shared_ptr<ServerBreaker>> breakers,
                 ClientFactory makeClient, bool placeholders);
  ~ApyBatchClient();
  ApyBatchClient(const ApyBatchClient&) = delete;
  ApyBatchClient& operator=(const ApyBatchClient&) = delete;

  // The translations of texts by the pair modeName ("eng-spa") of the
  // servers given (indexes, those that have the pair), in order. When a
  // text fails, no more are sent, and the failure of the first failed text
  // is thrown as a PartialBatchError that holds the translations of the
  // texts before the first one not translated.
  std::vector<std::string> translate(const std::string& modeName,
                                     const std::vector<std::string_view>& texts,
                                     const std::vector<std::size_t>& servers);

  // How many clients (connections) there are, and their requests so far.
  std::size_t clientCount() const;
  std::uint64_t translateRequests() const;

 private:
  // What ask(client, waitIfPaused) gives with one of worker's clients: on
  // the server picked, and once more on another after a ServerFailure.
  template <typename Ask>
  auto askServer(std::size_t worker, const std::string& modeName,
                 const std::vector<std::size_t>& servers, const Ask& ask)
      -> decltype(ask(std::declval<ApyClient&>(), false));
  ApyClient& clientFor(std::size_t worker, std::size_t server);

  std::size_t inFlight_;
  std::vector<std::shared_ptr<ServerBreaker>> breakers_;
  ClientFactory makeClient_;
  bool placeholders_;
  std::mutex mutex_;                                              // guards the fields below
  std::vector<std::vector<std::unique_ptr<ApyClient>>> clients_;  // [worker][server]
  std::vector<std::size_t> inFlightByServer_;
  std::size_t nextStart_ = 0;
};

}  // namespace zta

#endif
