// ecf: the reference host of the fiscal-printer driver.
#include <iostream>
#include <string>
#include <vector>

#include "host/commands.h"

namespace {

constexpr const char* kUsage =
    "usage: ecf COMMAND [ARGS]\n"
    "  demo [--home DIR] [--interactive]  a business day on the simulated printer\n"
    "  run SCENARIO.json                  host calls from a scenario, one JSON line per step\n"
    "  table FILE [--save OTHER]          a data-packet file (.cds or .xml) as JSON\n"
    "  documents HOME                     the host's records of printed documents\n"
    "  serve [--home DIR] [--port N]      the driver as a local JSON service, and a page\n"
    "                                     showing the paper tape (http://127.0.0.1:8019/)\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << kUsage;
    return 2;
  }
  const std::string command = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "demo") return ecf::DemoCommand(args, std::cout, std::cerr);
  if (command == "run") return ecf::RunCommand(args, std::cout, std::cerr);
  if (command == "table") return ecf::TableCommand(args, std::cout, std::cerr);
  if (command == "serve") return ecf::ServeCommand(args, std::cout, std::cerr);
  if (command == "documents") return ecf::DocumentsCommand(args, std::cout, std::cerr);
  if (command == "help" || command == "--help" || command == "-h") {
    std::cout << kUsage;
    return 0;
  }
  std::cerr << "ecf: unknown command \"" << command << "\"\n" << kUsage;
  return 2;
}
