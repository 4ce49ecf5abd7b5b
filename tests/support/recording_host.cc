#include "support/recording_host.h"

#include "runtime/host_error.h"
#include "runtime/win1252.h"

namespace zel {

RecordingHost::RecordingHost() : previous_(SetHostHandlers(this)) {}

RecordingHost::~RecordingHost() { SetHostHandlers(previous_); }

void RecordingHost::QueueAnswers(std::initializer_list<bool> answers) {
  answers_.insert(answers_.end(), answers.begin(), answers.end());
}

std::vector<std::string> RecordingHost::DialogTexts() const {
  std::vector<std::string> texts;
  for (const DialogCall& call : dialogs_) texts.push_back(call.text);
  return texts;
}

void RecordingHost::Clear() {
  answers_.clear();
  dialogs_.clear();
  cer_calls_.clear();
  doc_calls_.clear();
  fail_records_.reset();
}

bool RecordingHost::Mensagem(const std::string& text, const std::string& caption,
                             const std::string& flag, const std::string& question, int kind,
                             const std::string& extra, const std::string& colour_scheme,
                             int options) {
  bool answer = false;
  if (question == "S") {
    answer = default_answer_;
    if (!answers_.empty()) {
      answer = answers_.front();
      answers_.pop_front();
    }
  }
  dialogs_.push_back(
      DialogCall{text, caption, flag, question, kind, extra, colour_scheme, options, answer});
  return answer;
}

HostVariant RecordingHost::GravaCER(const std::string& key1, const std::string& key2,
                                    TDateTime movement_date) {
  cer_calls_.push_back(CerCall{key1, key2, movement_date});
  if (fail_records_) throw HostError(*fail_records_);
  return HostVariant();
}

HostVariant RecordingHost::SetDocNaoFiscaisECF(const NonFiscalDocRecord& record) {
  doc_calls_.push_back(
      DocCall{record, Utf16ToWin1252(record.doc_key), Utf16ToWin1252(record.receipt_number),
              Utf16ToWin1252(record.non_fiscal_operations), Utf16ToWin1252(record.report_counter),
              Utf16ToWin1252(record.slip_counter), Utf16ToWin1252(record.doc_type),
              Utf16ToWin1252(record.extra)});
  if (fail_records_) throw HostError(*fail_records_);
  return HostVariant();
}

}  // namespace zel
