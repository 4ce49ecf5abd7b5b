#include "host/commands.h"

#include <stdexcept>

#include "host/json_codec.h"
#include "host/records.h"
#include "host/scenario.h"
#include "hostutil/files.h"
#include "platform/platform.h"
#include "runtime/host_error.h"
#include "runtime/memtable.h"

namespace ecf {
namespace {

// Command-line texts are UTF-8; paths inside are Windows-1252. A name that
// has no Windows-1252 spelling cannot reach the driver's files: refused
// rather than taken as another file ('?' in place of what is missing).
std::string PathArg(const std::string& utf8) {
  std::string path = FromJsonText(utf8);
  if (ToJsonText(path) != utf8) {
    throw std::invalid_argument("the name \"" + utf8 +
                                "\" cannot be written in Windows-1252, the driver's encoding");
  }
  return path;
}

}  // namespace

std::string CommandUsage(const std::string& command) {
  if (command == "demo") {
    return "usage: ecf demo [--home DIR] [--interactive]\n"
           "  A business day on the simulated printer through the driver: start and loads,\n"
           "  sales, documents, the fiscal menu, readings and the Z; the tape as it prints.\n"
           "  --home DIR      keep the host folder (printer, tape, log, records) in DIR\n"
           "  --interactive   ask the operator's questions on the terminal\n";
  }
  if (command == "run") {
    return "usage: ecf run [--exit-zero] SCENARIO.json\n"
           "  Host calls from a scenario file, one JSON line per step, then a line with the\n"
           "  paths of the tape, the debug log, the host folder and the records.\n"
           "  {\"home\": DIR, \"clock\": \"2026-12-10T10:00:00\", \"printer\": {KEY: VALUE},\n"
           "   \"answers\": [true, false], \"steps\": [{\"call\": NAME, \"args\": [...]}]}\n"
           "  Every step is checked before any runs. Exit status: 0 when every step ran,\n"
           "  1 when a step raised an error (a summary line on the error output), 2 for a\n"
           "  scenario that cannot run. --exit-zero: 0 also when a step raised an error.\n";
  }
  if (command == "table") {
    return "usage: ecf table FILE [--save OTHER]\n"
           "  A data-packet file (binary or XML) as JSON; --save writes it again in the\n"
           "  format OTHER's extension names (.xml XML, otherwise binary).\n";
  }
  if (command == "documents") {
    return "usage: ecf documents HOME\n"
           "  The host's records of printed documents in the host folder HOME, one JSON line\n"
           "  each.\n";
  }
  if (command == "serve") {
    return "usage: ecf serve [--home DIR] [--port N] [--clock 2026-12-10T10:00:00]\n"
           "                 [--printer KEY=VALUE ...] [--token-file FILE]\n"
           "  The driver as a local JSON service on 127.0.0.1 (default port 8019), and a\n"
           "  page showing the paper tape. See the README for its requests.\n";
  }
  return "";
}

int TableCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string file, save;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--save" && i + 1 < args.size()) {
      save = args[++i];
    } else if (file.empty() && args[i].rfind("--", 0) != 0) {
      file = args[i];
    } else {
      err << CommandUsage("table");
      return 2;
    }
  }
  if (file.empty()) {
    err << CommandUsage("table");
    return 2;
  }
  try {
    // The file is read by the name the file system gives it.
    std::string packet;
    if (!zel::platform::Native().ReadWholeFileByNativeName(file, &packet)) {
      err << "ecf table: cannot read " << file << ": " << zel::platform::Native().LastErrorText()
          << "\n";
      return 1;
    }
    const std::string save_path = save.empty() ? std::string() : PathArg(save);
    zel::MemTable table;
    table.LoadFromString(packet);
    out << EncodeTable(table).dump(2) << "\n";
    if (!save.empty()) zel::SaveTableToFile(table, save_path);
  } catch (const zel::HostError& e) {
    err << "ecf table: " << file << ": " << ToJsonText(e.what()) << "\n";
    return 1;
  } catch (const std::invalid_argument& e) {
    err << "ecf table: " << e.what() << "\n";
    return 2;
  }
  return 0;
}

int RunCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  bool exit_zero = false;
  std::string file;
  for (const std::string& arg : args) {
    if (arg == "--exit-zero") {
      exit_zero = true;
    } else if (file.empty() && (arg.rfind("--", 0) != 0 || arg == "--")) {
      file = arg;
    } else {
      err << CommandUsage("run");
      return 2;
    }
  }
  if (file.empty()) {
    err << CommandUsage("run");
    return 2;
  }
  std::string text;
  if (!zel::platform::Native().ReadWholeFileByNativeName(file, &text)) {
    err << "ecf run: cannot read " << file << ": " << zel::platform::Native().LastErrorText()
        << "\n";
    return 2;
  }
  Json scenario;
  try {
    scenario = ParseScenario(text);
  } catch (const Json::parse_error& e) {
    err << "ecf run: " << file << " is not valid JSON: " << e.what() << "\n";
    return 2;
  } catch (const ScenarioError& e) {
    err << "ecf run: " << file << ": " << e.what() << "\n";
    return 2;
  }
  // The steps that raised an error, for the summary and the exit status.
  std::vector<std::string> raised;
  int steps = 0;
  try {
    RunScenario(scenario, [&](const Json& line) {
      out << line.dump() << "\n" << std::flush;
      if (!line.contains("step")) return;
      ++steps;
      if (line.contains("exception")) {
        raised.push_back("step " + line["step"].dump() + " (" +
                         line.value("call", std::string()) + "): " +
                         line["exception"].get<std::string>());
      }
    });
  } catch (const ScenarioError& e) {
    err << "ecf run: " << e.what() << "\n";
    return 2;
  } catch (const std::exception& e) {
    err << "ecf run: " << e.what() << "\n";
    return 1;
  }
  if (raised.empty()) return 0;
  err << "ecf run: " << raised.size() << " of " << steps << " steps raised an error:\n";
  for (const std::string& step : raised) err << "  " << step << "\n";
  return exit_zero ? 0 : 1;
}

int DocumentsCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 1) {
    err << CommandUsage("documents");
    return 2;
  }
  try {
    const std::string home = PathArg(args[0]);
    // Only shown, never made: a folder without records (a typing error, a
    // host that never ran there) is said to be so and left as it is.
    if (!zel::platform::Native().DirectoryExists(home)) {
      err << "ecf documents: no such folder: " << args[0] << "\n";
      return 1;
    }
    if (!zel::platform::Native().FileExists(RecordStorePath(home))) {
      err << "ecf documents: no host records in " << args[0] << " (no "
          << ToJsonText(RecordStorePath(home)) << ")\n";
      return 1;
    }
    RecordStore store(RecordStorePath(home), RecordStore::Mode::kReadExisting);
    for (const auto& r : store.All()) {
      Json line = {{"id", r.id},
                   {"service", r.service},
                   {"type", r.doc_type},
                   {"key", r.doc_key},
                   {"coo", r.receipt_number},
                   {"gnf", r.non_fiscal_ops},
                   {"grg", r.report_counter},
                   {"cdc", r.slip_counter},
                   {"extra", r.extra},
                   {"recorded_at", r.recorded_at},
                   {"movement_date", r.movement_date}};
      out << line.dump() << "\n";
    }
  } catch (const std::exception& e) {
    err << "ecf documents: " << e.what() << "\n";
    return 1;
  }
  return 0;
}

}  // namespace ecf
