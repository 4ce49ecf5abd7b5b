// Finding out, after a lost answer, whether the printer carried a command out.
#include "core/unknown_outcome.h"

#include <string>

#include "core/driver_support.h"
#include "core/return_analysis.h"
#include "hostutil/host_services.h"
#include "zel01900/core.h"

namespace {

std::optional<int64_t> gross_baseline;
bool receipt_open_at_state_check = false;
// The last command FoundDone saw was lost and its outcome unknown.
bool last_answer_unknown = false;

// A non-negative number with at most `decimals` decimals (',' or '.' as the
// separator), scaled by 10^decimals. Blanks around it are ignored.
std::optional<int64_t> ParseFixed(std::string_view text, int decimals) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && text[first] == ' ') ++first;
  while (last > first && text[last - 1] == ' ') --last;
  text = text.substr(first, last - first);
  if (text.empty()) return std::nullopt;
  int64_t value = 0;
  int digits = 0;
  int fraction = -1;  // decimals read so far, -1 before the separator
  for (char c : text) {
    if (c == ',' || c == '.') {
      if (fraction >= 0) return std::nullopt;
      fraction = 0;
      continue;
    }
    if (c < '0' || c > '9' || ++digits > 18) return std::nullopt;
    if (fraction >= 0 && ++fraction > decimals) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (digits == 0) return std::nullopt;
  for (int i = fraction < 0 ? 0 : fraction; i < decimals; ++i) value *= 10;
  return value;
}

// A figure of `width` digits read through `entry_point` (nullopt when the
// printer does not answer 1 or the answer is not all digits).
std::optional<int64_t> ReadDigits(const char* name, IbmFnB entry_point, size_t width) {
  std::string buffer(width, ' ');
  const int32_t code = entry_point(buffer.data());
  ImpFisDebug(zel::core::AnswerLog(name, buffer));
  if (code != 1 || buffer.find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  return ParseFixed(buffer, 0);
}

}  // namespace

