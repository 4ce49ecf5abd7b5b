// Options of the local service's listening socket on POSIX.
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include "platform/platform.h"

namespace zel::platform {

void SetListenSocketOptions(std::uintptr_t socket) {
  const int fd = static_cast<int>(socket);
  const int yes = 1;
  // No SO_REUSEPORT: with it a second service could bind the same port and
  // share its connections.
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
}

bool WidenListenBacklog(std::uintptr_t socket, int backlog) {
  return listen(static_cast<int>(socket), backlog) == 0;
}

}  // namespace zel::platform
