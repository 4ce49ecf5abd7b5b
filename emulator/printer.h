// The simulated fiscal printer: the rules of its documents and fiscal day
// over a PrinterMemory. Every command returns the vendor library's code (see
// ibmfi32.h) and records the status bytes that the next status query
// reports; refused commands leave the memory unchanged apart from that
// status. Printed documents accumulate as UTF-8 tape text until taken.
//
// The printer's clock is the computer's time (SetComputerTime) plus the
// configured offset, the clock-skew fault and the daylight-saving switches.
//
// Files: printer.cc (status, clock, fiscal day), receipt.cc (fiscal receipt),
// documents.cc (non-fiscal documents, drawer, cutter, barcodes, tables),
// readings.cc (X, Z, fiscal-memory readings).
#pragma once

#include <string>
#include <string_view>

#include "emulator/config.h"
#include "emulator/printer_state.h"
#include "emulator/tape.h"
#include "runtime/datetime.h"

namespace zel::emu {

// Vendor return codes.
inline constexpr int kOk = 1;
inline constexpr int kCommunicationError = 0;
inline constexpr int kExecutionError = -1;
inline constexpr int kInvalidParameter = -2;
inline constexpr int kRateNotProgrammed = -3;
inline constexpr int kIniMissing = -4;
inline constexpr int kPrinterOff = -6;
inline constexpr int kFormNotProgrammed = -24;
inline constexpr int kTotalizerNotProgrammed = -25;

// The largest amount a command takes: 14 digits of cents.
inline constexpr int64_t kMaxAmount = 99'999'999'999'999;

// Status bits.
inline constexpr int kSt1PaperOut = 128;
inline constexpr int kSt1PaperLow = 64;
inline constexpr int kSt1ClockError = 32;
inline constexpr int kSt1PrinterError = 16;
inline constexpr int kSt1Syntax = 8;
inline constexpr int kSt1UnknownCommand = 4;
inline constexpr int kSt1ReceiptOpen = 2;
inline constexpr int kSt1ParamCount = 1;
inline constexpr int kSt2ParamType = 128;
inline constexpr int kSt2MemoryFull = 64;
inline constexpr int kSt2MemoryError = 32;
inline constexpr int kSt2RateNotProgrammed = 16;
inline constexpr int kSt2RatesFull = 8;
inline constexpr int kSt2CancelNotAllowed = 4;
inline constexpr int kSt2OwnerNotProgrammed = 2;
inline constexpr int kSt2NotExecuted = 1;

inline constexpr int kAck = 6;
inline constexpr int kNak = 21;

// When the basic software was recorded and the printer initialised (its
// first intervention, CRO 1, and its MFD's first use): yyyymmdd, hhmmss.
inline constexpr std::string_view kSoftwareDate = "20260101";
inline constexpr std::string_view kSoftwareTime = "080000";

// IBM_FI_FlagsFiscais bits.
inline constexpr int kFlagReceiptOpen = 1;
inline constexpr int kFlagClosingStarted = 2;
inline constexpr int kFlagDaylightSaving = 4;
inline constexpr int kFlagDayClosed = 8;      // reduction made for today
inline constexpr int kFlagZPending = 32;      // a previous day awaits its reduction
inline constexpr int kFlagDocumentOpen = 64;  // linked receipt or gerencial report open

class Printer {
 public:
  Printer(EmulatorConfig config, PrinterMemory memory);

  const EmulatorConfig& config() const { return config_; }
  const PrinterMemory& memory() const { return memory_; }
  PrinterMemory& mutable_memory() { return memory_; }

  void SetComputerTime(TDateTime now) { computer_time_ = now; }
  TDateTime Now() const;
  int Today() const;  // yyyymmdd of Now()

  // ---- Status ----
  bool IsOff() const { return config_.power_off || memory_.faults.power_off; }
  PaperLevel Paper() const;
  // ACK, ST1 and ST2 of the last command with the standing conditions (paper,
  // open receipt) added. Changes nothing.
  void Status(int* ack, int* st1, int* st2) const;
  int FiscalFlags() const;
  int ExtendedStatus() const;
  bool ZPending() const;
  bool DayClosed() const;

  // A query: always accepted; clears the last command's error bits.
  int Query();
  // Fault outcomes decided by the caller: a refused command (ACK 21) and a
  // chosen return code without executing the command.
  int Nak();
  int Fail(int code);
  int NotAvailable();  // a command this printer does not offer: -1, ST2 not executed
  // A missing or unusable argument detected before the command runs: -2.
  int InvalidArgument();