namespace zel::core {

std::optional<int32_t> ReadFiscalFlags() {
  int32_t flags = 0;
  const int32_t code = IBM_FI_FlagsFiscais(&flags);
  ImpFisDebug(AnswerLog("IBM_FI_FlagsFiscais", std::to_string(flags)));
  if (code != 1) return std::nullopt;
  return flags;
}

std::optional<int64_t> ReadGrossSales() {
  return ReadDigits("IBM_FI_VendaBruta", IBM_FI_VendaBruta, 18);
}

std::optional<int32_t> ReadCoo() {
  const std::optional<int64_t> coo = ReadDigits("IBM_FI_NumeroCupom", IBM_FI_NumeroCupom, 6);
  if (!coo) return std::nullopt;
  return static_cast<int32_t>(*coo);
}

std::optional<int64_t> ReadCancellations() {
  return ReadDigits("IBM_FI_Cancelamentos", IBM_FI_Cancelamentos, 14);
}

std::optional<int64_t> ReadCancelledReceipts() {
  return ReadDigits("IBM_FI_NumeroCuponsCancelados", IBM_FI_NumeroCuponsCancelados, 4);
}

Outcome RaisedOutcome(std::optional<int64_t> before, std::optional<int64_t> now) {
  if (!before || !now) return Outcome::kUnknown;
  if (*now > *before) return Outcome::kDone;
  return *now == *before ? Outcome::kNotDone : Outcome::kUnknown;
}

void ForgetGrossSales() { gross_baseline.reset(); }
void SetGrossSales(int64_t cents) { gross_baseline = cents; }
void AddGrossSales(int64_t cents) {
  if (gross_baseline) *gross_baseline += cents;
}
std::optional<int64_t> KnownGrossSales() { return gross_baseline; }

void LearnGrossSales() { gross_baseline = ReadGrossSales(); }

void LearnGrossSalesFrom(std::string_view digits) {
  if (digits.size() == 18 && digits.find_first_not_of("0123456789") == std::string_view::npos) {
    gross_baseline = ParseFixed(digits, 0);
  }
}

std::optional<int64_t> AmountCents(std::string_view text) { return ParseFixed(text, 2); }

std::optional<int64_t> ItemGrossCents(std::string_view price, std::string_view quantity,
                                      std::string_view surcharge_cents) {
  const std::optional<int64_t> p = ParseFixed(price, 2);
  const std::optional<int64_t> q = ParseFixed(quantity, 3);
  const std::optional<int64_t> s = ParseFixed(surcharge_cents, 0);
  if (!p || !q || !s || *p > 999999999 || *q > 9999999) return std::nullopt;
  return *p * *q / 1000 + *s;
}

void NoteStateCheck(bool receipt_open) { receipt_open_at_state_check = receipt_open; }
bool ReceiptOpenAtStateCheck() { return receipt_open_at_state_check; }

Outcome ItemOutcome(int64_t expected_cents) {
  const std::optional<int64_t> before = gross_baseline;
  if (!before) return Outcome::kUnknown;
  const std::optional<int64_t> now = ReadGrossSales();
  // Whatever the answer, the figure read is the printer's own from now on.
  gross_baseline = now;
  if (!now) return Outcome::kUnknown;
  if (*now == *before + expected_cents) return Outcome::kDone;
  if (*now == *before) return Outcome::kNotDone;
  return Outcome::kUnknown;
}

Outcome ReceiptOpeningOutcome() {
  const std::optional<int32_t> flags = ReadFiscalFlags();
  if (!flags) return Outcome::kUnknown;
  if (!(*flags & kFlagReceiptOpen)) return Outcome::kNotDone;
  // A receipt open with nothing sold yet is the new one, unless one was
  // already open before (then the printer refused this opening).
  if (!(*flags & kFlagClosingStarted) && !receipt_open_at_state_check) return Outcome::kDone;
  return Outcome::kUnknown;
}

Outcome ClosingStartOutcome() {
  const std::optional<int32_t> flags = ReadFiscalFlags();
  if (!flags || !(*flags & kFlagReceiptOpen)) return Outcome::kUnknown;
  return (*flags & kFlagClosingStarted) ? Outcome::kDone : Outcome::kNotDone;
}

Outcome ClosingEndOutcome() {
  const std::optional<int32_t> flags = ReadFiscalFlags();
  if (!flags) return Outcome::kUnknown;
  if (!(*flags & kFlagReceiptOpen)) return Outcome::kDone;
  return (*flags & kFlagClosingStarted) ? Outcome::kNotDone : Outcome::kUnknown;
}

Outcome ReductionOutcome() {
  // The reduction empties the day's gross sales: with sales on the day the
  // figure itself tells.
  if (gross_baseline && *gross_baseline > 0) {
    const std::optional<int64_t> now = ReadGrossSales();
    if (now && *now == 0) return Outcome::kDone;
    if (now && *now == *gross_baseline) return Outcome::kNotDone;
    if (!now) return Outcome::kUnknown;
  }
  // A day without sales: the printer's flags tell whether today was closed
  // or a pending day still waits.
  const std::optional<int32_t> flags = ReadFiscalFlags();
  if (!flags) return Outcome::kUnknown;
  if (*flags & kFlagZPending) return Outcome::kNotDone;
  if (*flags & kFlagDayClosed) return Outcome::kDone;
  return Outcome::kUnknown;
}

Outcome NewDocumentOutcome(std::optional<int32_t> coo_before) {
  if (!coo_before) return Outcome::kUnknown;
  const std::optional<int32_t> now = ReadCoo();
  if (!now) return Outcome::kUnknown;
  // The COO has six digits and starts again at 1 after 999999.
  if (*now == (*coo_before >= 999999 ? 1 : *coo_before + 1)) return Outcome::kDone;
  if (*now == *coo_before) return Outcome::kNotDone;
  return Outcome::kUnknown;
}

Outcome DocumentOpeningOutcome() {
  const std::optional<int32_t> flags = ReadFiscalFlags();
  if (!flags) return Outcome::kUnknown;
  return (*flags & kFlagDocumentOpen) ? Outcome::kDone : Outcome::kNotDone;
}

Outcome DocumentClosingOutcome() {
  const std::optional<int32_t> flags = ReadFiscalFlags();
  if (!flags) return Outcome::kUnknown;
  return (*flags & kFlagDocumentOpen) ? Outcome::kNotDone : Outcome::kDone;
}

void TellDone(const std::string& command, const std::string& esquema, bool mostra) {
  ImpFisDebug(command + " : sem resposta da impressora; o comando foi executado");
  if (!boNUtilTaa || !mostra) return;
  zel::Mensagem(
      "A impressora fiscal n\xE3o respondeu, mas executou o comando. Nada ficou faltando.", "", "N",
      "N", zel::kDialogInformation, "", esquema, 0);
}

bool FoundDone(int32_t code, Outcome (*check)(), const std::string& command,
               const std::string& esquema, bool mostra) {
  last_answer_unknown = false;
  if (code != 0) return false;
  const Outcome outcome = check();
  last_answer_unknown = outcome == Outcome::kUnknown;
  if (outcome != Outcome::kDone) return false;
  TellDone(command, esquema, mostra);
  return true;
}

bool LastAnswerUnknown() { return last_answer_unknown; }

void TellUnknown(const std::string& text, const std::string& esquema, bool mostra) {
  ImpFisDebug("ERRO!!! " + text);
  stMensagemTaa += " " + text;
  if (!boNUtilTaa || !mostra) return;
  zel::Mensagem(text, "", "N", "N", zel::kDialogError, "", esquema, 0);
}

std::string UnknownText(const std::string& what, const std::string& may_have) {
  return "A impressora fiscal n\xE3o respondeu " + what + ", que pode ter sido " + may_have +
         ". N\xE3o foi poss\xEDvel saber se o comando foi executado: confira o cupom "
         "impresso antes de continuar.";
}

bool AnalyseCommand(const std::string& esquema, int32_t code, bool mostra, bool cancela_aberto,
                    bool avisa_pouco_papel) {
  StatusReading reading;
  const bool analysed =
      AnalyseReturn(esquema, code, mostra, cancela_aberto, avisa_pouco_papel, &reading);
  if (analysed || code != 1 || reading.Refused()) return analysed;
  ImpFisDebug("Comando executado pela impressora (retorno 1) apesar do estado informado");
  return true;
}

void ResetOutcomeState() {
  gross_baseline.reset();
  receipt_open_at_state_check = false;
  last_answer_unknown = false;
}

}  // namespace zel::core
