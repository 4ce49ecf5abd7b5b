#include "host/commands.h"

// Placeholder removed when the demo scenario lands.
namespace ecf {
int DemoCommand(const std::vector<std::string>&, std::ostream&, std::ostream& err) {
  err << "ecf demo: not available yet\n";
  return 1;
}
}  // namespace ecf
