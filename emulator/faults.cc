#include "emulator/faults.h"

#include <cstdlib>
#include <sstream>
#include <vector>

#include "emulator/amounts.h"

namespace zel::emu {
namespace {

std::vector<std::string> Words(std::string_view command) {
  std::vector<std::string> words;
  std::istringstream in{std::string(command)};
  std::string w;
  while (in >> w) words.push_back(w);
  return words;
}

bool ParseInt(const std::string& s, long long* out) {
  if (s.empty()) return false;
  char* end = nullptr;
  long long v = std::strtoll(s.c_str(), &end, 10);
  if (*end != '\0') return false;
  *out = v;
  return true;
}

bool IsStatusQuery(std::string_view entry) {
  return entry == "IBM_FI_RetornoImpressora" || entry == "IBM_FI_VerificaEstadoImpressora";
}

}  // namespace

bool ApplyFaultCommand(std::string_view command, PrinterMemory& memory, std::string* error) {
  std::vector<std::string> w = Words(command);
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (w.empty()) return fail("empty command");
  std::string verb = Upper(w[0]);
  Faults& f = memory.faults;
  if (verb == "POWER" && w.size() == 2) {
    std::string v = Upper(w[1]);
    if (v != "ON" && v != "OFF") return fail("power on|off");
    f.power_off = v == "OFF";
    return true;
  }
  if (verb == "PAPER" && w.size() == 2) {
    std::string v = Upper(w[1]);
    if (v == "NORMAL") {
      f.paper = PaperLevel::kNormal;
    } else if (v == "NEAR-END") {
      f.paper = PaperLevel::kNearEnd;
    } else if (v == "END") {
      f.paper = PaperLevel::kEnd;
    } else {
      return fail("paper normal|near-end|end");
    }
    return true;
  }
  if (verb == "CLOCK-SKEW" && w.size() == 2) {
    long long s = 0;
    if (!ParseInt(w[1][0] == '+' ? w[1].substr(1) : w[1], &s)) return fail("clock-skew seconds");
    f.clock_skew_seconds = s;
    return true;
  }
  if (verb == "DRAWER" && w.size() == 2) {
    std::string v = Upper(w[1]);
    if (v != "OPEN" && v != "CLOSED") return fail("drawer open|closed");
    memory.drawer_open = v == "OPEN";
    return true;
  }
  if (verb == "CLEAR" && w.size() == 1) {
    std::string armed = f.armed_from_ini;  // cleared faults stay cleared
    f = Faults{};
    f.armed_from_ini = armed;
    return true;
  }
  if (verb == "NAK" || verb == "FAIL" || verb == "DONE-NO-ANSWER") {
    PendingFault p;
    size_t i = 1;
    if (w.size() < 2) return fail("missing entry point");
    p.entry = (Upper(w[1]) == "NEXT" || w[1] == "*") ? "*" : w[1];
    ++i;
    if (verb == "FAIL") {
      long long code = 0;
      if (i >= w.size() || !ParseInt(w[i], &code)) return fail("fail <entry> <code> [nth N]");
      p.code = static_cast<int>(code);
      ++i;
    }
    if (i < w.size()) {
      long long n = 0;
      if (Upper(w[i]) != "NTH" || i + 2 != w.size() || !ParseInt(w[i + 1], &n) || n < 1) {
        return fail("expected nth N");
      }
      p.countdown = static_cast<int>(n);
    }
    p.kind = verb == "NAK"    ? PendingFault::Kind::kNak
             : verb == "FAIL" ? PendingFault::Kind::kFail
                              : PendingFault::Kind::kDoneNoAnswer;
    f.pending.push_back(p);
    return true;
  }
  return fail("unknown command");
}

std::optional<PendingFault> TakeFault(Faults& faults, std::string_view entry) {
  std::optional<PendingFault> fired;
  for (size_t i = 0; i < faults.pending.size();) {
    PendingFault& p = faults.pending[i];
    bool matches = p.entry == "*" ? !IsStatusQuery(entry) : SameName(p.entry, entry);
    if (matches && !fired && --p.countdown <= 0) {
      fired = p;
      faults.pending.erase(faults.pending.begin() + static_cast<std::ptrdiff_t>(i));
      continue;
    }
    if (matches && fired && p.countdown > 1) {
      // Counted as well: this call is one of its N.
      --p.countdown;
    }
    ++i;
  }
  return fired;
}

bool ArmIniFaults(std::string_view commands, PrinterMemory& memory) {
  if (commands == memory.faults.armed_from_ini) return false;
  memory.faults.armed_from_ini = std::string(commands);
  size_t start = 0;
  while (start <= commands.size()) {
    size_t end = commands.find(';', start);
    if (end == std::string_view::npos) end = commands.size();
    std::string_view command = commands.substr(start, end - start);
    if (command.find_first_not_of(" \t") != std::string_view::npos) {
      ApplyFaultCommand(command, memory, nullptr);
    }
    start = end + 1;
  }
  return true;
}

std::string DescribeFaults(const Faults& f) {
  std::string s;
  s += std::string("power ") + (f.power_off ? "off" : "on") + "\n";
  s += std::string("paper ") +
       (f.paper == PaperLevel::kNormal    ? "normal"
        : f.paper == PaperLevel::kNearEnd ? "near-end"
                                          : "end") +
       "\n";
  s += "clock-skew " + std::to_string(f.clock_skew_seconds) + "\n";
  for (const PendingFault& p : f.pending) {
    s += p.kind == PendingFault::Kind::kNak    ? "nak "
         : p.kind == PendingFault::Kind::kFail ? "fail "
                                               : "done-no-answer ";
    s += p.entry;
    if (p.kind == PendingFault::Kind::kFail) s += " " + std::to_string(p.code);
    s += " nth " + std::to_string(p.countdown) + "\n";
  }
  return s;
}

}  // namespace zel::emu
