// The driver as a long-lived local service (`ecf serve`), apart from HTTP.
//
// One host session, one driver and one printer for the service's whole life.
// Every call that reaches the printer (host operations, fault commands, state
// queries) runs under one lock, so the printer sees one command at a time
// whatever the number of clients. A request may carry an idempotency key: the
// same key again on the same day gets the first answer back and nothing is
// sent to the printer; another request under a used key is refused.
//
// Keys are a journal in the host folder ("ecf-serve-keys.jsonl"), so that a
// till that retries after the service stopped does not sell twice either:
// before a keyed call runs, its key, its request and the printer's figures
// (counters, totals, the open document) are written and synced ("started");
// a key that cannot be written refuses the call (503) before anything runs.
// After the call its answer is added ("done"). A key found started but not
// done when the service starts (it stopped while the call ran) is decided at
// once from the printer, before any other call: figures unchanged, the call
// was not registered and runs when it is sent again; figures moved, it was
// (in whole or in part) and a retry gets what was found, nothing sent again;
// figures unreadable (another vendor's library), a retry gets 409 with the
// reason.
//
// The paper tape is watched while calls run and after each: readers of
// TapeSince() get each printed line once, in order, as it is printed, with the
// tape's byte offset after it. The tape only grows: the service keeps where
// it stands (its size and the end of its last complete line), reads only what
// was printed since, and reads the lines a reader asks for from the file, so
// that neither the cost of a call nor the service's memory grows with it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "host/json_codec.h"
#include "host/session.h"

namespace ecf {

// An answer for the HTTP layer: a status and a JSON body.
struct Reply {
  int status = 200;
  Json body;
  bool replayed = false;  // the first answer under an idempotency key, sent again
};

class Service {
 public:
  // Bodies longer than this are refused before they are read.
  static constexpr size_t kMaxRequestBytes = 1 << 20;
  // Requests nested deeper than this are refused as malformed.
  static constexpr int kMaxJsonDepth = 64;

  explicit Service(SessionOptions options);
  // Stops the driver (as a host does when it closes) if a client started it.
  ~Service();
  Service(const Service&) = delete;
  Service& operator=(const Service&) = delete;

  // POST /calls: a step {"call", "args"}, a list of steps, or {"steps": [...]};
  // the step object or the request object may carry "answers". The answer is
  // the step's output line, or the list of lines, exactly as `ecf run` writes
  // them. 400 malformed or a wrong argument, 404 an unknown operation, 409 a
  // used idempotency key with another request; nothing runs in those cases.
  Reply Calls(const std::string& body, const std::string& idempotency_key);
  // GET /state: the simulated printer's identity, fiscal day, counters,
  // totals and faults, and whether the driver is started.
  Reply State();
  // POST /faults: control commands of the simulated printer, one per line
  // (or separated by ';'), or {"command": "..."} / {"commands": [...]}.
  Reply Faults(const std::string& body);
  // GET /log: the last `lines` lines of this month's debug log.
  Reply Log(size_t lines);

  // The tape file (UTF-8, as the printer wrote it) and its size now.
  std::string TapePath() const { return session_->TapePath(); }
  size_t TapeSize();
  // At most `size` bytes of the tape from `offset` (fewer at its end).
  std::string TapeBytes(size_t offset, size_t size);
  // The complete tape lines after byte `from` (each ending in '\n'), waiting
  // up to `wait_ms` for one to be printed; *next is the offset after them.
  // At most about kMaxTapeRead bytes of lines at a time. An offset past the
  // end (the tape was replaced) starts again at 0. False once the service is
  // stopping.
  bool TapeSince(size_t from, int wait_ms, std::string* lines, size_t* next);
  static constexpr size_t kMaxTapeRead = 1 << 20;
  // Wakes every TapeSince() waiter and makes it answer false.
  void Stop();

  const std::string& home() const { return session_->home(); }

  // Makes the platform through which the service reads and writes its own
  // files (keys, tape, log); empty: the native platform. Tests put a wrapper
  // there to stop the process at a chosen write.
  static std::function<std::unique_ptr<zel::platform::Platform>()>& FilePlatform();

 private:
  struct Remembered {
    std::string day;
    std::string request;  // the request as canonical JSON
    Reply reply;
    bool pending = false;  // started, never done: decided when the service starts
    bool free = false;     // decided not registered: runs when sent again
    Json printer;          // the printer's figures when the call started (or null)
  };

  std::string Today();
  void LoadKeys();
  bool Journal(const Json& line);
  // The simulated printer's counters, totals and open document (null when
  // they cannot be read).
  Json PrinterFigures();
  // Decides a key the service stopped under (see above) and journals it.
  void DecidePending(const std::string& key, Remembered& entry);
  void RefreshTape();
  void WatchTape();
  int Control(const std::string& command, std::string* answer);

  // The service's own file reads (tape, log, keys), apart from the driver's
  // platform so that they never change the error code the driver reads.
  std::unique_ptr<zel::platform::Platform> files_;
  std::unique_ptr<HostSession> session_;
  std::mutex call_mutex_;  // one printer command at a time
  std::map<std::string, Remembered> keys_;
  std::string keys_path_;
  using ControlFn = int32_t (*)(const char*, char*, int32_t);
  void* library_ = nullptr;
  ControlFn control_ = nullptr;

  std::mutex refresh_mutex_;
  std::mutex tape_mutex_;  // guards what follows
  std::condition_variable tape_changed_;
  size_t tape_size_ = 0;   // the tape's size when last looked at
  size_t lines_end_ = 0;   // the offset after its last complete line
  int readers_ = 0;  // TapeSince() callers waiting
  bool stopping_ = false;
  std::atomic<bool> busy_{false};  // a printer command is running
  std::thread watcher_;
};

// The nesting depth of a JSON text (brackets and braces outside strings), so
// that a hostile request is refused before the parser recurses into it.
int JsonDepth(const std::string& text);

}  // namespace ecf
