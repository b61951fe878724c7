// The texts of a batch through an Apertium APY server with several requests
// in flight, each on a connection of its own: while the server translates
// one text, the next ones are already on their way, and a server with
// several pipelines translates several at once.
//
// Each text goes as ApyClient::translate sends it alone (long texts in
// pieces of about 3 KB, one request each), so each translation is the one
// that text gets alone. Several lines are never joined into one request:
// APY translates the lines of one text as one stream, and words move from
// one line into the next ("Look at the big" and "house and the dog." give
// "Cariz en la casa" and "grande y el perro.").
#ifndef XLATE_LIBRARY_APERTIUM_APY_BATCH_H
#define XLATE_LIBRARY_APERTIUM_APY_BATCH_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ApyClient.h"

namespace zta {

class ApyBatchClient {
 public:
  // Makes one client with a connection of its own; throws ZtaError when it
  // cannot.
  using ClientFactory = std::function<std::unique_ptr<ApyClient>()>;

  // At most inFlight requests at once (at least 1); clients are made as
  // they are needed and kept for later batches.
  ApyBatchClient(std::size_t inFlight, ClientFactory makeClient);
  ~ApyBatchClient();
  ApyBatchClient(const ApyBatchClient&) = delete;
  ApyBatchClient& operator=(const ApyBatchClient&) = delete;

  // The translations of texts by the server's pair modeName ("eng-spa"), in
  // order. When a text fails, no more are sent, and the failure of the
  // first failed text is thrown as a PartialBatchError that holds the
  // translations of the texts before the first one not translated.
  std::vector<std::string> translate(const std::string& modeName,
                                     const std::vector<std::string_view>& texts);

  // How many clients (connections) there are, and their requests so far.
  std::size_t clientCount() const { return clients_.size(); }
  std::uint64_t translateRequests() const;

 private:
  std::size_t inFlight_;
  ClientFactory makeClient_;
  std::vector<std::unique_ptr<ApyClient>> clients_;
};

}  // namespace zta

#endif
