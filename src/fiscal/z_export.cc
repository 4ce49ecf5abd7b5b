// ExportRedZ: the data of the coming Z reduction for the host's tables.
#include "zel01900/z_export.h"

#include <exception>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "config/config_support.h"
#include "core/driver_support.h"
#include "documents/block_feed.h"
#include "hostutil/host_services.h"
#include "hostutil/layout.h"
#include "platform/platform.h"
#include "runtime/convert.h"
#include "runtime/format.h"
#include "runtime/memtable.h"
#include "zel01900/cancellations.h"
#include "zel01900/core.h"
#include "zel01900/counters.h"
#include "zel01900/data_module.h"
#include "zel01900/movement_date.h"
#include "zel01900/port_status.h"
#include "zel01900/receipt.h"

namespace {

using zel::MemTable;

// Vendor records read by the export.
constexpr size_t kRatesBytes = 79;
constexpr size_t kRateRecord = 5;  // four digits and a separator
constexpr int kMaxRates = 16;
constexpr size_t kPartialTotalsBytes = 445;
constexpr size_t kPartialTotal = 14;
constexpr size_t kExemptAt = 225;        // 1-based position 226
constexpr size_t kNonIncidenceAt = 240;  // 241
constexpr size_t kSubstitutionAt = 255;  // 256
constexpr size_t kNonFiscalBytes = 2200;
constexpr size_t kNonFiscalRecord = 44;
constexpr size_t kPaymentFormsBytes = 3016;
constexpr size_t kPaymentFormRecord = 58;

// The folders under the host's folder, Windows-1252.
constexpr const char* kDataFolder = "Dados";
constexpr const char* kReductionsFolder =
    "Dados\\Redu\xE7\xF5"
    "es";

// `count` characters of `text` from 0-based `at` ("" past its end).
std::string Piece(const std::string& text, size_t at, size_t count) {
  return at < text.size() ? text.substr(at, count) : std::string();
}

// An amount of the printer (digits, two implied decimals); a blank answer
// (a query that failed) reads as zero.
double Amount(const std::string& digits) {
  return zel::EmptyString(digits) ? 0.0 : GetValue(digits);
}

// Calls a vendor list query with a buffer of `size` blanks; the code goes to
// inRetorno and is not analysed.
template <typename Query>
std::string ReadList(const char* entry_point, Query query, size_t size) {
  std::string buffer(size, ' ');
  inRetorno = query(buffer.data());
  ImpFisDebug(zel::core::AnswerLog(entry_point, buffer));
  return buffer;
}

void EnsureFolder(const std::string& base, const char* folder) {
  zel::platform::Platform& os = zel::platform::Current();
  const std::string path = zel::platform::JoinPath(base, folder);
  if (os.DirectoryExists(path) || os.MakeDirectory(path)) return;
  zel::Mensagem(zel::core::Msg("N_POS_DIR") + " " + path, "", "N", "N", zel::kDialogError, "",
                "002", 0);
}

// Starts `table` anew, empty, with the fields it has.
void Recreate(MemTable& table) {
  table.Close();
  table.CreateDataSet();
}

void SetRowKey(MemTable& table, const std::string& nr_ecf, zel::TDateTime movement_date) {
  table.FieldByName("NRECFREDZ").SetAsString(nr_ecf);
  table.FieldByName("DTREDUCAOZ").SetAsDateTime(movement_date);
}

class ZExport {
 public:
  ZExport(TdtmImpIBM& dm, const std::string& esquema, const std::string& nr_ecf)
      : dm_(dm), esquema_(esquema), nr_ecf_(nr_ecf) {}

  void ReadIdentity() {
    receipt_number_ = Nr_Cupom("", esquema_);
    std::string tipo;
    Modelo_Impressora(esquema_, marca_, modelo_, tipo);
    NumeroSubstituicoesProprietario(esquema_, substitutions_);
  }

  void Fill() {
    movement_date_ = DataMoviFiscal(esquema_);
    SummaryCounters();
    SummaryAmounts();
    TaxRows();
    dm_.cdsReducaoZ.Post();
    NonFiscalRows();
    PaymentRows();
  }

 private:
  void Set(const char* field, const std::string& value) {
    dm_.cdsReducaoZ.FieldByName(field).SetAsString(value);
  }
  void Set(const char* field, double value) {
    dm_.cdsReducaoZ.FieldByName(field).SetAsFloat(value);
  }

