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

int TableCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string file, save;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--save" && i + 1 < args.size()) {
      save = args[++i];
    } else if (file.empty() && args[i].rfind("--", 0) != 0) {
      file = args[i];
    } else {
      err << "usage: ecf table FILE [--save OTHER]\n";
      return 2;
    }
  }
  if (file.empty()) {
    err << "usage: ecf table FILE [--save OTHER]\n";
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
  if (args.size() != 1) {
    err << "usage: ecf run SCENARIO.json\n";
    return 2;
  }
  std::string text;
  if (!zel::platform::Native().ReadWholeFileByNativeName(args[0], &text)) {
    err << "ecf run: cannot read " << args[0] << ": " << zel::platform::Native().LastErrorText()
        << "\n";
    return 2;
  }
  Json scenario;
  try {
    scenario = ParseScenario(text);
  } catch (const Json::parse_error& e) {
    err << "ecf run: " << args[0] << " is not valid JSON: " << e.what() << "\n";
    return 2;
  } catch (const ScenarioError& e) {
    err << "ecf run: " << args[0] << ": " << e.what() << "\n";
    return 2;
  }
  try {
    RunScenario(scenario, out);
  } catch (const ScenarioError& e) {
    err << "ecf run: " << e.what() << "\n";
    return 2;
  } catch (const std::exception& e) {
    err << "ecf run: " << e.what() << "\n";
    return 1;
  }
  return 0;
}

int DocumentsCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 1) {
    err << "usage: ecf documents HOME\n";
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
