// Port opening and closing, the printer's state and clock checks.
#include "zel01900/port_status.h"

#include <cstdint>
#include <string>

#include "core/message_tables.h"
#include "core/unknown_outcome.h"
#include "hostutil/host_services.h"
#include "hostutil/params.h"
#include "hostutil/timing.h"
#include "platform/platform.h"
#include "runtime/convert.h"
#include "runtime/format.h"
#include "zel01900/core.h"
#include "zel01900/counters.h"
#include "zel01900/data_module.h"

namespace {

// Printer answer of IBM_FI_VerificaImpressoraLigada when it is off.
constexpr int32_t kPrinterOff = -6;
// ST1 with only the open-receipt bit set.
constexpr int32_t kOnlyReceiptOpen = 2;
// Largest accepted clock difference, as hours * 100 + minutes.
constexpr int kMaxClockDifference = 15;

// Files the host writes while a sale is in progress; finding one at start-up
// means the sale was interrupted.
constexpr const char* kPendingSaleFiles[] = {"cdsVenda.cds", "cdsItensCancelados.cds"};

// Characters [first, first + count) of `text` (1-based first), cut at the
// end of the text, as the host's Copy does.
std::string Copy(const std::string& text, size_t first, size_t count) {
  if (first < 1 || first > text.size()) return "";
  return text.substr(first - 1, count);
}

std::string StringParam(const zel::HostParams& params, std::string_view key) {
  return zel::RecebeParams(params, key).AsString();
}

void ShowErrorNotice(const std::string& text, const std::string& esquema) {
  zel::Mensagem(text, "", "N", "N", zel::kDialogError, "", esquema, 0);
}

// The host executable's folder in short form, ending in "\".
std::string HostFolder() {
  zel::platform::Platform& os = zel::platform::Current();
  std::string folder = os.ShortPath(os.ExecutableDirectory());
  if (folder.empty() || (folder.back() != '\\' && folder.back() != '/')) folder += '\\';
  return folder;
}

bool InterruptedSalePending() {
  const std::string folder = HostFolder();
  for (const char* name : kPendingSaleFiles) {
    if (zel::platform::Current().FileExists(folder + name)) return true;
  }
  return false;
}

std::string AnswerLog(const char* entry_point, const std::string& answer) {
  return std::string(entry_point) + "\r\nRetorno da Impressora : " + answer;
}

// Difference between the printer's clock (DDMMYYHHMMSS, seconds ignored) and
// the computer's, as hours * 100 + minutes within the day. Raises the
// runtime's conversion error when the text is not a date and time.
int ClockDifference(const std::string& data_hora) {
  const std::string text = Copy(data_hora, 1, 2) + "/" + Copy(data_hora, 3, 2) + "/" +
                           Copy(data_hora, 5, 2) + " " + Copy(data_hora, 7, 2) + ":" +
                           Copy(data_hora, 9, 2);
  const zel::TDateTime printer = zel::StrToDateTime(text);
  std::string diff = zel::SubtDataHoraLum(printer, zel::Now());
  if (diff.find('-') != std::string::npos) diff = Copy(diff, 2, 5);
  return zel::StrToInt(zel::FormatDateTime("hhnn", zel::StrToTime(diff)));
}

// DDMMYY read with the century of the current year.
zel::TDateTime FiscalDate(const std::string& ddmmyy) {
  const std::string century = Copy(zel::FormatDateTime("yyyy", zel::Now()), 1, 2);
  return zel::StrToDate(Copy(ddmmyy, 1, 2) + "/" + Copy(ddmmyy, 3, 2) + "/" + century +
                        Copy(ddmmyy, 5, 2));
}

}  // namespace

bool AbrePorta(const zel::HostParams& params) {
  EnsureDataModule();
  const std::string filial = StringParam(params, "CDFILIAL");
  const std::string caixa = StringParam(params, "CDCAIXA");
  const std::string serie = StringParam(params, "NRSERIEIMP");
  const std::string esquema = StringParam(params, "ESQUEMACOR");
  // The vendor library opens the port named in its own configuration file;
  // the key is still read so that a bad value fails here as it always did.
  StringParam(params, "PORTAIMPFIS");

  IBM_FI_AbrePortaSerial();

  zel::TDateTime data = 0;
  std::string data_hora;
  if (!VerificaData(esquema, data, data_hora, "", true)) return false;

  if (IBM_FI_VerificaImpressoraLigada() == kPrinterOff) {
    const std::string text = zel::core::MsgPadrao("ImpDeslig");
    ImpFisDebug("ERRO!!! " + text);
    ShowErrorNotice(text, esquema);
    return false;
  }

  // Whatever a stopped session left open is closed; the printer refuses these
  // when nothing is open, so their answers say nothing useful.
  IBM_FI_FechaComprovanteNaoFiscalVinculado();
  IBM_FI_FechaRelatorioGerencial();

  int32_t ack = 0;
  int32_t st1 = 0;
  int32_t st2 = 0;
  IBM_FI_RetornoImpressora(&ack, &st1, &st2);

  if (st1 == kOnlyReceiptOpen || InterruptedSalePending()) {
    IBM_FI_CancelaCupom();
    zel::HostParams total_params = zel::MakeParams({{"CDFILIAL", filial},
                                                    {"CDCAIXA", caixa},
                                                    {"NRSERIEIMP", serie},
                                                    {"ESQUEMACOR", esquema},
                                                    {"IDVALIDA", "N"}});
    Atu_TotGeral(total_params);
  }
  return true;
}

