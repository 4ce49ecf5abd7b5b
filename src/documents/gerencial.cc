// The gerencial-report cycle, whole texts printed as one report, and the
// record of each printed non-fiscal document with the host.
#include <exception>
#include <string>

#include "core/driver_support.h"
#include "core/unknown_outcome.h"
#include "documents/text_feed.h"
#include "hostutil/host_services.h"
#include "runtime/datetime.h"
#include "runtime/win1252.h"
#include "zel01900/core.h"
#include "zel01900/counters.h"
#include "zel01900/documents.h"
#include "zel01900/movement_date.h"
#include "zel01900/receipt.h"

bool Relatorio_Gerencial_Imp(const std::string& Esquema, const std::string& Chave1,
                             const std::string& Chave2, const std::string& /*Reservado*/) {
  inRetorno = IBM_FI_RelatorioGerencial(" ");
  ImpFisDebug("IBM_FI_RelatorioGerencial");
  const bool aberto = zel::core::FoundDone(inRetorno, zel::core::DocumentOpeningOutcome,
                                           "IBM_FI_RelatorioGerencial", Esquema, boNUtilTaa) ||
                      zel::core::AnalyseCommand(Esquema, inRetorno, boNUtilTaa, false, false);
  if (aberto) zel::GravaCER(Chave1, Chave2, DataMoviFiscal(Esquema));
  return aberto;
}

bool Usa_CompNFis(const std::string& /*Esquema*/, const std::string& Texto) {
  inRetorno = IBM_FI_UsaComprovanteNaoFiscalVinculado(zel::core::TextArg(Texto));
  ImpFisDebug("IBM_FI_UsaComprovanteNaoFiscalVinculado: " + Texto);
  return AnalisaRetorno("", inRetorno, boNUtilTaa, false, false);
}

bool FechRelatGerenc(const std::string& /*Esquema*/, bool Mostra, bool CancelaCupomAberto) {
  inRetorno = IBM_FI_FechaRelatorioGerencial();
  ImpFisDebug("IBM_FI_FechaRelatorioGerencial");
  if (zel::core::FoundDone(inRetorno, zel::core::DocumentClosingOutcome,
                           "IBM_FI_FechaRelatorioGerencial", "", Mostra)) {
    return true;
  }
  return zel::core::AnalyseCommand("", inRetorno, Mostra, CancelaCupomAberto, false);
}

bool Relatorio_Generico(const std::string& Esquema, const std::string& Chave1,
                        const std::string& Chave2, const std::string& Texto,
                        const std::string& ChaveDoc, const std::string& /*Reservado*/) {
  // A refused opening is not final (a report may already be open): the
  // feeds and the close decide. A refused feed left the text unprinted: the
  // report is closed, but not recorded as printed.
  Relatorio_Gerencial_Imp(Esquema, Chave1, Chave2, "");
  const bool impresso = zel::documents::FeedReportText(Esquema, Texto);
  const bool fechado = FechRelatGerenc(Esquema, true, false);
  if (fechado && impresso) GravaDocumentosNaoFiscais(ChaveDoc, Esquema, "RG", "");
  return fechado && impresso;
}

bool Conferencia_Formatada(const std::string& Esquema, const std::string& Chave1,
                           const std::string& Chave2, const std::string& ChaveDoc,
                           const std::string& /*Reservado*/, std::string& Numero,
                           const std::string& Texto) {
  try {
    Relatorio_Gerencial_Imp(Esquema, Chave1, Chave2, "");
    Numero = Nr_Cupom("", Esquema);
    const bool impresso = zel::documents::FeedReportText(Esquema, Texto);
    const bool fechado = FechRelatGerenc(Esquema, true, false);
    if (fechado && impresso) GravaDocumentosNaoFiscais(ChaveDoc, Esquema, "CM", "");
    return fechado && impresso;
  } catch (...) {
    return false;
  }
}

void GravaDocumentosNaoFiscais(const std::string& ChaveDoc, const std::string& Esquema,
                               const std::string& TipoDoc, const std::string& Extra) {
  try {
    std::string operacoes;
    if (TipoDoc != "NC") NumeroOperacoesNaoFiscais(Esquema, operacoes);
    const std::string cupom = Nr_Cupom("", Esquema);
    std::string relatorios;
    std::string comprovantes;
    if (TipoDoc == "CM" || TipoDoc == "RV" || TipoDoc == "RG") {
      ContadorRelatoriosGerenciaisMFD(Esquema, relatorios);
    } else if (TipoDoc == "CC") {
      ContadorComprovantesCreditoMFD(Esquema, comprovantes);
    }
    const zel::TDateTime movimento = zel::DateOf(DataMoviFiscal(Esquema));
    zel::setDocNaoFiscaisECF(zel::Win1252ToUtf16(ChaveDoc), zel::Win1252ToUtf16(cupom),
                             zel::Win1252ToUtf16(operacoes), zel::Win1252ToUtf16(relatorios),
                             zel::Win1252ToUtf16(comprovantes), zel::Win1252ToUtf16(TipoDoc),
                             zel::Win1252ToUtf16(Extra), zel::Now(), movimento, "");
  } catch (const std::exception& erro) {
    zel::Mensagem(erro.what(), "", "N", "N", zel::kDialogError, "", Esquema, 0);
  } catch (...) {
    zel::Mensagem(zel::core::Msg("ErroComando"), "", "N", "N", zel::kDialogError, "", Esquema, 0);
  }
}
