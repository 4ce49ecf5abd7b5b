// libFuzzer target: arbitrary bytes read as an `ecf run` scenario file. The
// reader must either refuse the text (not JSON, nested too deep, a step or
// an argument of the wrong form: Json::exception, ecf::ScenarioError) or
// read it; each step is then checked as a run checks it before calling the
// driver (the operation's name, its arguments' count and kinds, every host
// value decoded), without calling anything. Nothing may crash, overflow the
// stack or raise another exception.
#include <cstddef>
#include <cstdint>
#include <string>

#include "host/scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  ecf::Json scenario;
  try {
    scenario = ecf::ParseScenario(text);
  } catch (const ecf::Json::exception&) {
    return 0;
  } catch (const ecf::ScenarioError&) {
    return 0;
  }
  try {
    ecf::AnswersOf(scenario);
  } catch (const ecf::ScenarioError&) {
  }
  if (!scenario.is_object() || !scenario.contains("steps") || !scenario["steps"].is_array()) {
    return 0;
  }
  int number = 0;
  for (const ecf::Json& step : scenario["steps"]) {
    try {
      ecf::CheckStep(step, ++number);
    } catch (const ecf::ScenarioError&) {
    }
  }
  return 0;
}