  void SummaryCounters() {
    MemTable& z = dm_.cdsReducaoZ;
    Recreate(z);
    z.Append();
    SetRowKey(z, nr_ecf_, movement_date_);
    std::string value;
    NumeroOperacoesNaoFiscais(esquema_, value);
    Set("NRGERCNFREDZ", value);
    NumeroIntervencoes(esquema_, value);
    Set("NRREINIREDZ", value);
    NumeroReducoes(esquema_, value);
    Set("NRREDREDZ", value);
    Set("NRLEITREDZ", std::string("0000000000"));
    Set("NRCANCFREDZ", std::string("0000000000"));
    Set("NRPRIMCFREDZ", std::string("0000000000"));
    // The reduction closes after the current receipt: its last operation is
    // the next number.
    const int next = zel::StrToInt(zel::config::Trim(receipt_number_)) + 1;
    Set("NRULTCFREDZ", zel::Ajusta(zel::Ajusta(zel::IntToStr(next), 6), 10));
  }

  void SummaryAmounts() {
    std::string grand_total;
    BuscaTotGer(esquema_, grand_total);
    std::string gross, cancellations, discounts, surcharges;
    VendaBruta(esquema_, gross);
    Cancelamentos(esquema_, cancellations);
    Descontos(esquema_, discounts);
    Acrescimo_Imp("", surcharges);
    const double gross_value = Amount(gross);
    const double cancelled = Amount(cancellations);
    const double discounted = Amount(discounts);
    // BuscaTotGer writes the total as the runtime's plain number text.
    Set("VRGTREDZ",
        zel::EmptyString(grand_total) ? 0.0 : zel::StrToFloat(zel::config::Trim(grand_total)));
    Set("VRVENBRUREDZ", gross_value);
    Set("VRTOTCANREDZ", cancelled);
    Set("VRTOTDESREDZ", discounted);
    Set("VRVENLIQREDZ", (gross_value - cancelled) - discounted);
    Set("VRTOTACRREDZ", Amount(surcharges));
    Set("VRISSREDZ", 0.0);
    Set("DSMODMARCAECF",
        zel::core::Cut(zel::config::Trim(marca_) + "|" + zel::config::Trim(modelo_), 30));
    Set("CDMFADICIONAL", std::string());
    Set("NRUSUARIOMFD", substitutions_);
  }

  void TaxRows() {
    MemTable& taxes = dm_.cdsImpostoRedZ;
    Recreate(taxes);
    std::string rates = ReadList("IBM_FI_RetornoAliquotas", IBM_FI_RetornoAliquotas, kRatesBytes);
    const std::string partials =
        ReadList("IBM_FI_VerificaTotalizadoresParciais", IBM_FI_VerificaTotalizadoresParciais,
                 kPartialTotalsBytes);
    size_t rate_at = 0;
    size_t partial_at = 0;
    for (int position = 1; position <= kMaxRates; ++position) {
      const std::string rate_digits = Piece(rates, rate_at, 4);
      // "0000" ends the programmed rates; blanks are a list the printer did
      // not deliver.
      if (zel::EmptyString(rate_digits) || rate_digits == "0000") break;
      const double rate = GetValue(rate_digits);
      const double base = Amount(Piece(partials, partial_at, kPartialTotal));
      taxes.Append();
      SetRowKey(taxes, nr_ecf_, movement_date_);
      taxes.FieldByName("CDALIQIMPRZ").SetAsString(zel::IntToStr(position));
      taxes.FieldByName("VRALIQIMPRZ").SetAsFloat(rate);
      taxes.FieldByName("VRBCALCIMPRZ").SetAsFloat(base);
      taxes.FieldByName("VRIMPOSTORZ").SetAsFloat(base * rate / 100);
      taxes.FieldByName("IDTPIMPREDZ").SetAsString("T");
      taxes.Post();
      rate_at += kRateRecord;
      partial_at += kPartialTotal;
    }
    Set("VRISENCREDZ", Amount(Piece(partials, kExemptAt, kPartialTotal)));
    Set("VRNINCIDREDZ", Amount(Piece(partials, kNonIncidenceAt, kPartialTotal)));
    Set("VRSTRIBREDZ", Amount(Piece(partials, kSubstitutionAt, kPartialTotal)));
  }

  void NonFiscalRows() {
    MemTable& totals = dm_.cdsTotNFiscRedZ;
    Recreate(totals);
    const std::string list = ReadList("IBM_FI_VerificaRecebimentoNaoFiscal",
                                      IBM_FI_VerificaRecebimentoNaoFiscal, kNonFiscalBytes);
    int written = 0;
    // The records run while some text remains; a blank slot in between is
    // skipped like an unnamed one.
    const size_t end = zel::RTrim(list).size();
    for (size_t at = 0; at < end; at += kNonFiscalRecord) {
      const std::string name = Piece(list, at + 24, 19);
      // Slots without a name (blank, or the printer's "0..." filler) are not
      // totalizers.
      if (zel::EmptyString(name) || name[0] == '0' || name[0] == ' ') continue;
      totals.Append();
      SetRowKey(totals, nr_ecf_, movement_date_);
      totals.FieldByName("NRTOTNFISCRZ").SetAsString(zel::Ajusta(zel::IntToStr(++written), 2));
      totals.FieldByName("DSTOTNFISCRZ").SetAsString(name);
      totals.FieldByName("NRCONTOTNFIS").SetAsString(Piece(list, at, 4));
      totals.FieldByName("VRACUTOTNFIS").SetAsFloat(Amount(Piece(list, at + 4, 20)));
      totals.Post();
    }
  }

