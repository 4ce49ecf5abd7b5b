// What `ecf serve` refuses before it looks at a request: the service drives
// a fiscal printer, so only the till's own programs may reach it, never a
// web page open in the till's browser.
//
// - The Host header must name the loopback address or "localhost" with the
//   service's port: a name of another site that resolves to 127.0.0.1 (DNS
//   rebinding) is refused, so no page can read the tape through it.
// - A request that carries an Origin other than the service's own page's is
//   refused, and so is every cross-origin preflight (OPTIONS): the service
//   grants no page of another origin anything.
// - Requests that change anything (every method but GET and HEAD) must say
//   Content-Type: application/json, which a browser sends cross-site only
//   after a preflight; a page's plain form post is refused unread.
// - With an access token, every request but the page itself must carry
//   "Authorization: Bearer TOKEN".
#pragma once

#include <optional>
#include <string>

namespace ecf {

struct RequestFacts {
  std::string method;
  std::string path;
  std::string host;           // the Host header ("" when missing)
  std::string origin;         // the Origin header ("" when missing)
  std::string content_type;   // the Content-Type header
  std::string authorization;  // the Authorization header
};

struct Refusal {
  int status;  // 403 for a foreign request, 401 for a missing or wrong token
  std::string message;
};

// Why the request is refused, or nothing when it may go on. `token` empty:
// no token is asked.
std::optional<Refusal> CheckRequest(const RequestFacts& request, int port,
                                    const std::string& token);

// The token of a token file: its text without the blanks and line breaks
// around it. Empty when there is none.
std::string TokenFromFile(const std::string& text);

}  // namespace ecf
