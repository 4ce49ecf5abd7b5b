// `ecf run`: a scenario of host calls against the driver, one JSON object
// per step on the output.
//
//   {"home": "...", "clock": "2026-12-10T10:00:00", "printer": {"Key": "value"},
//    "answers": [true, false],
//    "steps": [{"call": "StartImpFiscal", "args": [{"params": {...}}]}]}
//
// Each step prints {"step", "call", "result", "args", "dialogs"} and, when a
// host-runtime exception reached the host, "exception" (the run goes on, as a
// host's would after catching it). A last line gives the paths of the tape,
// the debug log, the host folder and the host's records.
#pragma once

#include <deque>
#include <functional>
#include <ostream>
#include <stdexcept>

#include "host/json_codec.h"

namespace ecf {

// A scenario that cannot run: malformed, an unknown operation, an argument
// of the wrong count or kind. The message names the step and the argument.
class ScenarioError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// How deep a scenario may nest (objects and arrays, the scenario itself
// being level 1). A host value is never nested more than a few levels; the
// limit keeps a damaged or hostile file from exhausting the stack.
inline constexpr int kMaxScenarioDepth = 64;

// The text of a scenario file as JSON. Throws ScenarioError (naming the step
// when the nesting is inside one) when it nests deeper than
// kMaxScenarioDepth, and Json::parse_error when it is not JSON.
Json ParseScenario(const std::string& text);

class HostSession;

// Receives each step's line, then the closing line with the paths.
using StepSink = std::function<void(const Json& line)>;

// Runs `scenario`, handing each line to `sink`. Every step is checked first
// (its keys, its operation, its arguments' count and kinds; the scenario's
// own keys): ScenarioError, naming the step, before anything runs. With `interactive`, the operator's
// questions are asked on the terminal instead of answered from "answers".
void RunScenario(const Json& scenario, const StepSink& sink, bool interactive = false);
// The same, one JSON object per line on `out`.
void RunScenario(const Json& scenario, std::ostream& out);

// The pieces of a run, for hosts that take steps one request at a time
// (`ecf serve`). AnswersOf reads "answers" of a scenario or request;
// CheckStep refuses, as RunStep would, a malformed step, an unknown
// operation or an argument of the wrong count or kind, without calling
// anything; RunStep calls the step in `session` and gives its output line.
std::deque<bool> AnswersOf(const Json& scenario);
void CheckStep(const Json& step, int number);
Json RunStep(HostSession& session, const Json& step, int number);

}  // namespace ecf
