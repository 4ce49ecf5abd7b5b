#include "host/commands.h"

#include "host/json_codec.h"
#include "host/records.h"
#include "host/scenario.h"
#include "hostutil/files.h"
#include "platform/platform.h"
#include "runtime/host_error.h"
#include "runtime/memtable.h"

namespace ecf {
namespace {

// Command-line texts are UTF-8; paths inside are Windows-1252.
std::string PathArg(const std::string& utf8) { return FromJsonText(utf8); }

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
    zel::MemTable table;
    zel::LoadTableFromFile(table, PathArg(file));
    out << EncodeTable(table).dump(2) << "\n";
    if (!save.empty()) zel::SaveTableToFile(table, PathArg(save));
  } catch (const zel::HostError& e) {
    err << "ecf table: " << file << ": " << ToJsonText(e.what()) << "\n";
    return 1;
  }
  return 0;
}

int RunCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 1) {
    err << "usage: ecf run SCENARIO.json\n";
    return 2;
  }
  std::string text;
  if (!zel::platform::Native().ReadWholeFile(PathArg(args[0]), &text)) {
    err << "ecf run: cannot read " << args[0] << "\n";
    return 2;
  }
  Json scenario;
  try {
    scenario = Json::parse(text);
  } catch (const Json::parse_error& e) {
    err << "ecf run: " << args[0] << " is not valid JSON: " << e.what() << "\n";
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
    RecordStore store(RecordStorePath(PathArg(args[0])));
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
