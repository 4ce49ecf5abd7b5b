// The host's operator dialog (Mensagem) and its document-recording services
// (GravaCER, setDocNaoFiscaisECF). They are replaceable: the host application,
// a tool or a test installs its own HostHandlers; without one, the default
// handlers answer every question "no" and keep a short record of the calls.
#pragma once

#include <deque>
#include <string>

#include "runtime/datetime.h"
#include "runtime/variant.h"

namespace zel {

// Dialog kinds that callers pass to Mensagem.
inline constexpr int kDialogInformation = 0;
inline constexpr int kDialogWarning = 1;
inline constexpr int kDialogError = 3;

// One call of setDocNaoFiscaisECF: the first seven texts are wide (UTF-16).
struct NonFiscalDocRecord {
  std::u16string doc_key;
  std::u16string receipt_number;
  std::u16string non_fiscal_operations;
  std::u16string report_counter;
  std::u16string slip_counter;
  std::u16string doc_type;
  std::u16string extra;
  TDateTime recorded_at = 0;    // the computer's date and time
  TDateTime movement_date = 0;  // the printer's fiscal movement date
  std::string spare;            // bytes; the driver sends an empty text
};

class HostHandlers {
 public:
  virtual ~HostHandlers() = default;

  // Shows `text` to the operator. `question` is "S" for a yes/no question and
  // "N" for a notice; `kind` is a kDialog* value; `colour_scheme` is the host's
  // screen-colour code. The other arguments are fixed by the callers (an empty
  // text, "N", an empty text, 0). Returns true only when the operator answered
  // yes to a question.
  virtual bool Mensagem(const std::string& text, const std::string& caption,
                        const std::string& flag, const std::string& question, int kind,
                        const std::string& extra, const std::string& colour_scheme,
                        int options) = 0;

  // Records with the host that a gerencial report was opened: the two keys the
  // host gave the caller, and the printer's fiscal movement date. The result
  // is not used by the driver.
  virtual HostVariant GravaCER(const std::string& key1, const std::string& key2,
                               TDateTime movement_date) = 0;

  // Records one printed non-fiscal document. The result is not used by the
  // driver.
  virtual HostVariant SetDocNaoFiscaisECF(const NonFiscalDocRecord& record) = 0;
};

// What is installed when no host handler is: questions are answered no,
// notices and records are accepted, and a description of each call (the
// dialog text, "GravaCER key1 key2", "setDocNaoFiscaisECF docType docKey") is
// kept, the most recent kMaxCalls of them.
class DefaultHostHandlers : public HostHandlers {
 public:
  static constexpr size_t kMaxCalls = 100;

  bool Mensagem(const std::string& text, const std::string& caption, const std::string& flag,
                const std::string& question, int kind, const std::string& extra,
                const std::string& colour_scheme, int options) override;
  HostVariant GravaCER(const std::string& key1, const std::string& key2,
                       TDateTime movement_date) override;
  HostVariant SetDocNaoFiscaisECF(const NonFiscalDocRecord& record) override;

  const std::deque<std::string>& Calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }

 private:
  void Remember(std::string call);

  std::deque<std::string> calls_;
};

// Installs `handlers` (not owned; must outlive its installation). nullptr
// restores the default handlers. Returns the handlers installed before.
HostHandlers* SetHostHandlers(HostHandlers* handlers);
HostHandlers& CurrentHostHandlers();
DefaultHostHandlers& DefaultHandlers();

// The host utility entry points, forwarding to the installed handlers.
bool Mensagem(const std::string& text, const std::string& caption, const std::string& flag,
              const std::string& question, int kind, const std::string& extra,
              const std::string& colour_scheme, int options);
HostVariant GravaCER(const std::string& key1, const std::string& key2, TDateTime movement_date);
// The ten arguments of the host service, the first seven wide texts.
HostVariant setDocNaoFiscaisECF(const std::u16string& doc_key, const std::u16string& receipt_number,
                                const std::u16string& non_fiscal_operations,
                                const std::u16string& report_counter,
                                const std::u16string& slip_counter, const std::u16string& doc_type,
                                const std::u16string& extra, TDateTime recorded_at,
                                TDateTime movement_date, const std::string& spare);

}  // namespace zel
