// Cancellations of items and of the receipt, the surcharge total and the
// exchange slip.
#include "zel01900/cancellations.h"

#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "core/unknown_outcome.h"
#include "documents/text_feed.h"
#include "hostutil/layout.h"
#include "receipt/driver_support.h"
#include "runtime/convert.h"
#include "runtime/format.h"
#include "zel01900/core.h"
#include "zel01900/counters.h"
#include "zel01900/documents.h"
#include "zel01900/receipt.h"

namespace {

// Element `index` of the host's array; a shorter array reads as empty.
zel::HostVariant At(const std::vector<zel::HostVariant>& params, size_t index) {
  return index < params.size() ? params[index] : zel::HostVariant();
}

bool IsErrorAnswer(const std::string& numero) {
  std::string upper = numero;
  for (char& c : upper) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  return upper == "ERRO";
}

// A cancellation whose answer was lost (code 0) is taken as done when the
// printer's figure read before it (`before`) has risen since: the host must
// not believe an item or receipt still stands that the printer cancelled.
bool CancellationFoundDone(int32_t code, std::optional<int64_t> before,
                           std::optional<int64_t> (*read)(), const std::string& command,
                           const std::string& esquema, bool mostra) {
  if (code != 0 || !before) return false;
  if (zel::core::RaisedOutcome(before, read()) != zel::core::Outcome::kDone) return false;
  zel::core::TellDone(command, esquema, mostra);
  return true;
}

}  // namespace

bool Cancela_UltimoItem(const std::string& /*NaoUsado*/) {
  // The day's cancellations before the command tell, should its answer be
  // lost, whether the printer cancelled the item.
  const std::optional<int64_t> before = zel::core::ReadCancellations();
  inRetorno = IBM_FI_CancelaItemAnterior();
  ImpFisDebug("IBM_FI_CancelaItemAnterior");
  if (CancellationFoundDone(inRetorno, before, zel::core::ReadCancellations,
                            "IBM_FI_CancelaItemAnterior", "", true)) {
    return true;
  }
  return zel::core::AnalyseCommand("", inRetorno, true, false, false);
}

bool Cancela_ItGenerico(const std::string& /*NaoUsado*/, const std::string& NumeroItem,
                        const std::u16string& /*NaoUsado1*/, const std::u16string& /*NaoUsado2*/,
                        const std::u16string& /*NaoUsado3*/, const std::u16string& /*NaoUsado4*/,
                        const std::u16string& /*NaoUsado5*/, const std::u16string& /*NaoUsado6*/,
                        const std::u16string& /*NaoUsado7*/, double /*NaoUsado8*/,
                        double /*NaoUsado9*/) {
  // The host numbers items with five digits, the printer with four.
  const std::string item = NumeroItem.size() > 1 ? NumeroItem.substr(1, 4) : std::string();
  const std::optional<int64_t> before = zel::core::ReadCancellations();
  inRetorno = IBM_FI_CancelaItemGenerico(zel::core::TextArg(item));
  ImpFisDebug("IBM_FI_CancelaItemGenerico : " + item);
  if (CancellationFoundDone(inRetorno, before, zel::core::ReadCancellations,
                            "IBM_FI_CancelaItemGenerico", "", false)) {
    return true;
  }
  return zel::core::AnalyseCommand("", inRetorno, false, false, false);
}

bool Cancela_Cupom_Imp(const std::vector<zel::HostVariant>& Params, zel::HostVariant& Resultado) {
  try {
    const std::string esquema = At(Params, 0).AsString();
    const bool mostra = At(Params, 1).AsBoolean();
    const bool cancela_aberto = At(Params, 2).AsBoolean();
    const std::string filial = At(Params, 4).AsString();
    const std::string caixa = At(Params, 5).AsString();
    const std::string serie = At(Params, 6).AsString();
    std::string registra = "N";
    try {
      registra = At(Params, 7).AsString();
    } catch (const std::exception&) {
      registra = "N";
    }

    const std::string lido = Nr_Cupom("", esquema);
    const bool numero_lido = !IsErrorAnswer(lido);
    std::string numero;
    bool resultado = false;
    if (numero_lido) {
      numero = zel::Ajusta(zel::IntToStr(zel::StrToInt(lido)), 6);
      const std::optional<int64_t> before = zel::core::ReadCancelledReceipts();
      const int32_t codigo = IBM_FI_CancelaCupom();
      ImpFisDebug("IBM_FI_CancelaCupom");
      resultado = CancellationFoundDone(codigo, before, zel::core::ReadCancelledReceipts,
                                        "IBM_FI_CancelaCupom", esquema, mostra) ||
                  zel::core::AnalyseCommand(esquema, codigo, mostra, cancela_aberto, false);
    }
    if (Resultado.IsArray() && !Resultado.Elements().empty()) {
      Resultado.Elements()[0] = zel::HostVariant(numero);
    }
    // The host's record of the grand total follows the printer's, whether
    // the cancellation went through or not.
    Atu_TotGeral(zel::MakeParams({{"CDFILIAL", filial},
                                  {"CDCAIXA", caixa},
                                  {"NRSERIEIMP", serie},
                                  {"ESQUEMACOR", esquema},
                                  {"IDVALIDA", "N"}}));
    // Only a cancellation the printer made is a document to record.
    if (registra == "N" && resultado) GravaDocumentosNaoFiscais(serie, esquema, "NC", "");
    return resultado;
  } catch (const std::exception&) {
    return false;
  }
}

bool Acrescimo_Imp(const std::string& /*NaoUsado*/, std::string& Saida) {
  Saida.assign(14, ' ');
  inRetorno = IBM_FI_Acrescimos(Saida.data());
  ImpFisDebug(zel::core::AnswerLog("IBM_FI_Acrescimos", Saida));
  return AnalisaRetorno("", inRetorno, false, false, false);
}

bool Cupom_Troca(const std::string& Esquema, const std::string& Chave1, const std::string& Chave2,
                 const std::string& Texto) {
  Relatorio_Gerencial_Imp(Esquema, Chave1, Chave2, "");
  const bool impresso = zel::documents::FeedReportText(Esquema, Texto);
  return FechRelatGerenc(Esquema, true, false) && impresso;
}
