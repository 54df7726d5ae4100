#pragma once

#include <curl/curl.h>

#include <string>

namespace quorvel {

// Points a curl handle at a named proxy ("host[:port]", an optional scheme in
// front). A proxy named without a port is reached on port 80, as an HTTP
// server is; curl would otherwise pick 1080. Every request kind of the layer
// sets its proxy here, so they all reach the same place. Internal to the
// internet layer. False when curl refuses an option.
bool SetCurlProxy(CURL* easy, const std::string& proxy);

} // namespace quorvel
