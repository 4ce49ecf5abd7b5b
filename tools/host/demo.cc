// ecf demo: a business day on the simulated printer, as a till operator
// would see it, step by step, then the paper tape.
#include <algorithm>
#include <iostream>

#include "demo_scenario.h"
#include "host/commands.h"
#include "host/json_codec.h"
#include "host/scenario.h"
#include "platform/platform.h"
#include "runtime/win1252.h"

namespace ecf {
namespace {

// The last reduction's figures from its result array (indexes fixed by the
// host interface) and its tax table.
void PrintLastReduction(const Json& arg, std::ostream& out) {
  if (IsTagged(arg, "array") && arg["array"].size() > 48 && arg["array"][0] != Json("")) {
    const Json& e = arg["array"];
    const auto text = [&](size_t i) {
      return e[i].is_string() ? e[i].get<std::string>() : e[i].dump();
    };
    out << "      CRZ " << text(0) << "  COO " << text(13) << "  movimento "
        << (IsTagged(e[3], "date") ? e[3]["date"].get<std::string>().substr(0, 10) : text(3))
        << "\n      venda bruta " << text(47) << "  venda liquida " << text(48) << "  GT "
        << text(25) << "\n      descontos " << text(33) << "  cancelamentos " << text(37)
        << "  acrescimos " << text(35) << "\n";
  } else if (IsTagged(arg, "table")) {
    for (const auto& row : arg["table"]["rows"]) {
      // Fields in the stored order: CDALIQIMPFIS, VRALIQIMPFIS, VRIMPOSTO, VRVENDIDO.
      out << "      aliquota " << row[0].get<std::string>() << " " << row[1].get<std::string>()
          << "%: vendido " << row[3].get<std::string>() << "  imposto " << row[2].get<std::string>()
          << "\n";
    }
  }
}

// One step as a line: number, operation, result, and the outputs worth
// reading (texts the operation filled in, bundles it wrote back).
void PrintStep(const Json& line, std::ostream& out) {
  const int number = line["step"].get<int>();
  const std::string call = line["call"].get<std::string>();
  out << (number < 10 ? " " : "") << number << ". " << call;
  for (size_t i = call.size(); i < 28; ++i) out << '.';
  if (line.contains("exception")) {
    out << " exception: " << line["exception"].get<std::string>() << "\n";
  } else {
    out << " " << (line["result"].is_null() ? std::string("done") : line["result"].dump()) << "\n";
  }
  for (const auto& arg : line["args"]) {
    if (IsTagged(arg, "params")) {
      for (const auto& [key, value] : arg["params"].items()) {
        if (key == "CUPNR" || key == "CONTCUPOM" || key == "MENSAGEMTAA" || key == "SERIEIMP" ||
            key == "NRCAIXA" || key == "DTMOVIMENTO") {
          if (!value.is_null() && value != Json(""))
            out << "      " << key << " = " << value.dump() << "\n";
        }
      }
    } else if (IsTagged(arg, "array") && call == "FechaCupom" && arg["array"].size() == 4) {
      out << "      result = " << arg.dump() << "\n";
    } else if (call == "DadosUltimaRedZ") {
      PrintLastReduction(arg, out);
    }
  }
  for (const auto& dialog : line["dialogs"]) {
    out << "      [dialog] " << dialog["text"].get<std::string>() << "\n";
  }
}

}  // namespace

int DemoCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Json scenario = Json::parse(kDemoScenario);
  bool interactive = false;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--home" && i + 1 < args.size()) {
      scenario["home"] = args[++i];
    } else if (args[i] == "--interactive") {
      interactive = true;
    } else {
      err << CommandUsage("demo");
      return 2;
    }
  }
  // A host folder used again keeps its tape: show only what this run printed.
  size_t printed_before = 0;
  if (scenario.contains("home")) {
    std::string earlier;
    const std::string home = FromJsonText(scenario["home"].get<std::string>());
    if (zel::platform::Native().ReadWholeFile(zel::platform::JoinPath(home, "bobina.txt"),
                                              &earlier)) {
      printed_before = earlier.size();
    }
  }
  out << "A business day on the simulated fiscal printer, through the driver.\n\n";
  Json paths;
  try {
    RunScenario(
        scenario,
        [&](const Json& line) {
          if (line.contains("step")) {
            PrintStep(line, out);
          } else {
            paths = line;
          }
        },
        interactive);
  } catch (const std::exception& e) {
    err << "ecf demo: " << e.what() << "\n";
    return 1;
  }
  std::string tape;
  zel::platform::Native().ReadWholeFile(FromJsonText(paths["tape"].get<std::string>()), &tape);
  out << "\n---- paper tape (" << paths["tape"].get<std::string>() << ") ----\n"
      << tape.substr(std::min(printed_before, tape.size())) << "---- end of tape ----\n\n"
      << "debug log:    " << paths["log"].get<std::string>() << "\n"
      << "host records: " << paths["records"].get<std::string>() << "  (ecf documents "
      << paths["home"].get<std::string>() << ")\n"
      << "host folder:  " << paths["home"].get<std::string>() << "\n"
      << "fiscal menu:  " << paths["home"].get<std::string>()
      << "/Dados/MenuFiscal (signed reading LMFS_*.txt, MFD text *.MFD.txt, Ato_Cotepe.txt)\n"
      << "              " << paths["home"].get<std::string>()
      << "/MenuFiscal (MFD mirror Espelho_MFD_*.txt)\n";
  return 0;
}

}  // namespace ecf
