// The settings of the server engine (ServerEngine.h): the servers'
// addresses, the limits of a request, and how many a batch keeps in flight.
// LibrarySettings.h says which environment variable sets which.
#ifndef XLATE_LIBRARY_APERTIUM_SERVER_SERVER_SETTINGS_H
#define XLATE_LIBRARY_APERTIUM_SERVER_SERVER_SETTINGS_H

#include <functional>
#include <memory>
#include <string>

#include "engine/KitNames.h"

namespace zta {

// Makes the transport for server mode, or returns nothing with a reason in
// *error.
using TransportFactory =
    std::function<std::unique_ptr<HttpTransport>(const HttpLimits& limits, std::string* error)>;

struct ServerSettings {
  std::string serverUrl;  // ZTA_SERVER as it is (ApyClient.h splits it); empty: local chains
  HttpLimits serverLimits;
  unsigned serverRequests = 4;        // requests in flight for a batch
  TransportFactory transportFactory;  // empty: makeHttpTransport
};

}  // namespace zta

#endif
