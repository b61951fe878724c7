// The servers of ZTA_SERVER: one client per address, one breaker per server
// shared by every connection to it (ApyClient.h, ServerBreaker), the pairs
// each server listed, and the clients that send a batch with several
// requests in flight (ApyBatch.h). Which server takes a text: one with its
// pair, and once more another after a failure of the first.
#ifndef XLATE_LIBRARY_APERTIUM_SERVER_SERVER_POOL_H
#define XLATE_LIBRARY_APERTIUM_SERVER_SERVER_POOL_H

#include <cstddef>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "server/ApyBatch.h"
#include "server/ApyClient.h"
#include "server/ServerSettings.h"

namespace zta {

class ServerPool {
 public:
  // markUnknownWords and placeholders as ApyClient takes them.
  ServerPool(ServerSettings settings, bool markUnknownWords, bool placeholders);

  // One client per address of ZTA_SERVER, in its order, made on first use;
  // throws when an address is no server's address.
  std::vector<std::unique_ptr<ApyClient>>& servers();
  // The servers (indexes) that listed the pair; all of them when none did.
  std::vector<std::size_t> serversWithPair(const std::string& modeName);
  // "The translation server http://a:2737 has" or "The translation servers
  // http://a:2737, http://b:2737 have", for error texts.
  std::string serversHave();
  // The mode names of the pairs of every server that answers; a server that
  // does not keeps the pairs it had (none, the first time), so that its
  // lines come back to it once it answers again. Only when none answers is
  // that a failure (the first server's).
  std::vector<std::string> readPairNames();
  // The translation of one text: on the server picked, and once more on
  // another with the pair when the first fails for a reason of its own.
  std::string translate(const std::string& modeName, std::string_view text);
  // The clients that send a batch's texts with several requests in flight.
  ApyBatchClient& batch();

  // The client of the first server, and the batch's clients, once made.
  const ApyClient* firstClient() const;
  const ApyBatchClient* batchClient() const { return batch_.get(); }

 private:
  std::unique_ptr<HttpTransport> makeTransport(const std::string& url);
  std::unique_ptr<ApyClient> makeClient(std::size_t server);

  ServerSettings settings_;
  bool markUnknownWords_;
  bool placeholders_;
  std::vector<std::unique_ptr<ApyClient>> servers_;
  std::vector<std::shared_ptr<ServerBreaker>> breakers_;  // one per server
  std::vector<std::set<std::string>> serverPairs_;        // mode names, per server
  std::size_t nextServer_ = 0;                            // where the pick starts
  std::unique_ptr<ApyBatchClient> batch_;
};

}  // namespace zta

#endif