  // The host's payment types by name (upper case, trailing blanks ignored):
  // the code of the first row with that name.
  std::unordered_map<std::string, std::string> HostCodesByName() {
    std::unordered_map<std::string, std::string> codes;
    MemTable& types = dm_.cdsTipoRece;
    if (!types.Active()) return codes;
    zel::Field& name = types.FieldByName("NMTIPORECE");
    zel::Field& code = types.FieldByName("CDTIPORECE");
    for (types.First(); !types.Eof(); types.Next()) {
      codes.emplace(zel::config::Upper(zel::RTrim(name.AsString())), code.AsString());
    }
    return codes;
  }

  void PaymentRows() {
    MemTable& payments = dm_.cdsFormPgtoRedZ;
    Recreate(payments);
    const std::string list = ReadList("IBM_FI_VerificaFormasPagamento",
                                      IBM_FI_VerificaFormasPagamento, kPaymentFormsBytes);
    const auto codes = HostCodesByName();
    // Row position of each host code already written (upper case).
    std::unordered_map<std::string, int> rows;
    for (size_t at = 0; at < list.size() && !zel::EmptyString(Piece(list, at, 15));
         at += kPaymentFormRecord) {
      const std::string name = zel::config::Trim(Piece(list, at, 15));
      const auto found = codes.find(zel::config::Upper(name));
      if (found == codes.end()) continue;
      const std::string& code = found->second;
      const double amount = Amount(Piece(list, at + 16, 20));
      const auto [row, fresh] = rows.emplace(zel::config::Upper(code), payments.RecordCount() + 1);
      if (fresh) {
        payments.Append();
        SetRowKey(payments, nr_ecf_, movement_date_);
        payments.FieldByName("CDTIPORECE").SetAsString(code);
        payments.FieldByName("CDTPRECEORIG").SetAsString(code);
        payments.FieldByName("VRFORMPGTORZ").SetAsFloat(amount);
      } else {
        payments.SetRecNo(row->second);
        payments.Edit();
        zel::Field& sum = payments.FieldByName("VRFORMPGTORZ");
        sum.SetAsFloat(sum.AsFloat() + amount);
      }
      payments.Post();
    }
  }

  TdtmImpIBM& dm_;
  const std::string& esquema_;
  const std::string& nr_ecf_;
  std::string receipt_number_;
  std::string marca_;
  std::string modelo_;
  std::string substitutions_;
  zel::TDateTime movement_date_ = 0;
};

}  // namespace

bool ExportRedZ(const std::string& /*NaoUsado*/, const std::string& Esquema,
                const std::string& NrEcf, int /*NaoUsado2*/, const zel::MemTable& TipoRece,
                zel::MemTable& ReducaoZ, zel::MemTable& FormPgto, zel::MemTable& Imposto,
                zel::MemTable& TotNFisc) {
  try {
    TdtmImpIBM& dm = EnsureDataModule();
    const std::string base =
        zel::platform::Current().ShortPath(zel::platform::Current().ExecutableDirectory());
    EnsureFolder(base, kDataFolder);
    EnsureFolder(base, kReductionsFolder);

    zel::documents::CopyTable(dm.cdsTipoRece, TipoRece);
    zel::documents::CopyTable(dm.cdsReducaoZ, ReducaoZ);
    zel::documents::CopyTable(dm.cdsFormPgtoRedZ, FormPgto);
    zel::documents::CopyTable(dm.cdsImpostoRedZ, Imposto);
    zel::documents::CopyTable(dm.cdsTotNFiscRedZ, TotNFisc);

    ZExport exporter(dm, Esquema, NrEcf);
    exporter.ReadIdentity();
    try {
      exporter.Fill();
    } catch (const std::exception&) {
      // The host still receives the rows completed so far.
    }
    ReducaoZ.SetData(dm.cdsReducaoZ.Data());
    TotNFisc.SetData(dm.cdsTotNFiscRedZ.Data());
    FormPgto.SetData(dm.cdsFormPgtoRedZ.Data());
    Imposto.SetData(dm.cdsImpostoRedZ.Data());
  } catch (const std::exception&) {
    // Nothing is reported: the export never fails towards the host.
  }
  return true;
}
