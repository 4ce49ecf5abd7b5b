#include "host/printer_control.h"

#include <cstdlib>
#include <sstream>

#include "host/service.h"

namespace ecf {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  std::istringstream in(text);
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  std::string word;
  while (in >> word) words.push_back(word);
  return words;
}

std::string RestAfterFirstWord(const std::string& line) {
  const size_t space = line.find(' ');
  return space == std::string::npos ? std::string() : line.substr(space + 1);
}

// "[Dinheiro] [Cartao Credito]" -> ["Dinheiro", "Cartao Credito"]; names may
// hold blanks, so the brackets delimit them.
Json Bracketed(const std::string& text) {
  Json names = Json::array();
  size_t at = 0;
  while ((at = text.find('[', at)) != std::string::npos) {
    const size_t end = text.find(']', at);
    if (end == std::string::npos) break;
    names.push_back(text.substr(at + 1, end - at - 1));
    at = end + 1;
  }
  return names;
}

}  // namespace

Json ParseStateText(const std::string& utf8) {
  Json state = Json::object();
  Json counters = Json::object();
  Json totals = Json::object();
  Json faults = {{"power", "on"}, {"paper", "normal"}, {"clock_skew", 0}};
  Json pending = Json::array();
  Json standing = Json::array();
  for (const std::string& line : Lines(utf8)) {
    const std::vector<std::string> w = Words(line);
    if (w.empty()) continue;
    const std::string& key = w[0];
    if (line.find("(IBMFI32.INI)") != std::string::npos) {
      standing.push_back(line);  // conditions set in the INI, not by a fault
    } else if (key == "printer") {
      state["printer"] = RestAfterFirstWord(line);
    } else if (key == "serial" && w.size() >= 6) {
      state["serial"] = w[1];
      state["ecf"] = w[3];
      state["firmware"] = w[5];
    } else if (key == "clock") {
      std::string clock = RestAfterFirstWord(line);
      const size_t dst = clock.find(" (daylight saving)");
      state["daylight_saving"] = dst != std::string::npos;
      state["clock"] = clock.substr(0, dst);
    } else if (key == "movement" && w.size() >= 4) {
      state["movement"] = w[1] == "-" ? Json(nullptr) : Json(w[1]);
      state["last_z"] = w[3] == "-" ? Json(nullptr) : Json(w[3]);
      state["z_pending"] = line.find(" z-pending") != std::string::npos;
      state["day_closed"] = line.find(" day-closed") != std::string::npos;
    } else if (key == "open" && w.size() >= 2) {
      state["open"] = w[1];
    } else if (key == "coo" || key == "crz") {
      for (size_t i = 0; i + 1 < w.size(); i += 2) counters[w[i]] = w[i + 1];
    } else if (key == "gt") {
      for (size_t i = 0; i + 1 < w.size(); i += 2) totals[w[i]] = w[i + 1];
    } else if (key == "rates") {
      state["rates"] = RestAfterFirstWord(line);
    } else if (key == "forms") {
      state["forms"] = Bracketed(line);
    } else if (key == "totalizers") {
      state["totalizers"] = Bracketed(line);
    } else if ((key == "power" || key == "paper") && w.size() >= 2) {
      faults[key] = w[1];
    } else if (key == "clock-skew" && w.size() >= 2) {
      faults["clock_skew"] = std::atoi(w[1].c_str());
    } else if (key == "nak" || key == "fail" || key == "done-no-answer") {
      pending.push_back(line);
    }
  }
  faults["pending"] = pending;
  faults["standing"] = standing;
  state["counters"] = counters;
  state["totals"] = totals;
  state["faults"] = faults;
  state["text"] = utf8;
  return state;
}

bool ParseFaultCommands(const std::string& body, std::vector<std::string>* commands,
                        std::string* error) {
  std::string trimmed = body;
  trimmed.erase(0, trimmed.find_first_not_of(" \t\r\n"));
  if (!trimmed.empty() && (trimmed[0] == '{' || trimmed[0] == '[')) {
    if (JsonDepth(trimmed) > Service::kMaxJsonDepth) {
      *error = "the request is nested too deeply";
      return false;
    }
    const Json json = Json::parse(trimmed, nullptr, false);
    if (json.is_discarded()) {
      *error = "the request is not valid JSON";
      return false;
    }
    Json list = json.is_object() && json.contains("commands")  ? json["commands"]
                : json.is_object() && json.contains("command") ? Json::array({json["command"]})
                                                               : json;
    if (!list.is_array()) {
      *error = "expected {\"command\": \"...\"} or {\"commands\": [...]}";
      return false;
    }
    for (const auto& c : list) {
      if (!c.is_string()) {
        *error = "each command must be a text";
        return false;
      }
      commands->push_back(c.get<std::string>());
    }
  } else {
    std::string command;
    for (char c : body) {
      if (c == '\n' || c == ';') {
        commands->push_back(command);
        command.clear();
      } else if (c != '\r') {
        command += c;
      }
    }
    commands->push_back(command);
  }
  std::vector<std::string> kept;
  for (auto& c : *commands) {
    const size_t first = c.find_first_not_of(" \t");
    if (first == std::string::npos) continue;
    kept.push_back(c.substr(first, c.find_last_not_of(" \t") - first + 1));
  }
  commands->swap(kept);
  if (commands->empty()) {
    *error = "no command (e.g. \"paper end\", \"nak next\", \"clear\")";
    return false;
  }
  return true;
}

}  // namespace ecf
