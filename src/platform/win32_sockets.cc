// Options of the local service's listening socket on Windows.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/platform.h"

namespace zel::platform {

void SetListenSocketOptions(std::uintptr_t socket) {
  const SOCKET s = static_cast<SOCKET>(socket);
  const BOOL yes = TRUE;
  setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes), sizeof yes);
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&yes), sizeof yes);
}

bool WidenListenBacklog(std::uintptr_t socket, int backlog) {
  return listen(static_cast<SOCKET>(socket), backlog) == 0;
}

}  // namespace zel::platform
