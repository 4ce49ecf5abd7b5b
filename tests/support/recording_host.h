// RecordingHost: host handlers for tests. While alive it is the installed
// HostHandlers (the previous ones come back when it is destroyed). It records
// every dialog and every document-recording call, and answers yes/no
// questions from a script (a queue of answers; once the queue is empty, the
// default answer, "no" unless SetDefaultAnswer changed it).
// Notices (question "N") never take an answer from the script and return
// false.
#pragma once

#include <deque>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "hostutil/host_services.h"

namespace zel {

struct DialogCall {
  std::string text;
  std::string caption;
  std::string flag;
  std::string question;  // "S" question, "N" notice
  int kind = 0;
  std::string extra;
  std::string colour_scheme;
  int options = 0;
  bool answer = false;  // what the handler returned

  bool IsQuestion() const { return question == "S"; }
};

struct CerCall {
  std::string key1;
  std::string key2;
  TDateTime movement_date = 0;
};

// A setDocNaoFiscaisECF call with its wide texts also as Windows-1252.
struct DocCall {
  NonFiscalDocRecord record;
  std::string doc_key;
  std::string receipt_number;
  std::string non_fiscal_operations;
  std::string report_counter;
  std::string slip_counter;
  std::string doc_type;
  std::string extra;
};

class RecordingHost : public HostHandlers {
 public:
  RecordingHost();
  ~RecordingHost() override;
  RecordingHost(const RecordingHost&) = delete;
  RecordingHost& operator=(const RecordingHost&) = delete;

  // Answers for the next questions, in order.
  void QueueAnswers(std::initializer_list<bool> answers);
  void SetDefaultAnswer(bool answer) { default_answer_ = answer; }
  // From now on every document-recording call (GravaCER, setDocNaoFiscaisECF)
  // throws HostError with `message`; std::nullopt stops the failures.
  void FailRecords(std::optional<std::string> message) { fail_records_ = std::move(message); }

  const std::vector<DialogCall>& dialogs() const { return dialogs_; }
  const std::vector<CerCall>& cer_calls() const { return cer_calls_; }
  const std::vector<DocCall>& doc_calls() const { return doc_calls_; }
  // Texts of all dialogs, in order.
  std::vector<std::string> DialogTexts() const;
  void ClearDialogs() { dialogs_.clear(); }
  size_t PendingAnswers() const { return answers_.size(); }
  void Clear();

  bool Mensagem(const std::string& text, const std::string& caption, const std::string& flag,
                const std::string& question, int kind, const std::string& extra,
                const std::string& colour_scheme, int options) override;
  HostVariant GravaCER(const std::string& key1, const std::string& key2,
                       TDateTime movement_date) override;
  HostVariant SetDocNaoFiscaisECF(const NonFiscalDocRecord& record) override;

 private:
  HostHandlers* previous_;
  std::deque<bool> answers_;
  bool default_answer_ = false;
  std::optional<std::string> fail_records_;
  std::vector<DialogCall> dialogs_;
  std::vector<CerCall> cer_calls_;
  std::vector<DocCall> doc_calls_;
};

}  // namespace zel
