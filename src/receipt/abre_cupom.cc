// Opening of the fiscal receipt.
#include "core/unknown_outcome.h"
#include "hostutil/params.h"
#include "receipt/driver_support.h"
#include "receipt/item_format.h"
#include "zel01900/core.h"
#include "zel01900/counters.h"
#include "zel01900/port_status.h"
#include "zel01900/receipt.h"

using zel::RecebeParams;
using zel::receipt::Cut;
using zel::receipt::TextArg;

bool AbreCupom(zel::HostParams& Params) {
  const zel::FormatSettings& fs = zel::receipt::HostLocale();
  auto text = [&](const char* key) { return RecebeParams(Params, key).AsString(fs); };
  const std::string esquema = text("ESQUEMACOR");
  const int marcador_lido = RecebeParams(Params, "INTTEFERRO").AsInteger(fs);
  const std::string cpf = text("INCLUICPF");
  const std::string nome = text("INCLUINOME");
  const std::string endereco = text("INCLUIENDERECO");
  std::string cupom = text("CUPNR");
  std::string contador = text("CONTCUPOM");
  const std::string uso_tef = text("IDUTILTEF");
  const bool util_tef = RecebeParams(Params, "UTILTEF").AsBoolean();
  // Part of the host's uniform interface; read (so that a value of the wrong
  // kind fails as it does for every printer) but not used here.
  for (const char* key : {"TIPOTICKET", "IVACOMP", "IVAPROP", "TIPODOC", "NRDOC", "MESA"}) {
    text(key);
  }

  if (!Estado_Imp(esquema, false, false)) return false;

  int marcador = marcador_lido;
  const std::string cpf_arg = Cut(cpf, 29);
  const std::string nome_arg = Cut(nome, 30);
  const std::string endereco_arg = Cut(endereco, 80);
  bool aberto = false;
  for (;;) {
    inRetorno = IBM_FI_AbreCupomMFD(TextArg(cpf_arg), TextArg(nome_arg), TextArg(endereco_arg));
    ImpFisDebug("IBM_FI_AbreCupomMFD :" + cpf + " - " + nome + " - " + endereco);
    stMensagemTaa.clear();
    const zel::core::Outcome desfecho =
        inRetorno == 0 ? zel::core::ReceiptOpeningOutcome() : zel::core::Outcome::kNotDone;
    if (inRetorno == 0 && desfecho == zel::core::Outcome::kDone) {
      zel::core::TellDone("IBM_FI_AbreCupomMFD", esquema, boNUtilTaa);
      aberto = true;
      if (util_tef) boClieUtil = false;
      break;
    }
    aberto = zel::core::AnalyseCommand(esquema, inRetorno, boNUtilTaa, false, true);
    // A lost answer that cannot be checked may have opened the receipt: it
    // is never offered again.
    if (inRetorno == 0 && desfecho == zel::core::Outcome::kUnknown) {
      zel::core::TellUnknown(zel::core::UnknownText("\xE0 abertura do cupom", "aberto"), esquema,
                             boNUtilTaa);
      if (util_tef) boClieUtil = false;
      break;
    }
    if (aberto || !boNUtilTaa) {
      if (util_tef) boClieUtil = false;
      break;
    }
    if (!(zel::receipt::IsCardUse(uso_tef) && util_tef)) break;
    if (!zel::receipt::AskOperator(zel::receipt::Msg("Imp_N_Resp"), esquema)) return false;
    marcador = 1;
  }

  if (aberto) {
    cupom = Nr_Cupom("", esquema);
    ContadorCupomFiscalMFD(esquema, contador);
  }
  Params = zel::MakeParams({{"INTTEFERRO", marcador},
                            {"INCLUICPF", cpf},
                            {"INCLUINOME", nome},
                            {"INCLUIENDERECO", endereco},
                            {"CUPNR", cupom},
                            {"CONTCUPOM", contador},
                            {"MENSAGEMTAA", stMensagemTaa}});
  return aberto;
}