  // ---- Fiscal receipt (receipt.cc) ----
  int OpenReceipt(std::string_view cpf, std::string_view name, std::string_view address);
  int SellItem(std::string_view code, std::string_view description, std::string_view tax,
               std::string_view price, std::string_view quantity, std::string_view surcharge,
               std::string_view discount, std::string_view department, std::string_view unit);
  int ExtendDescription(std::string_view description);
  int SetOneLineItems(int on);
  int CancelLastItem();
  int CancelItem(std::string_view number);
  int StartClosing(std::string_view kind, std::string_view mode, std::string_view value);
  int Pay(std::string_view form, std::string_view amount);
  int FinishClosing(std::string_view footer);
  int CancelReceipt();

  // ---- Non-fiscal documents and tables (documents.cc) ----
  int ProgramPaymentForm(std::string_view name, std::string_view linked);
  int NameTotalizer(int index, std::string_view name);
  int NonFiscalReceipt(std::string_view totalizer, std::string_view amount, std::string_view form);
  int OpenLinked(std::string_view form, std::string_view amount, std::string_view coo);
  int PrintText(std::string_view text);  // into the open linked receipt or report
  int CloseLinked();
  int Report(std::string_view text);  // opens the gerencial report when needed
  int CloseReport();
  int Supply(std::string_view amount, std::string_view form);
  int Withdrawal(std::string_view amount);
  int OpenDrawer();
  int DrawerState(int* state);
  int Cut(int mode);
  int Barcode(std::string_view kind, std::string_view data);
  int SwitchDaylightSaving();

  // ---- Readings (readings.cc) ----
  // Prints the X reading; with `to_text` the reading goes there instead of
  // the tape (the serial form).
  int ReadingX(std::string* to_text = nullptr);
  int ReductionZ();
  // The fiscal-memory reading of reductions by movement date (`start` and
  // `end` "ddmmyy", "ddmmyyyy", with or without "/") or by reduction number.
  // `type` "C" (any case) is the complete reading (each reduction's grand
  // total, tax totals and cancellations and discounts too); anything else the
  // simplified one. With `to_text` the reading goes there (Windows-1252, CR
  // LF) instead of the tape, and is neither printed nor counted.
  int FiscalMemoryReading(bool by_date, std::string_view start, std::string_view end,
                          std::string_view type = "S", std::string* to_text = nullptr);
  // The reductions of a movement-date range (yyyymmdd), for the files made
  // from the fiscal memory.
  std::vector<const ZRecord*> ReductionsBetween(int from, int to) const;
  // A date as the readings take it ("ddmmyy", "ddmmyyyy", with or without
  // "/") as yyyymmdd; 0 when it is not a valid date.
  static int ParseReadingDate(std::string_view text);

  // The tape text printed since the last call (UTF-8), emptied.
  std::string TakePrintout();
  // The document data kept with the printout on the MFD since the last call
  // (Windows-1252 lines ending CR LF, emptied): per fiscal receipt closed or
  // cancelled while open, "E14", "E15" (per item) and "E21" (per payment)
  // with their fields after the ECF's identification, as in the Ato COTEPE
  // 17/04 file; "C14" + CCF (6) for the last receipt cancelled afterwards;
  // per non-fiscal receipt, supply and withdrawal, "E19", "E20" (its
  // totalizer) and "E21" (its payment; none for a withdrawal).
  std::string TakeFiscalDetail();

 private:
  friend class PrinterTestPeer;
  int Ok();
  int Refuse(int code, int st1, int st2);
  // The common gate of a command that prints a new document: no document
  // open, paper, clock, owner, fiscal day. 1 or the refusal's code.
  int CheckNewDocument(bool fiscal_day_document);
  int CheckPaper();
  // Starts the fiscal day if needed and counts a new document's COO.
  int NextCoo(bool opens_day);
  void Print(const TapeDocument& doc, bool end_of_document);
  int FindForm(std::string_view name) const;  // index or -1
  bool IsIssPosition(int position) const;
  void CancelReceiptTotals(const Receipt& r);
  void KeepFiscalDetail(const Receipt& r);
  // A non-fiscal receipt of one totalizer (`totalizer` as the file names
  // it), paid with payment form `form` (-1: no payment, a withdrawal).
  void KeepNonFiscalDetail(int coo, int gnf, std::string_view totalizer, int64_t amount, int form);

  EmulatorConfig config_;
  PrinterMemory memory_;
  TDateTime computer_time_ = 0;
  std::string printout_;
  std::string fiscal_detail_;
};

}  // namespace zel::emu
