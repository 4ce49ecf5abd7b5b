// The grand-total check of the cashier's printer file "Vendrix.cds": the
// printer's grand total (GT) stored enciphered by the host is compared with
// the printer's current GT and recomposed or refused.
#include <exception>
#include <string>

#include "core/message_tables.h"
#include "hostutil/cipher.h"
#include "hostutil/files.h"
#include "hostutil/host_services.h"
#include "hostutil/layout.h"
#include "hostutil/numeric.h"
#include "hostutil/params.h"
#include "platform/platform.h"
#include "runtime/convert.h"
#include "runtime/memtable.h"
#include "zel01900/core.h"
#include "zel01900/counters.h"
#include "zel01900/data_module.h"
#include "zel01900/port_status.h"

namespace {

using zel::fiscal::kVendrixCipherKey;

// A stored GT equal to this marks a file whose GT the host reset: the
// printer's value is then taken without asking.
constexpr const char* kResetMark = "10,10";

// Shown when the check was asked for and the printer's grand total could not
// be read.
constexpr const char* kPrinterTotalUnreadable =
    "N\xE3o foi poss\xEDvel ler o totalizador geral da impressora fiscal. "
    "O totalizador geral gravado n\xE3o foi conferido.";

// Shown when the file holds no record of this printer: none for the branch
// and register, or none with the printer's serial number.
constexpr const char* kNoRecordForTill = "ArqConfig_Inv1";
constexpr const char* kSerialDoesNotMatch = "ArqConfig_Inv2";

void ShowNotice(const std::string& text, const std::string& esquema) {
  zel::Mensagem(text, "", "N", "N", zel::kDialogError, "", esquema, 0);
}

// The message of `key` with its "%s" replaced by the file's path.
std::string FileMessage(const char* key, const std::string& path) {
  std::string text = zel::core::MsgPadrao(key);
  const size_t at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, path);
  return text;
}

// A text as a filter literal: quoted, with its own quotes doubled, so that a
// branch or register code can never end the literal early.
std::string QuotedLiteral(const std::string& value) {
  std::string quoted = "'";
  for (char c : value) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  return quoted + "'";
}

// An amount text at two decimals; false when it is not a number.
bool AmountAtTwoDecimals(const std::string& text, double& out) {
  double value = 0;
  if (!zel::TryStrToFloat(text, value)) return false;
  out = zel::RoundDec(value, 2);
  return true;
}

// Stores `gt` enciphered in the current record and writes the whole table
// back to the file (replaced atomically, so a crash leaves the old file or
// the new one, never a torn one), then closes the table.
void StoreGrandTotal(zel::MemTable& table, const std::string& gt, const std::string& path) {
  table.Edit();
  table.FieldByName("CAMPO02").SetAsString(zel::Cripto(gt, kVendrixCipherKey));
  table.Post();
  zel::SaveTableToFile(table, path, zel::MemTable::PacketFormat::kBinary);
  table.Close();
}

}  // namespace

bool Atu_TotGeral(const zel::HostParams& params) {
  TdtmImpIBM& data_module = EnsureDataModule();
  const std::string filial = zel::RecebeParams(params, "CDFILIAL").AsString();
  const std::string caixa = zel::RecebeParams(params, "CDCAIXA").AsString();
  const std::string serie = zel::RecebeParams(params, "NRSERIEIMP").AsString();
  const std::string esquema = zel::RecebeParams(params, "ESQUEMACOR").AsString();
  const std::string valida = zel::RecebeParams(params, "IDVALIDA").AsString();
  const bool pode_recompor = zel::RecebeParams(params, "BOPODERECOMPORGT").AsBoolean();

  bool result = true;
  try {
    zel::platform::Platform& os = zel::platform::Current();
    const std::string path =
        zel::platform::JoinPath(os.ExecutableDirectory(), zel::fiscal::kVendrixFileName);
    zel::MemTable& table = data_module.cdsCheckECF;
    zel::LoadTableFromFile(table, path);
    const std::string this_till =
        "CDFILIAL = " + QuotedLiteral(filial) + " AND CDCAIXA = " + QuotedLiteral(caixa);
    table.SetFiltered(false);
    table.SetFilter(this_till +
                    " AND NRSERIEECF = " + QuotedLiteral(zel::Cripto(serie, kVendrixCipherKey)));
    table.SetFiltered(true);
    const bool validate = valida == "S";

    // A file without this printer's record (a key field changed or the
    // record missing) cannot be checked: the check is skipped, but never
    // silently. The till goes on, as with a missing file; the operator is
    // told when the host asked for the check (a store alone, inside another
    // operation, only logs it).
    if (table.IsEmpty()) {
      table.SetFiltered(false);
      table.SetFilter(this_till);
      table.SetFiltered(true);
      const std::string text =
          FileMessage(table.IsEmpty() ? kNoRecordForTill : kSerialDoesNotMatch, path);
      ImpFisDebug("ERRO!!! " + text);
      if (validate) ShowNotice(text, esquema);
      return result;
    }

    // Only printers whose record has the control switched on are checked.
    if (table.FieldByName("CAMPO01").AsString() != "S") return result;

    const std::string stored =
        zel::Uncripto(table.FieldByName("CAMPO02").AsString(), kVendrixCipherKey);
    std::string current;
    bool delivered = false;
    try {
      BuscaTotGer(esquema, current);
      delivered = inRetorno == 1;
    } catch (const std::exception&) {
      // An answer that is not an amount: when only storing, the conversion
      // error is reported like any other failure below.
      if (!validate) throw;
    }
    // A total the printer did not deliver (its code is in the debug log) is
    // neither stored nor compared: writing it would replace the host's
    // record of the grand total with whatever the answer buffer held. When
    // the host asked for the check, an unreadable total fails it: the till
    // must not take an unchecked grand total as a good one.
    if (!delivered) {
      if (validate) {
        ShowNotice(kPrinterTotalUnreadable, esquema);
        result = false;
      }
      return result;
    }

    if (!validate) {
      StoreGrandTotal(table, current, path);
      return result;
    }

    bool mismatch = true;
    if (!zel::EmptyString(stored)) {
      double stored_value = 0;
      double reset_value = 0;
      if (AmountAtTwoDecimals(stored, stored_value) &&
          AmountAtTwoDecimals(kResetMark, reset_value) && stored_value == reset_value) {
        StoreGrandTotal(table, current, path);
        return result;
      }
      double current_value = 0;
      if (!AmountAtTwoDecimals(stored, stored_value) ||
          !AmountAtTwoDecimals(current, current_value)) {
        // A value that is not a number never matches.
        stored_value = 0.0;
        current_value = 1.0;
      }
      mismatch = stored_value != current_value;
    }
    if (!mismatch) return result;

    if (pode_recompor) {
      ShowNotice(FileMessage("ArqConfig_Recompor", path), esquema);
      StoreGrandTotal(table, current, path);
    } else {
      ShowNotice(FileMessage("ArqConfig_Inv4", path), esquema);
      result = false;
    }
  } catch (const std::exception& error) {
    // A missing or unreadable file never blocks the till: the operator is
    // told and the host goes on with the result reached so far.
    ShowNotice(error.what(), esquema);
  }
  return result;
}
