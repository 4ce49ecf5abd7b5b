#include "host/operations.h"

#include "host/invoker.h"
#include "zel01900/zel01900.h"

namespace ecf {
namespace {

// Every operation the driver exports, by its exported name.
// clang-format off
#define ECF_OPERATION(name) {#name, Operation{detail::MakeInvoker(&name), detail::MakeChecker(&name), true}}
#define ECF_OFFLINE(name) {#name, Operation{detail::MakeInvoker(&name), detail::MakeChecker(&name), false}}
// clang-format on

// DataMoviFiscal answers a date-time, which is a plain number in C++: shown
// as a date.
zel::HostVariant MovementDate(const std::string& nao_usado) {
  return zel::HostVariant::FromDateTime(DataMoviFiscal(nao_usado));
}

std::map<std::string, Operation> BuildOperations() {
  return {
      // Start and stop, return analysis, debug log and helpers.
      ECF_OFFLINE(StartImpFiscal),
      ECF_OFFLINE(StopImpFiscal),
      ECF_OPERATION(AnalisaRetorno),
      ECF_OPERATION(ImpressoraOK),
      ECF_OFFLINE(ImpFisDebug),
      ECF_OFFLINE(retornaPathIBM),
      ECF_OFFLINE(GetValue),
      ECF_OFFLINE(FormataCNPJ),
      ECF_OFFLINE(StrToPChar),
      ECF_OFFLINE(Codigo_Nacional_ECF),
      ECF_OFFLINE(VerificaSerialImp),
      ECF_OFFLINE(VerificaTotalizador_IBM),
      ECF_OFFLINE(cdsCheckECFAfterOpen),
      // Port, status, date check and identity.
      ECF_OPERATION(AbrePorta),
      ECF_OPERATION(FechaPorta),
      ECF_OPERATION(Estado_Imp),
      ECF_OPERATION(VerificaData),
      ECF_OPERATION(Data_Imp),
      ECF_OPERATION(BuscaTotGer),
      ECF_OPERATION(Modelo_Impressora),
      ECF_OPERATION(Versao_Software_Basico),
      ECF_OPERATION(InfImpTerm),
      // Printer configuration loads.
      ECF_OPERATION(Carrega_Dados_Impressora),
      ECF_OPERATION(CarregaTotalizador),
      ECF_OPERATION(CarregaRelatorioGer),
      ECF_OPERATION(CarregaAliquota),
      ECF_OPERATION(CarregaRecebimento),
      ECF_OPERATION(Config_FormaPg),
      // Fiscal receipt.
      ECF_OPERATION(AbreCupom),
      ECF_OPERATION(VendaItem),
      ECF_OPERATION(Nr_Cupom),
      ECF_OPERATION(FechaCupom),
      // Counters and grand total.
      ECF_OPERATION(ContadorCupomFiscalMFD),
      ECF_OPERATION(NumeroSubstituicoesProprietario),
      ECF_OPERATION(NumeroOperacoesNaoFiscais),
      ECF_OPERATION(VendaBruta),
      ECF_OPERATION(Descontos),
      ECF_OPERATION(Cancelamentos),
      ECF_OPERATION(NumeroIntervencoes),
      ECF_OPERATION(NumeroReducoes),
      ECF_OPERATION(ContadorRelatoriosGerenciaisMFD),
      ECF_OPERATION(ContadorComprovantesCreditoMFD),
      ECF_OPERATION(Atu_TotGeral),
      // Non-fiscal print cycle, linked receipts and card slips, barcode,
      // cancellations and the movement date.
      ECF_OPERATION(Relatorio_Gerencial_Imp),
      ECF_OPERATION(Usa_CompNFis),
      ECF_OPERATION(FechRelatGerenc),
      ECF_OPERATION(Relatorio_Generico),
      ECF_OPERATION(Conferencia_Formatada),
      ECF_OPERATION(GravaDocumentosNaoFiscais),
      ECF_OPERATION(Abre_Comp_NFiscalVinc),
      ECF_OPERATION(Fecha_Comp_NFiscalVinc),
      ECF_OPERATION(Cupom_NFiscNVinc),
      ECF_OPERATION(ImprimeTef),
      ECF_OPERATION(CodigoBarra),
      ECF_OPERATION(Cancela_UltimoItem),
      ECF_OPERATION(Cancela_ItGenerico),
      ECF_OPERATION(Cancela_Cupom_Imp),
      ECF_OPERATION(Acrescimo_Imp),
      ECF_OPERATION(Cupom_Troca),
      {"DataMoviFiscal",
       Operation{detail::MakeInvoker(&MovementDate), detail::MakeChecker(&MovementDate), true}},
      // Fiscal readings and last-Z data; drawer, cutter and daylight saving.
      ECF_OPERATION(Leitura_X_Imp),
      ECF_OPERATION(Reducao_Z_Imp),
      ECF_OPERATION(DadosUltimaRedZ),
      ECF_OPERATION(Retorno_Aliquotas_Imp),
      ECF_OPERATION(Estado_Gaveta_Imp),
      ECF_OPERATION(Abre_Gaveta_Imp),
      ECF_OPERATION(Guilhotina),
      ECF_OPERATION(Estado_HorVerao),
      ECF_OPERATION(Muda_Horario),
      // Till documents: the Z export, cash in and out with the closing
      // reports, product and table reports, consumer-account slips and
      // balance listings.
      ECF_OPERATION(ExportRedZ),
      ECF_OPERATION(Suprimento),
      ECF_OPERATION(Sangria),
      ECF_OPERATION(GeraReciboSangria),
      ECF_OPERATION(Relatorio_Produto),
      ECF_OPERATION(RegistroVenda),
      ECF_OPERATION(ImprimeMesasAbertas),
      ECF_OPERATION(imprimeProdutosTransf),
      ECF_OPERATION(imprimeTipoRece),
      ECF_OPERATION(Comp_DebitoCons),
      ECF_OPERATION(Imp_CompVenCred),
      ECF_OPERATION(Compr_CredPessoal),
      ECF_OPERATION(Cancela_Cred_Pessoal),
      ECF_OPERATION(Cabecalho),
      ECF_OPERATION(ImpSaldo),
      ECF_OPERATION(SaldoNegativo),
      ECF_OPERATION(Saldo_CredPessoal),
      ECF_OPERATION(ImprimeProdBloq),
      ECF_OPERATION(Extrato),
      // Fiscal-memory readings, the EAD signature and the fiscal menu's files.
      ECF_OPERATION(Memoria_Fiscal_Imp),
      ECF_OPERATION(EmiteLeituraMemoriaFiscal),
      ECF_OPERATION(EmiteLeituraMemoriaFiscalSerial),
      ECF_OFFLINE(geraEad),
      ECF_OPERATION(geraEspelhoMfd),
      ECF_OPERATION(Gera_ArquivoMFD),
      ECF_OFFLINE(GeraCatGenerica),
      ECF_OFFLINE(DataHoraGravacaoUsuarioSWBasicoMFAdicional),
      ECF_OPERATION(ImprimeDadosPaf),
  };
}

#undef ECF_OPERATION
#undef ECF_OFFLINE

}  // namespace

const std::map<std::string, Operation>& Operations() {
  static const std::map<std::string, Operation> operations = BuildOperations();
  return operations;
}

const Operation& FindOperation(const std::string& name) {
  const auto& operations = Operations();
  auto it = operations.find(name);
  if (it == operations.end()) throw CallError("unknown operation \"" + name + "\"");
  return it->second;
}

bool DriverStarted() { return IBM_FI_RetornoImpressora != nullptr; }

}  // namespace ecf
