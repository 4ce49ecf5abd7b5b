#include "host/scenario.h"

#include "host/operations.h"
#include "host/session.h"
#include "runtime/host_error.h"

namespace ecf {
namespace {

SessionOptions OptionsOf(const Json& scenario) {
  SessionOptions options;
  if (scenario.contains("home")) {
    if (!scenario["home"].is_string()) throw ScenarioError("\"home\" must be a text");
    const std::string home = scenario["home"].get<std::string>();
    options.home = FromJsonText(home);
    if (ToJsonText(options.home) != home) {
      throw ScenarioError("\"home\": the folder name \"" + home +
                          "\" cannot be written in Windows-1252, the driver's encoding");
    }
  }
  if (scenario.contains("clock")) {
    if (!scenario["clock"].is_string()) throw ScenarioError("\"clock\" must be a text");
    try {
      options.clock = ParseIsoDateTime(scenario["clock"].get<std::string>());
    } catch (const EncodingError& e) {
      throw ScenarioError(std::string("clock: ") + e.what());
    }
  }
  if (scenario.contains("printer")) {
    if (!scenario["printer"].is_object()) throw ScenarioError("\"printer\" must be an object");
    for (const auto& [key, value] : scenario["printer"].items()) {
      if (value.is_string()) {
        options.printer[key] = FromJsonText(value.get<std::string>());
      } else if (value.is_number() || value.is_boolean()) {
        options.printer[key] = value.is_boolean() ? (value.get<bool>() ? "1" : "0") : value.dump();
      } else {
        throw ScenarioError("printer key " + key + ": the value must be a text or a number");
      }
    }
  }
  return options;
}

Json DialogsJson(const std::vector<Dialog>& dialogs) {
  Json list = Json::array();
  for (const auto& d : dialogs) {
    list.push_back({{"text", ToJsonText(d.text)},
                    {"kind", d.kind},
                    {"question", d.question},
                    {"answer", d.answer}});
  }
  return list;
}

// The keys a scenario and its steps may hold: anything else is most likely
// a typing error ("clok") that would otherwise be ignored without a word.
void CheckKeys(const Json& object, std::initializer_list<const char*> known,
               const std::string& where) {
  for (const auto& [key, value] : object.items()) {
    bool found = false;
    for (const char* k : known) found = found || key == k;
    if (!found) {
      std::string list;
      for (const char* k : known) list += std::string(list.empty() ? "" : ", ") + "\"" + k + "\"";
      throw ScenarioError(where + ": unknown key \"" + key + "\" (known: " + list + ")");
    }
  }
}

std::string TooDeep(const std::string& where) {
  return where + ": nested deeper than " + std::to_string(kMaxScenarioDepth) + " levels";
}

}  // namespace

Json ParseScenario(const std::string& text) {
  // The parser reports each object or array as it starts, at the depth of
  // its parent; the elements of the top-level "steps" array start at depth
  // 2, which counts the steps for the message.
  bool in_steps = false;
  int step = 0;
  auto check = [&](int depth, Json::parse_event_t event, Json& parsed) {
    using Event = Json::parse_event_t;
    if (event == Event::key && depth == 1) in_steps = parsed == "steps";
    bool starts = event == Event::object_start || event == Event::array_start;
    if (in_steps && depth == 2 && (starts || event == Event::value)) ++step;
    if (starts && depth >= kMaxScenarioDepth) {
      throw ScenarioError(
          TooDeep(in_steps && step > 0 ? "step " + std::to_string(step) : "the scenario"));
    }
    return true;
  };
  return Json::parse(text, check);
}

std::deque<bool> AnswersOf(const Json& scenario) {
  std::deque<bool> answers;
  if (!scenario.contains("answers")) return answers;
  if (!scenario["answers"].is_array()) throw ScenarioError("\"answers\" must be an array");
  for (const auto& a : scenario["answers"]) {
    if (!a.is_boolean()) throw ScenarioError("\"answers\" must hold true or false");
    answers.push_back(a.get<bool>());
  }
  return answers;
}

void CheckStep(const Json& step, int number) {
  const std::string where = "step " + std::to_string(number);
  if (!step.is_object() || !step.contains("call") || !step["call"].is_string()) {
    throw ScenarioError(where + ": a step needs \"call\": \"OperationName\"");
  }
  const std::string call = step["call"].get<std::string>();
  try {
    FindOperation(call).check(step.contains("args") ? step["args"] : Json::array());
  } catch (const CallError& e) {
    throw ScenarioError(where + " (" + call + "): " + e.what());
  } catch (const EncodingError& e) {
    throw ScenarioError(where + " (" + call + "): " + e.what());
  }
}

Json RunStep(HostSession& session, const Json& step, int number) {
  const std::string where = "step " + std::to_string(number);
  // A scenario read from a file is measured by ParseScenario; one built
  // elsewhere (a service request) is measured here, before anything copies it.
  if (NestingDepth(step) > kMaxScenarioDepth - 2) throw ScenarioError(TooDeep(where));
  if (!step.is_object() || !step.contains("call") || !step["call"].is_string()) {
    throw ScenarioError(where + ": a step needs \"call\": \"OperationName\"");
  }
  const std::string call = step["call"].get<std::string>();
  const Json args = step.contains("args") ? step["args"] : Json::array();
  Json line = {{"step", number}, {"call", call}};
  try {
    const Operation& operation = FindOperation(call);
    if (operation.needs_printer && !DriverStarted()) {
      operation.check(args);
      // The driver calls its entry points without checking them; a host
      // that calls it before a successful start gets an access violation.
      // Reported as the exception a host would catch, not a crash.
      throw zel::HostError(
          "Access violation: the driver is not started (call StartImpFiscal first)");
    }
    const CallOutcome outcome = operation.invoke(args);
    line["result"] = outcome.result;
    line["args"] = outcome.args;
  } catch (const CallError& e) {
    throw ScenarioError(where + " (" + call + "): " + e.what());
  } catch (const EncodingError& e) {
    throw ScenarioError(where + " (" + call + "): " + e.what());
  } catch (const zel::HostError& e) {
    line["result"] = nullptr;
    line["args"] = args;
    line["exception"] = ToJsonText(e.what());
  }
  line["dialogs"] = DialogsJson(session.TakeDialogs());
  // The document is finished: records that could not be written during it
  // are written now, or reported.
  const std::vector<std::string> record_errors = session.FlushRecords();
  if (!record_errors.empty()) {
    Json errors = Json::array();
    for (const std::string& error : record_errors) errors.push_back(ToJsonText(error));
    line["record_errors"] = errors;
  }
  return line;
}

void RunScenario(const Json& scenario, const StepSink& sink, bool interactive) {
  if (!scenario.is_object()) throw ScenarioError("a scenario must be a JSON object");
  if (!scenario.contains("steps") || !scenario["steps"].is_array()) {
    throw ScenarioError("a scenario needs \"steps\": [...]");
  }
  CheckKeys(scenario, {"home", "clock", "printer", "answers", "steps"}, "the scenario");
  SessionOptions options = OptionsOf(scenario);
  options.interactive = interactive;
  // Every step is checked before any runs: a malformed step never leaves
  // the printer half-way through a document.
  int checked = 0;
  for (const auto& step : scenario["steps"]) {
    const std::string where = "step " + std::to_string(++checked);
    // Measured before anything decodes (and so recurses into) it.
    if (NestingDepth(step) > kMaxScenarioDepth - 2) throw ScenarioError(TooDeep(where));
    if (step.is_object()) CheckKeys(step, {"call", "args"}, where);
    CheckStep(step, checked);
  }
  HostSession session(options);
  session.SetAnswers(AnswersOf(scenario));

  int number = 0;
  for (const auto& step : scenario["steps"]) sink(RunStep(session, step, ++number));
  Json paths = {{"tape", ToJsonText(session.TapePath())},
                {"log", ToJsonText(session.LogPath())},
                {"home", ToJsonText(session.home())},
                {"records", ToJsonText(RecordStorePath(session.home()))}};
  sink(paths);
}

void RunScenario(const Json& scenario, std::ostream& out) {
  RunScenario(scenario, [&out](const Json& line) { out << line.dump() << "\n" << std::flush; });
}

}  // namespace ecf
