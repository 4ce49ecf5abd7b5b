#include "host/request_guard.h"

#include <cstddef>

namespace ecf {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// "127.0.0.1:PORT" or "localhost:PORT" (any case); without the port only
// when it is 80, as a browser then sends it.
bool IsOwnHost(const std::string& host, int port) {
  const std::string name = Lower(host);
  const std::string suffix = ":" + std::to_string(port);
  for (const char* own : {"127.0.0.1", "localhost"}) {
    if (name == own + suffix || (port == 80 && name == own)) return true;
  }
  return false;
}

bool IsOwnOrigin(const std::string& origin, int port) {
  const std::string lowered = Lower(origin);
  const std::string prefix = "http://";
  return lowered.rfind(prefix, 0) == 0 && IsOwnHost(lowered.substr(prefix.size()), port);
}

// Compares without stopping at the first difference, so that the time taken
// tells nothing of the token.
bool SameSecret(const std::string& given, const std::string& token) {
  unsigned char difference = given.size() == token.size() ? 0 : 1;
  for (size_t i = 0; i < given.size(); ++i) {
    difference |= static_cast<unsigned char>(given[i] ^ token[i % token.size()]);
  }
  return difference == 0;
}

}  // namespace

std::optional<Refusal> CheckRequest(const RequestFacts& request, int port,
                                    const std::string& token) {
  if (!IsOwnHost(request.host, port)) {
    return Refusal{403, "refused: the Host of a request must be 127.0.0.1:" +
                            std::to_string(port) + " or localhost:" + std::to_string(port)};
  }
  if (!request.origin.empty() && !IsOwnOrigin(request.origin, port)) {
    return Refusal{403, "refused: requests from another web page's origin (" + request.origin +
                            ") are not served"};
  }
  if (request.method == "OPTIONS") {
    return Refusal{403, "refused: cross-origin requests are not served"};
  }
  const bool page = request.method == "GET" && request.path == "/";
  if (!token.empty() && !page) {
    const std::string scheme = "bearer ";
    const std::string& given = request.authorization;
    if (Lower(given.substr(0, scheme.size())) != scheme ||
        !SameSecret(Trimmed(given.substr(std::min(given.size(), scheme.size()))), token)) {
      return Refusal{401, "refused: this service needs its access token "
                          "(Authorization: Bearer TOKEN)"};
    }
  }
  if (request.method != "GET" && request.method != "HEAD") {
    const std::string type = Lower(Trimmed(request.content_type.substr(
        0, std::min(request.content_type.size(), request.content_type.find(';')))));
    if (type != "application/json") {
      return Refusal{403, "refused: send the request with Content-Type: application/json"};
    }
  }
  return std::nullopt;
}

std::string TokenFromFile(const std::string& text) { return Trimmed(text); }

}  // namespace ecf
