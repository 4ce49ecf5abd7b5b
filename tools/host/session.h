// A host session: what a point-of-sale host sets up around the driver.
//
// The session owns a host folder (the "executable folder" where the driver
// writes its debug log and keeps the host's files), a system folder inside it
// for the vendor library's IBMFI32.INI, the paper tape and memory of the
// simulated printer, the host's document records (SQLite), and the operator
// dialog. While it lives it is the current platform and the current host
// handler; the destructor restores what was there before.
#pragma once

#include <deque>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/records.h"
#include "hostutil/host_services.h"
#include "platform/platform.h"

namespace ecf {

struct Dialog {
  std::string text;  // Windows-1252
  int kind = 0;
  bool question = false;
  bool answer = false;
};

struct SessionOptions {
  std::string home;                            // "" = a fresh temporary folder
  std::optional<zel::TDateTime> clock;         // fixes the computer's and the printer's clock
  std::map<std::string, std::string> printer;  // extra IBMFI32.INI keys
  bool interactive = false;                    // dialogs asked on the terminal
  // How long a record waits for another holder of the host's records database.
  int records_wait_ms = RecordStore::kBusyTimeoutMs;
};

// The line that shows the printer at work on a long operation, `done_ms` of
// `total_ms` into it: a bar of 20 marks, the share done and the seconds.
std::string WorkProgressLine(int done_ms, int total_ms);
// Shows a wait of `total_ms` on `out` while `wait` (called with each slice
// of milliseconds) passes it: `in_place` (a terminal) one line rewritten as
// the wait goes on; otherwise plain lines, at the start, at each quarter
// passed and at the end, so a log holds a few readable lines.
void ShowWork(int total_ms, bool in_place, std::ostream& out, const std::function<void(int)>& wait);

class HostSession : public zel::platform::PlatformWrapper, public zel::HostHandlers {
 public:
  explicit HostSession(SessionOptions options);
  ~HostSession() override;

  // The platform a session stands on (the driver's and the printer's file
  // writes go through it): the native one unless a test puts a wrapper there
  // (to stop the process at a chosen write) before the session is made.
  static zel::platform::Platform*& BasePlatform();

  const std::string& home() const { return home_; }
  std::string TapePath() const;
  std::string LogPath();  // this month's debug log
  std::string SystemFolder() const { return system_dir_; }
  RecordStore& records() { return *records_; }

  // A record that cannot be written (the records database stayed held past
  // its wait) never stops the printer's document: it is kept and written
  // after the step, in order with the records after it. Tries the kept
  // records again and returns why the records of this step could not be
  // written (empty when all are).
  std::vector<std::string> FlushRecords();

  // Answers to the operator's questions, in order; once they run out every
  // question is answered no.
  void SetAnswers(std::deque<bool> answers) { answers_ = std::move(answers); }
  // The dialogs shown since the last call.
  std::vector<Dialog> TakeDialogs();

  // Platform: folders rooted in the host folder, the fixed clock, no waiting
  // with it; a long wait otherwise shown on the error stream (ShowWork).
  std::string SystemDirectory() override { return system_dir_; }
  std::string ExecutableDirectory() override { return home_; }
  // The machine's fiscal-menu folder ("C:\MenuFiscal" on a till) is the host
  // folder's "MenuFiscal".
  std::string MenuFiscalDirectory() override;
  zel::TDateTime Now() override;
  void Delay(int milliseconds) override;

  // Host handlers.
  bool Mensagem(const std::string& text, const std::string& caption, const std::string& flag,
                const std::string& question, int kind, const std::string& extra,
                const std::string& colour_scheme, int options) override;
  zel::HostVariant GravaCER(const std::string& key1, const std::string& key2,
                            zel::TDateTime movement_date) override;
  zel::HostVariant SetDocNaoFiscaisECF(const zel::NonFiscalDocRecord& record) override;

 private:
  void WriteIni(const std::map<std::string, std::string>& printer);
  void WriteGrandTotalFile();

  SessionOptions options_;
  std::string home_;
  std::string system_dir_;
  std::unique_ptr<RecordStore> records_;
  std::vector<std::function<void()>> pending_records_;
  std::vector<std::string> record_errors_;
  void Record(std::function<void()> write);
  std::deque<bool> answers_;
  std::vector<Dialog> dialogs_;
  zel::platform::Platform* previous_platform_ = nullptr;
  zel::HostHandlers* previous_handlers_ = nullptr;
};

}  // namespace ecf