bool FechaPorta() { return IBM_FI_FechaPortaSerial() == 1; }

bool Estado_Imp(const std::string& esquema, bool /*nao_usado1*/, bool /*nao_usado2*/) {
  bool result = false;
  try {
    int32_t ack = 0;
    int32_t st1 = 0;
    int32_t st2 = 0;
    inRetorno = IBM_FI_VerificaEstadoImpressora(&ack, &st1, &st2);
    zel::core::NoteStateCheck(inRetorno == 1 && (st1 & kOnlyReceiptOpen) != 0);
    stMensagemTaa.clear();
    result = AnalisaRetorno(esquema, inRetorno, boNUtilTaa, false, false);
  } catch (...) {
    // A status check that cannot be completed (the debug log cannot be
    // written, for instance) counts as a printer that is not ready.
    result = false;
  }
  boClieUtil = result;
  return result;
}

bool VerificaData(const std::string& esquema, zel::TDateTime& data,
                  std::string& data_hora_impressora, const std::string& data_fiscal,
                  bool consultar) {
  bool result = true;
  try {
    if (consultar && !Data_Imp(esquema, data_hora_impressora)) {
      boClieUtil = false;
      return false;
    }
    if (!data_hora_impressora.empty() &&
        ClockDifference(data_hora_impressora) > kMaxClockDifference) {
      if (boNUtilTaa) boClieUtil = false;
      // Shown even on a self-service terminal: a wrong printer clock must be
      // corrected by someone before the till can work.
      ShowErrorNotice(zel::core::MsgPadrao("Datadif"), esquema);
      result = false;
    }
    data = data_fiscal.empty() ? zel::Date() : FiscalDate(data_fiscal);
  } catch (...) {
    data = zel::Date();
  }
  return result;
}

bool Data_Imp(const std::string& esquema, std::string& data_hora) {
  std::string data(6, ' ');
  std::string hora(6, ' ');
  inRetorno = IBM_FI_DataHoraImpressora(data.data(), hora.data());
  data_hora = data + hora;
  ImpFisDebug(AnswerLog("IBM_FI_DataHoraImpressora", data_hora));
  return AnalisaRetorno(esquema, inRetorno, boNUtilTaa || !boClieUtil, false, false);
}

bool BuscaTotGer(const std::string& esquema, std::string& total) {
  std::string buffer(18, ' ');
  inRetorno = IBM_FI_GrandeTotal(buffer.data());
  ImpFisDebug(AnswerLog("IBM_FI_GrandeTotal", buffer));
  total = zel::FloatToStr(GetValue(buffer));
  AnalisaRetorno(esquema, inRetorno, false, false, false);
  return true;
}

bool Modelo_Impressora(const std::string& esquema, std::string& marca, std::string& modelo,
                       std::string& tipo) {
  marca.assign(15, ' ');
  modelo.assign(20, ' ');
  tipo.assign(7, ' ');
  const int32_t code =
      IBM_FI_MarcaModeloTipoImpressoraMFD(marca.data(), modelo.data(), tipo.data());
  ImpFisDebug(
      AnswerLog("IBM_FI_MarcaModeloTipoImpressoraMFD", marca + " - " + modelo + " - " + tipo));
  return AnalisaRetorno(esquema, code, true, false, false);
}

bool Versao_Software_Basico(const std::string& esquema, std::string& versao) {
  versao.assign(6, ' ');
  const int32_t code = IBM_FI_VersaoFirmwareMFD(versao.data());
  ImpFisDebug(AnswerLog("IBM_FI_VersaoFirmwareMFD", versao));
  return AnalisaRetorno(esquema, code, true, false, false);
}

bool InfImpTerm(const std::string& esquema, int32_t /*nao_usado*/, std::string& primeiro_coo,
                std::string& cupons_cancelados, std::string& ultimo_coo) {
  std::string primeiro(6, ' ');
  std::string ultimo(6, ' ');
  inRetorno = IBM_FI_InicioFimCOOsMFD(primeiro.data(), ultimo.data());
  ImpFisDebug(AnswerLog("IBM_FI_InicioFimCOOsMFD", primeiro + " - " + ultimo));
  AnalisaRetorno(esquema, inRetorno, false, false, false);
  primeiro_coo = primeiro;
  ultimo_coo = ultimo;

  std::string cancelados(4, ' ');
  inRetorno = IBM_FI_NumeroCuponsCancelados(cancelados.data());
  ImpFisDebug(AnswerLog("IBM_FI_NumeroCuponsCancelados", cancelados));
  AnalisaRetorno(esquema, inRetorno, false, false, false);
  cupons_cancelados = cancelados;
  return true;
}
