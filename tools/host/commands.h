// The subcommands of `ecf`. Each returns the process exit status and writes
// its output to `out` and its complaints to `err`.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace ecf {

// ecf table FILE [--save OTHER]: prints a data-packet file (binary or XML,
// told apart by content) as {"table": ...}; with --save writes it back out in
// the format OTHER's extension names (".xml" XML, otherwise binary).
int TableCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// ecf run SCENARIO.json
int RunCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// ecf documents [HOME]: the host's records of printed documents.
int DocumentsCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// ecf serve [--home DIR] [--port N] [--clock ISO] [--printer KEY=VALUE]: the
// driver as a local HTTP service until SIGINT or SIGTERM (server.cc).
int ServeCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// ecf demo [--home DIR] [--interactive]
int DemoCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The usage text of a subcommand ("" for an unknown one): what `ecf COMMAND
// --help` prints, and what a command prints with a wrong argument.
std::string CommandUsage(const std::string& command);

}  // namespace ecf
