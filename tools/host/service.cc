#include "host/service.h"

#include <algorithm>
#include <chrono>
#include <sstream>
#include <vector>

#include "host/operations.h"
#include "host/printer_control.h"
#include "host/scenario.h"
#include "platform/platform.h"
#include "runtime/win1252.h"
#include "zel01900/zel01900.h"

namespace ecf {
namespace {

using zel::platform::JoinPath;

// Marks a printer command in progress for the tape watcher.
class Busy {
 public:
  explicit Busy(std::atomic<bool>& flag) : flag_(flag) { flag_ = true; }
  ~Busy() { flag_ = false; }
  Busy(const Busy&) = delete;
  Busy& operator=(const Busy&) = delete;

 private:
  std::atomic<bool>& flag_;
};

Reply Error(int status, const std::string& message) {
  return Reply{status, Json{{"error", message}}, false};
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  std::istringstream in(text);
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

}  // namespace

int JsonDepth(const std::string& text) {
  int depth = 0, deepest = 0;
  bool in_string = false, escaped = false;
  for (char c : text) {
    if (in_string) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        in_string = false;
      }
    } else if (c == '"') {
      in_string = true;
    } else if (c == '[' || c == '{') {
      if (++depth > deepest) deepest = depth;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return deepest;
}

Service::Service(SessionOptions options)
    : files_(FilePlatform() ? FilePlatform()() : zel::platform::MakeNativePlatform()),
      session_(std::make_unique<HostSession>(std::move(options))) {
  keys_path_ = JoinPath(session_->home(), "ecf-serve-keys.jsonl");
  // The library the driver binds, opened once more for the simulated
  // printer's control entry point; another vendor's library has none.
  auto& platform = zel::platform::Current();
  library_ = platform.OpenLibrary("IBMFI32.dll");
  if (library_ != nullptr) {
    control_ = reinterpret_cast<ControlFn>(platform.LibrarySymbol(library_, "IBM_EMU_Control"));
  }
  LoadKeys();
  RefreshTape();
  watcher_ = std::thread([this] { WatchTape(); });
}

std::function<std::unique_ptr<zel::platform::Platform>()>& Service::FilePlatform() {
  static std::function<std::unique_ptr<zel::platform::Platform>()> factory;
  return factory;
}

Service::~Service() {
  Stop();
  {
    std::lock_guard<std::mutex> lock(call_mutex_);
    if (DriverStarted()) StopImpFiscal();
  }
  if (library_ != nullptr) zel::platform::Current().CloseLibrary(library_);
}

std::string Service::Today() { return FormatIsoDateTime(session_->Now()).substr(0, 10); }

void Service::LoadKeys() {
  std::string text;
  if (!files_->ReadWholeFile(keys_path_, &text)) return;
  const std::string today = Today();
  std::string kept;
  for (const std::string& line : SplitLines(text)) {
    // A torn last line (the service was killed while writing it) is skipped:
    // a started line torn was never synced, so its call never ran.
    const Json entry = Json::parse(line, nullptr, false);
    if (entry.is_discarded() || !entry.is_object() || entry.value("day", "") != today ||
        !entry.contains("key") || !entry["key"].is_string()) {
      continue;
    }
    const std::string key = entry["key"].get<std::string>();
    const std::string state = entry.value("state", "done");
    auto known = keys_.find(key);
    if (state == "started" && entry.contains("request")) {
      Remembered started{today, entry["request"].get<std::string>(), Reply{}, true, false,
                         entry.value("printer", Json())};
      keys_[key] = std::move(started);
    } else if ((state == "done" || state == "found") && entry.contains("reply")) {
      Remembered done = known != keys_.end() ? known->second : Remembered{today};
      if (entry.contains("request")) done.request = entry["request"].get<std::string>();
      done.reply = Reply{entry.value("status", 200), entry["reply"], true};
      done.pending = false;
      done.free = false;
      keys_[key] = std::move(done);
    } else if (state == "not-run" && known != keys_.end()) {
      known->second.pending = false;
      known->second.free = true;
    } else {
      continue;
    }
    kept += line + "\n";
  }
  // Only today's keys are kept on disk too.
  if (kept.size() != text.size()) files_->WriteFileAtomically(keys_path_, kept);
  // The call the service stopped under, decided before anything else runs.
  for (auto& [key, entry] : keys_) {
    if (entry.pending) DecidePending(key, entry);
  }
}

bool Service::Journal(const Json& line) {
  return files_->AppendDurably(keys_path_,
                               line.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n");
}

Json Service::PrinterFigures() {
  if (control_ == nullptr) return nullptr;
  std::string answer;
  if (Control("state", &answer) != 1) return nullptr;
  const Json state = ParseStateText(answer);
  if (!state.contains("counters") || state["counters"].empty()) return nullptr;
  return Json{{"counters", state["counters"]},
              {"totals", state.value("totals", Json::object())},
              {"open", state.value("open", "")}};
}

void Service::DecidePending(const std::string& key, Remembered& entry) {
  const Json now = PrinterFigures();
  entry.pending = false;
  if (!entry.printer.is_null() && !now.is_null() && now == entry.printer) {
    // Nothing reached the printer: the call may run when it is sent again.
    entry.free = true;
    Journal({{"day", entry.day}, {"key", key}, {"state", "not-run"}});
    return;
  }
  if (entry.printer.is_null() || now.is_null()) {
    entry.reply = Reply{409,
                        {{"error", "the service stopped while this call was running, and the "
                                   "printer's figures cannot tell whether it was registered: "
                                   "nothing was sent again; check the printer's last document "
                                   "before sending it again under a new key"},
                         {"recovered", true}},
                        true};
  } else {
    entry.reply = Reply{200,
                        {{"recovered", true},
                         {"registered", true},
                         {"note", "the service stopped while this call was running; the "
                                  "printer shows it was carried out (in whole or in part): "
                                  "nothing was sent again. 'found' holds the printer's figures "
                                  "before the call and now (an open document means the call "
                                  "did not finish)"},
                         {"found", {{"before", entry.printer}, {"now", now}}}},
                        true};
  }
  Journal({{"day", entry.day},
           {"key", key},
           {"state", "found"},
           {"status", entry.reply.status},
           {"reply", entry.reply.body}});
}

Reply Service::Calls(const std::string& body, const std::string& idempotency_key) {
  if (body.size() > kMaxRequestBytes) return Error(413, "the request is too large");
  if (JsonDepth(body) > kMaxJsonDepth) return Error(400, "the request is nested too deeply");
  const Json request = Json::parse(body, nullptr, false);
  if (request.is_discarded()) return Error(400, "the request is not valid JSON");

  const bool single = request.is_object() && request.contains("call");
  Json steps;
  if (single) {
    steps = Json::array({request});
  } else if (request.is_array()) {
    steps = request;
  } else if (request.is_object() && request.contains("steps") && request["steps"].is_array()) {
    steps = request["steps"];
  } else {
    return Error(400, "expected a step {\"call\": ..., \"args\": [...]}, a list of steps, " +
                          std::string("or {\"steps\": [...]}"));
  }
  // Decoding the arguments builds host values (tables, variants) as the call
  // would: done under the lock too, one request at a time.
  std::lock_guard<std::mutex> lock(call_mutex_);
  std::deque<bool> answers;
  int number = 0;
  try {
    if (request.is_object()) answers = AnswersOf(request);
    for (const auto& step : steps) {
      ++number;
      if (step.is_object() && step.contains("call") && step["call"].is_string() &&
          Operations().count(step["call"].get<std::string>()) == 0) {
        return Error(404, "step " + std::to_string(number) + ": unknown operation \"" +
                              step["call"].get<std::string>() + "\"");
      }
      CheckStep(step, number);
    }
  } catch (const ScenarioError& e) {
    return Error(400, ToJsonText(e.what()));
  }

  const std::string canonical = request.dump(-1, ' ', false, Json::error_handler_t::replace);
  const std::string today = Today();
  if (!idempotency_key.empty()) {
    auto it = keys_.find(idempotency_key);
    if (it != keys_.end() && it->second.day != today) {
      keys_.clear();  // a new day: yesterday's keys are free again
      it = keys_.end();
    }
    if (it != keys_.end()) {
      if (it->second.request != canonical) {
        return Error(409, "the idempotency key \"" + idempotency_key +
                              "\" was used today for another request");
      }
      if (!it->second.free) {
        Reply replay = it->second.reply;
        replay.replayed = true;
        return replay;
      }
    }
    // The key, the request and the printer's figures are on the disk before
    // the call runs: a call the service stops under is never run blindly.
    Remembered started{today, canonical, Reply{}, false, false, PrinterFigures()};
    if (!Journal({{"day", today},
                  {"key", idempotency_key},
                  {"state", "started"},
                  {"request", canonical},
                  {"printer", started.printer}})) {
      return Error(503, "the idempotency key cannot be recorded (" +
                            ToJsonText(files_->LastErrorText()) + "): nothing was run");
    }
    keys_[idempotency_key] = std::move(started);
  }

  session_->SetAnswers(std::move(answers));
  session_->TakeDialogs();  // nothing left over from an earlier request
  Json lines = Json::array();
  Reply reply;
  number = 0;
  try {
    Busy busy(busy_);
    for (const auto& step : steps) lines.push_back(RunStep(*session_, step, ++number));
    reply.body = single ? lines[0] : lines;
  } catch (const std::exception& e) {
    // Checked above, so only a failure inside the host itself lands here;
    // the steps that ran are reported with it.
    reply.status = 500;
    reply.body = {{"error", ToJsonText(e.what())}, {"steps", lines}};
  }
  session_->SetAnswers({});
  RefreshTape();
  if (!idempotency_key.empty()) {
    Remembered& entry = keys_[idempotency_key];
    entry.reply = reply;
    // Not written: the key stays started, and a retry after a restart is
    // decided from the printer as for a stop.
    Journal({{"day", today},
             {"key", idempotency_key},
             {"state", "done"},
             {"status", reply.status},
             {"reply", reply.body}});
  }
  return reply;
}

int Service::Control(const std::string& command, std::string* answer) {
  std::vector<char> buffer(16384, '\0');
  const int code =
      control_(command.c_str(), buffer.data(), static_cast<int32_t>(buffer.size() - 1));
  *answer = ToJsonText(buffer.data());
  return code;
}

Reply Service::State() {
  if (control_ == nullptr) {
    return Error(501, "the printer library is not the simulated printer (no IBM_EMU_Control)");
  }
  std::string answer;
  int code;
  bool started;
  {
    std::lock_guard<std::mutex> lock(call_mutex_);
    code = Control("state", &answer);
    started = DriverStarted();
  }
  if (code != 1)
    return Error(500, "the simulated printer answered " + std::to_string(code) + ": " + answer);
  Json state = ParseStateText(answer);
  state["driver_started"] = started;
  state["home"] = ToJsonText(session_->home());
  state["tape"] = ToJsonText(session_->TapePath());
  state["log"] = ToJsonText(session_->LogPath());
  return Reply{200, state, false};
}

Reply Service::Faults(const std::string& body) {
  if (control_ == nullptr) {
    return Error(501, "the printer library is not the simulated printer (no IBM_EMU_Control)");
  }
  if (body.size() > kMaxRequestBytes) return Error(413, "the request is too large");
  std::vector<std::string> commands;
  std::string error;
  if (!ParseFaultCommands(body, &commands, &error)) return Error(400, error);
  Json results = Json::array();
  std::lock_guard<std::mutex> lock(call_mutex_);
  Busy busy(busy_);
  for (const std::string& command : commands) {
    std::string answer;
    const int code = Control(FromJsonText(command), &answer);
    results.push_back({{"command", command}, {"code", code}, {"answer", answer}});
    if (code != 1) {
      RefreshTape();
      Reply reply{code == -2 ? 400 : 500, {{"error", command + ": " + answer}}, false};
      reply.body["results"] = results;
      return reply;
    }
  }
  RefreshTape();
  return Reply{200, {{"results", results}}, false};
}

Reply Service::Log(size_t count) {
  std::string text;
  const std::string path = session_->LogPath();
  files_->ReadWholeFile(path, &text);
  std::vector<std::string> lines = SplitLines(text);
  Json tail = Json::array();
  for (size_t i = lines.size() > count ? lines.size() - count : 0; i < lines.size(); ++i) {
    tail.push_back(ToJsonText(lines[i]));
  }
  return Reply{200, {{"log", ToJsonText(path)}, {"lines", tail}}, false};
}

void Service::RefreshTape() {
  // One reader at a time, so that an older look never replaces a newer one.
  std::lock_guard<std::mutex> reading(refresh_mutex_);
  const std::string path = session_->TapePath();
  const int64_t found = files_->FileSize(path);
  const size_t size = found < 0 ? 0 : static_cast<size_t>(found);
  size_t known;
  size_t lines_end;
  {
    std::lock_guard<std::mutex> lock(tape_mutex_);
    known = tape_size_;
    lines_end = lines_end_;
  }
  if (size == known) return;
  if (size < known) {
    // The tape was replaced (a new printer): it is read again from its start.
    known = 0;
    lines_end = 0;
  }
  // Only what was printed since the last look is read, piece by piece, for
  // the end of its last complete line.
  constexpr size_t kPiece = 1 << 16;
  std::string piece;
  size_t scanned = known;  // what could be read: the rest is looked at next time
  while (scanned < size) {
    if (!files_->ReadFileRange(path, static_cast<int64_t>(scanned),
                               static_cast<int64_t>(std::min(kPiece, size - scanned)), &piece) ||
        piece.empty()) {
      break;
    }
    const size_t last = piece.rfind('\n');
    if (last != std::string::npos) lines_end = scanned + last + 1;
    scanned += piece.size();
  }
  std::lock_guard<std::mutex> lock(tape_mutex_);
  tape_size_ = scanned;
  lines_end_ = lines_end;
  tape_changed_.notify_all();
}

size_t Service::TapeSize() {
  RefreshTape();
  std::lock_guard<std::mutex> lock(tape_mutex_);
  return tape_size_;
}

std::string Service::TapeBytes(size_t offset, size_t size) {
  std::string bytes;
  files_->ReadFileRange(session_->TapePath(), static_cast<int64_t>(offset),
                        static_cast<int64_t>(size), &bytes);
  return bytes;
}

bool Service::TapeSince(size_t from, int wait_ms, std::string* lines, size_t* next) {
  lines->clear();
  size_t end;
  {
    std::unique_lock<std::mutex> lock(tape_mutex_);
    if (from > tape_size_) from = 0;
    ++readers_;
    tape_changed_.wait_for(lock, std::chrono::milliseconds(wait_ms),
                           [&] { return stopping_ || lines_end_ > from; });
    --readers_;
    if (stopping_) return false;
    end = std::max(from, lines_end_);
  }
  *next = from;
  if (end == from) return true;
  // A reader far behind gets the tape a bounded piece at a time: whole lines
  // up to kMaxTapeRead bytes (a longer line whole).
  std::string bytes = TapeBytes(from, std::min(end - from, kMaxTapeRead));
  size_t last = bytes.rfind('\n');
  if (last == std::string::npos) {
    bytes = TapeBytes(from, end - from);
    last = bytes.find('\n');
    if (last == std::string::npos) return true;
  }
  bytes.resize(last + 1);
  *next = from + bytes.size();
  *lines = std::move(bytes);
  return true;
}

void Service::WatchTape() {
  // While a call runs, the tape is looked at every tick, so that a reader
  // sees each line as it is printed rather than when the call returns; when
  // idle, now and then, for what another process (the printer's own tool)
  // printed. Only while someone reads.
  constexpr auto kTick = std::chrono::milliseconds(50);
  int tick = 0;
  std::unique_lock<std::mutex> lock(tape_mutex_);
  while (!tape_changed_.wait_for(lock, kTick, [&] { return stopping_; })) {
    ++tick;
    if (readers_ == 0 || !(busy_ || tick % 20 == 0)) continue;
    lock.unlock();
    RefreshTape();
    lock.lock();
  }
}

void Service::Stop() {
  {
    std::lock_guard<std::mutex> lock(tape_mutex_);
    stopping_ = true;
    tape_changed_.notify_all();
  }
  if (watcher_.joinable() && watcher_.get_id() != std::this_thread::get_id()) watcher_.join();
}

}  // namespace ecf
