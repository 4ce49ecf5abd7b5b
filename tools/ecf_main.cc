// ecf: the reference host of the fiscal-printer driver.
#include <iostream>
#include <string>
#include <vector>

#include "host/commands.h"

namespace {

constexpr const char* kUsage =
    "usage: ecf COMMAND [ARGS]      (ecf COMMAND --help for one command)\n"
    "  demo [--home DIR] [--interactive]  a business day on the simulated printer\n"
    "  run [--exit-zero] SCENARIO.json    host calls from a scenario, one JSON line per step\n"
    "  table FILE [--save OTHER]          a data-packet file (.cds or .xml) as JSON\n"
    "  documents HOME                     the host's records of printed documents\n"
    "  serve [--home DIR] [--port N]      the driver as a local JSON service, and a page\n"
    "                                     showing the paper tape (http://127.0.0.1:8019/)\n"
    "  --version                          the program's version\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << kUsage;
    return 2;
  }
  const std::string command = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "--version" || command == "version") {
    std::cout << "ecf " << ECF_VERSION << "\n";
    return 0;
  }
  if (command == "help" || command == "--help" || command == "-h") {
    const std::string usage = args.empty() ? "" : ecf::CommandUsage(args[0]);
    std::cout << (usage.empty() ? kUsage : usage);
    return 0;
  }
  // `ecf COMMAND --help` anywhere among its arguments.
  const std::string usage = ecf::CommandUsage(command);
  for (const std::string& arg : args) {
    if (!usage.empty() && (arg == "--help" || arg == "-h")) {
      std::cout << usage;
      return 0;
    }
  }
  if (command == "demo") return ecf::DemoCommand(args, std::cout, std::cerr);
  if (command == "run") return ecf::RunCommand(args, std::cout, std::cerr);
  if (command == "table") return ecf::TableCommand(args, std::cout, std::cerr);
  if (command == "serve") return ecf::ServeCommand(args, std::cout, std::cerr);
  if (command == "documents") return ecf::DocumentsCommand(args, std::cout, std::cerr);
  std::cerr << "ecf: unknown command \"" << command << "\"\n" << kUsage;
  return 2;
}
