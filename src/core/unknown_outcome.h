// Commands whose answer was lost (code 0: the printer did not answer). Before
// a command is offered again, the printer is asked whether it carried it out,
// so that an item, a receipt or a reduction is never registered twice and a
// command that was done is not reported as failed. A command the printer
// cannot tell about is not offered again at all: the operator is told to
// check the printed receipt (TellUnknown).
//
// Items are checked against the day's gross sales. The driver keeps what the
// printer's gross sales should be (the baseline) without asking the printer
// during a sale: it is read when the driver starts and whenever the figure
// is read anyway, set to zero by a Z reduction, and raised by every item and
// subtotal surcharge the printer acknowledged. The baseline holds while this
// driver is the printer's only client, as on a till.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zel::core {

enum class Outcome {
  kDone,     // the printer carried the command out
  kNotDone,  // the printer did not carry it out: it may be sent again
  kUnknown,  // the printer cannot tell: the command is never sent again
};

// The printer's fiscal flags (1 receipt open, 2 closing started, 8 day
// closed by a Z, 32 Z pending, 64 linked slip or report open).
inline constexpr int32_t kFlagReceiptOpen = 1;
inline constexpr int32_t kFlagClosingStarted = 2;
inline constexpr int32_t kFlagDayClosed = 8;
inline constexpr int32_t kFlagZPending = 32;
inline constexpr int32_t kFlagDocumentOpen = 64;

// Quiet queries (debug log only, no dialog): nullopt when the printer does
// not answer or answers something that is not the figure.
std::optional<int32_t> ReadFiscalFlags();
std::optional<int64_t> ReadGrossSales();  // cents
std::optional<int32_t> ReadCoo();
std::optional<int64_t> ReadCancellations();      // the day's cancellations, cents
std::optional<int64_t> ReadCancelledReceipts();  // cancelled fiscal receipts

// ---- The gross-sales baseline ----
void ForgetGrossSales();
void SetGrossSales(int64_t cents);
// Adds to the baseline when it is known.
void AddGrossSales(int64_t cents);
std::optional<int64_t> KnownGrossSales();
// Reads the printer's gross sales into the baseline (nothing known when the
// query fails). Called outside any sale.
void LearnGrossSales();
// Learns the baseline from a gross-sales answer already read (18 digits).
void LearnGrossSalesFrom(std::string_view digits);

// What an item adds to the day's gross sales: price (two decimals) times
// quantity (three decimals) truncated to the cent, plus the item surcharge
// in cents, from the argument texts sent to the printer. nullopt when a
// text does not read as such a number.
std::optional<int64_t> ItemGrossCents(std::string_view price, std::string_view quantity,
                                      std::string_view surcharge_cents);
// An amount text with up to two decimals ("12,50", "3") in cents.
std::optional<int64_t> AmountCents(std::string_view text);

// Whether the last state check (Estado_Imp) saw a fiscal receipt open.
void NoteStateCheck(bool receipt_open);
bool ReceiptOpenAtStateCheck();

// ---- The checks ----
Outcome ItemOutcome(int64_t expected_cents);
Outcome ReceiptOpeningOutcome();
Outcome ClosingStartOutcome();
Outcome ClosingEndOutcome();
Outcome ReductionOutcome();
// A document that takes one COO of its own (the X reading, a non-fiscal
// receipt), against the COO read before it was sent.
Outcome NewDocumentOutcome(std::optional<int32_t> coo_before);
// A command that raises a printer figure (the day's cancellations, the
// cancelled-receipt count) against the figure read before it was sent:
// done when the figure rose, not done when it stayed.
Outcome RaisedOutcome(std::optional<int64_t> before, std::optional<int64_t> now);
// A gerencial report or linked slip opened (or fed), or closed.
Outcome DocumentOpeningOutcome();
Outcome DocumentClosingOutcome();

// Logs that `command` was found done although its answer was lost and tells
// the operator that nothing is missing: only on an attended till and when
// the caller shows dialogs (`mostra`, the operation's own show switch).
void TellDone(const std::string& command, const std::string& esquema, bool mostra);

// For a command answered `code`: true when the answer was lost and `check`
// finds the command done (the operator is then told, as by TellDone).
bool FoundDone(int32_t code, Outcome (*check)(), const std::string& command,
               const std::string& esquema, bool mostra);

// Whether the last command FoundDone saw had its answer lost and its check
// could not tell whether the printer carried it out (kUnknown). A caller
// that offers to send a failed command again asks this first: such a
// command is never sent again.
bool LastAnswerUnknown();

// A command whose answer was lost and whose outcome the printer cannot tell:
// it may have printed, so it is not sent again and the operator must look at
// the printed receipt. `text` says what may have been done and what to
// check; it goes to the debug log as an error and to stMensagemTaa, and is
// shown only on an attended till when the caller shows dialogs (`mostra`).
void TellUnknown(const std::string& text, const std::string& esquema, bool mostra);

// The text of TellUnknown for `what` (the command, as "ao item 789 - CAFE")
// and `may_have` ("registrado", "aberto"...).
std::string UnknownText(const std::string& what, const std::string& may_have);

// The return analysis of a printer command (AnalisaRetorno, same
// arguments): everything it finds is logged and shown as usual, but a
// command the printer answered 1 (done) is not reported as failed because of
// what the status read after it says (paper ran out, the printer went off
// before its status could be read): the host must not take a done command
// for a failed one. A status that was read and says the printer refused the
// command (a NAK, command not executed, cancellation not allowed, syntax or
// parameter errors) makes it a failure whatever the code.
bool AnalyseCommand(const std::string& esquema, int32_t code, bool mostra, bool cancela_aberto,
                    bool avisa_pouco_papel);

// Back to the state of a freshly loaded driver.
void ResetOutcomeState();

}  // namespace zel::core
