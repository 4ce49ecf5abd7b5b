// The fault matrix: every operation of the host interface, called by name
// through the reference host's operation table, against every fault of the
// simulated printer. The per-call faults (NAK, a refusal code, done but no
// answer) are put on the 1st, 2nd, ... vendor call the operation makes (the
// status queries aside, which these faults never hit) until the operation
// makes no more; the standing conditions (printer off, paper out, the clock
// behind the fiscal day) are set before the call, then just before its 1st,
// 2nd, ... vendor call. Each run
// must return (no exception reaches the host), a failure of a document must
// reach the operator, and for the documents whose effect the printer shows
// the host's result must agree with what the printer did.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "host/operations.h"
#include "runtime/host_error.h"
#include "support/recording_host.h"
#include "support/sandbox_platform.h"
#include "zel01900/testing.h"
#include "zel01900/zel01900.h"

namespace ecf {
namespace {

using ControlFn = int32_t (*)(const char*, char*, int32_t);

// The printer state before the call.
enum class State {
  kStarted,      // the driver started, nothing open
  kReceipt,      // a receipt open with one item of 10,00
  kDayWithSale,  // a receipt of 10,00 paid in cash and closed
  kReport,       // a gerencial report open
  kLinkedSlip,   // after the sale, a linked slip open for its cash payment
  kTotalizers,   // the non-fiscal totalizers named by the configuration load
};

// What the printer shows when the operation's document was done; empty for
// the operations whose effect is not checked.
using Effect = std::function<bool(const std::string& before, const std::string& after)>;

struct SampleCall {
  std::string name;
  State setup;
  const char* args;
  Effect effect;
};

// The value of a line "<key> ..." of the simulated printer's state text: the
// word after `word` on that line.
std::string StateWord(const std::string& state, const std::string& word) {
  const size_t at = state.find(word + " ");
  if (at == std::string::npos) return "";
  const size_t start = at + word.size() + 1;
  return state.substr(start, state.find_first_of(" \n", start) - start);
}

bool ReceiptOpen(const std::string& state) { return StateWord(state, "open") == "receipt"; }

// ---- Standing conditions set in the middle of an operation ----
// Every vendor entry point is wrapped so that the condition is set just
// before the chosen call reaches the simulated printer.
struct MidCall {
  ControlFn control = nullptr;
  std::string command;
  int arm_at = 0;  // 0: not armed
  int calls = 0;
};
MidCall mid_call;

template <auto* Slot, typename Fn>
struct Interposer;
template <auto* Slot, typename... Args>
struct Interposer<Slot, int32_t (*)(Args...)> {
  static inline int32_t (*original)(Args...) = nullptr;
  static int32_t Call(Args... args) {
    if (++mid_call.calls == mid_call.arm_at) {
      char answer[512] = {};
      mid_call.control(mid_call.command.c_str(), answer, sizeof answer);
    }
    return original(args...);
  }
  static void Install() {
    original = *Slot;
    *Slot = &Call;
  }
};

void WrapEntryPoints() {
#define ZEL_WRAP_ENTRY_POINT(name, type) Interposer<&name, type>::Install();
  ZEL_VENDOR_ENTRY_POINTS(ZEL_WRAP_ENTRY_POINT)
#undef ZEL_WRAP_ENTRY_POINT
}

constexpr const char* kStartParams = R"({"params": {"CDFILIAL": "0001", "CDCAIXA": "001",
    "NRSERIEIMP": "IB010900000000000001", "ESQUEMA": "002", "CDPORTAIMPFIS": "COM1",
    "BOUTILTAA": false, "ESQUEMACOR": "002", "PORTAIMPFIS": "COM1"}})";

constexpr const char* kOpenParams = R"([{"params": {"ESQUEMACOR": "002", "INTTEFERRO": 0,
    "INCLUICPF": "", "INCLUINOME": "", "INCLUIENDERECO": "", "IDUTILTEF": "N",
    "UTILTEF": false}}])";

constexpr const char* kItemParams = R"([{"params": {"ESQUEMACOR": "002", "INTEFERRO": 0,
    "CDARVPROD": "7891000100103", "NMPROD": "ARROZ", "CDALIQ": "01", "QTDE": 1.0,
    "VALOR": 10.0, "DESCONT": 0.0, "ACRESCIMO": 0.0, "UNIDADE": "UN", "IDUTILTEF": "N",
    "UTILTEF": false}}])";

// A closing of 10,00 paid in cash, no change voucher.
constexpr const char* kClosing = R"([{"array": [null, "OBRIGADO", "002", null, false, true,
    0.0, 0.0, 0.0, "N", null, false, null,
    {"table": {"fields": [{"name": "CDFILIAL", "type": "string", "size": 40},
      {"name": "IDTIPOMOVIVE", "type": "string", "size": 40},
      {"name": "CDTIPORECE", "type": "string", "size": 40},
      {"name": "NMTIPORECE", "type": "string", "size": 40},
      {"name": "IDTIPORECE", "type": "string", "size": 40},
      {"name": "CDTIPOTROCO", "type": "string", "size": 40},
      {"name": "NRORDTROCO", "type": "string", "size": 40},
      {"name": "CDCLIENTE", "type": "string", "size": 40},
      {"name": "CDCONSUMIDOR", "type": "string", "size": 40},
      {"name": "DSIMPFISCAL", "type": "string", "size": 40},
      {"name": "CDFPIMPFIS", "type": "string", "size": 40},
      {"name": "NRCARTBANCO", "type": "string", "size": 40},
      {"name": "CDNSUHOSTTEF", "type": "string", "size": 40},
      {"name": "CDBANCARTCR", "type": "string", "size": 40},
      {"name": "CDTIPORECEORIG", "type": "string", "size": 40},
      {"name": "VRMOVIVEND", "type": "float"}, {"name": "VRMOVIVEOUT", "type": "float"},
      {"name": "VRCOTINDOUT", "type": "float"}, {"name": "DTHRINCMOV", "type": "datetime"},
      {"name": "DTMOVIMCAIXA", "type": "datetime"}],
     "rows": [["0001", "E", "001", "", "", "", "001", "", "", "", "", "", "", "", "", 10.0,
               null, null, "2026-12-10T09:01:00", null]]}},
    {"table": {"fields": [{"name": "CDTIPORECE", "type": "string", "size": 50},
      {"name": "NMTIPORECE", "type": "string", "size": 50},
      {"name": "IDTIPORECE", "type": "string", "size": 50}],
     "rows": [["001", "Dinheiro", "1"]]}},
    null, null, null, null, null, null, null, null, null, null, null, null, null, null, null,
    null, null, null, null, null, null, null, null, null, null, null, null, null, null, null,
    null, null, null, null, null, null, null, null, null, null, null]},
  {"list": []}, {"array": [null, null, null, null]}])";

constexpr const char* kEsquemaValor = R"(["002", ""])";

std::vector<SampleCall> SampleCalls() {
  const Effect opened = [](const std::string& before, const std::string& after) {
    return !ReceiptOpen(before) && ReceiptOpen(after);
  };
  const Effect sold = [](const std::string& before, const std::string& after) {
    return StateWord(before, "gross") != StateWord(after, "gross");
  };
  const Effect closed = [](const std::string& before, const std::string& after) {
    return ReceiptOpen(before) && !ReceiptOpen(after);
  };
  const Effect document_opened = [](const std::string& before, const std::string& after) {
    return StateWord(before, "open") == "none" && StateWord(after, "open") != "none";
  };
  const Effect document_closed = [](const std::string& before, const std::string& after) {
    return StateWord(before, "open") != "none" && StateWord(after, "open") == "none";
  };
  const Effect new_document = [](const std::string& before, const std::string& after) {
    return StateWord(before, "coo") != StateWord(after, "coo");
  };
  const Effect reduced = [](const std::string& before, const std::string& after) {
    return StateWord(before, "crz") != StateWord(after, "crz");
  };
  return {
      {"StartImpFiscal", State::kStarted, nullptr, {}},
      {"StopImpFiscal", State::kStarted, "[]", {}},
      {"AnalisaRetorno", State::kStarted, R"(["002", 1, true, false, false])", {}},
      {"ImpressoraOK", State::kStarted, R"(["002", true, false, false])", {}},
      {"ImpFisDebug", State::kStarted, R"(["linha"])", {}},
      {"retornaPathIBM", State::kStarted, "[]", {}},
      {"GetValue", State::kStarted, R"(["1.234,56"])", {}},
      {"FormataCNPJ", State::kStarted, R"(["12.345.678/0001-90"])", {}},
      {"StrToPChar", State::kStarted, R"(["abc"])", {}},
      {"Codigo_Nacional_ECF", State::kStarted, R"([1, "010900"])", {}},
      {"VerificaSerialImp",
       State::kStarted,
       R"([{"params": {"NRSERIEIMP": "IB010900000000000001"}}])",
       {}},
      {"VerificaTotalizador_IBM", State::kStarted, "[]", {}},
      {"cdsCheckECFAfterOpen",
       State::kStarted,
       R"([{"table": {"fields": [{"name": "A", "type": "string", "size": 5}], "rows": []}}])",
       {}},
      {"AbrePorta", State::kStarted, nullptr, {}},
      {"FechaPorta", State::kStarted, "[]", {}},
      {"Estado_Imp", State::kStarted, R"(["002", false, false])", {}},
      {"VerificaData", State::kStarted, R"(["002", 0.0, "", "", true])", {}},
      {"Data_Imp", State::kStarted, kEsquemaValor, {}},
      {"BuscaTotGer", State::kStarted, kEsquemaValor, {}},
      {"Modelo_Impressora", State::kStarted, R"(["002", "", "", ""])", {}},
      {"Versao_Software_Basico", State::kStarted, kEsquemaValor, {}},
      {"InfImpTerm", State::kStarted, R"(["002", 0, "", "", ""])", {}},
      {"Carrega_Dados_Impressora", State::kStarted, R"([{"params": {"ESQUEMA": "002"}}])", {}},
      {"CarregaTotalizador", State::kStarted, R"(["", "", "", "", "", "002", 0, null])", {}},
      {"CarregaRelatorioGer", State::kStarted, R"(["", "", "", "", "", "", "", 0])", {}},
      {"CarregaAliquota",
       State::kStarted,
       R"(["002", {"table": {"fields": [{"name": "CDALIQIMPFIS", "type": "string", "size": 10},
           {"name": "VRALIQIMPFIS", "type": "float"},
           {"name": "IDALIQIMPFIS", "type": "string", "size": 1}], "rows": []}}])",
       {}},
      {"CarregaRecebimento",
       State::kStarted,
       R"(["", "002", 0, {"table": {"fields": [{"name": "CDTIPORECE", "type": "string", "size": 50},
           {"name": "NMTIPORECE", "type": "string", "size": 50},
           {"name": "IDEMIVALE", "type": "string", "size": 50},
           {"name": "CDFPIMPFIS", "type": "string", "size": 50},
           {"name": "IDTIPORECE", "type": "string", "size": 50},
           {"name": "IDTPBUTTON", "type": "string", "size": 50},
           {"name": "DSIMPFISCAL", "type": "string", "size": 50},
           {"name": "IDMOSTRARECE", "type": "string", "size": 50}],
         "rows": [["002", "Cartao Credito", "", "", "3", "5", "Cartao Credito", "S"]]}}])",
       {}},
      {"Config_FormaPg", State::kStarted, R"(["002", "Cheque", true, false])", {}},
      {"AbreCupom", State::kStarted, kOpenParams, opened},
      {"VendaItem", State::kReceipt, kItemParams, sold},
      {"Nr_Cupom", State::kStarted, R"(["", "002"])", {}},
      {"FechaCupom", State::kReceipt, kClosing, closed},
      {"ContadorCupomFiscalMFD", State::kStarted, kEsquemaValor, {}},
      {"NumeroSubstituicoesProprietario", State::kStarted, kEsquemaValor, {}},
      {"NumeroOperacoesNaoFiscais", State::kStarted, kEsquemaValor, {}},
      {"VendaBruta", State::kStarted, kEsquemaValor, {}},
      {"Descontos", State::kStarted, kEsquemaValor, {}},
      {"Cancelamentos", State::kStarted, kEsquemaValor, {}},
      {"NumeroIntervencoes", State::kStarted, kEsquemaValor, {}},
      {"NumeroReducoes", State::kStarted, kEsquemaValor, {}},
      {"ContadorRelatoriosGerenciaisMFD", State::kStarted, kEsquemaValor, {}},
      {"ContadorComprovantesCreditoMFD", State::kStarted, kEsquemaValor, {}},
      {"Atu_TotGeral",
       State::kDayWithSale,
       R"([{"params": {"CDFILIAL": "0001", "CDCAIXA": "001",
           "NRSERIEIMP": "IB010900000000000001", "ESQUEMACOR": "002", "IDVALIDA": "N"}}])",
       {}},
      {"Leitura_X_Imp", State::kStarted, R"(["", "002", ""])", new_document},
      {"Reducao_Z_Imp", State::kDayWithSale, R"(["", "002", ""])", reduced},
      {"DadosUltimaRedZ",
       State::kStarted,
       R"([{"array": ["002"]}, {"array": [null, null]}, {"table": {"fields": []}}])",
       {}},
      {"Retorno_Aliquotas_Imp", State::kStarted, R"(["002"])", {}},
      {"Estado_Gaveta_Imp", State::kStarted, R"([""])", {}},
      {"Abre_Gaveta_Imp", State::kStarted, R"(["002", false])", {}},
      {"Guilhotina", State::kStarted, R"(["", 1])", {}},
      {"Estado_HorVerao", State::kStarted, R"([""])", {}},
      {"Muda_Horario", State::kStarted, R"([""])", {}},
      {"Relatorio_Gerencial_Imp", State::kStarted, R"(["002", "K1", "K2", ""])", document_opened},
      {"Usa_CompNFis", State::kStarted, R"(["002", "texto"])", {}},
      {"FechRelatGerenc", State::kReport, R"(["002", true, false])", document_closed},
      {"Relatorio_Generico", State::kStarted, R"(["002", "K1", "K2", "linha\n", "DOC", ""])", {}},
      {"Conferencia_Formatada", State::kStarted, R"(["002", "", "", "", "", "", "x"])", {}},
      {"GravaDocumentosNaoFiscais", State::kStarted, R"(["DOC", "002", "RG", ""])", {}},
      {"Abre_Comp_NFiscalVinc", State::kDayWithSale, R"(["002", "Dinheiro", "10,00", ""])",
       document_opened},
      {"Fecha_Comp_NFiscalVinc", State::kLinkedSlip, R"(["002"])", document_closed},
      {"Cupom_NFiscNVinc", State::kTotalizers, R"(["002", "01", "5,00", "Dinheiro"])",
       new_document},
      {"ImprimeTef",
       State::kDayWithSale,
       R"(["DOC", "K1", "K2", "002", {"list": ["via 1\n"]}, null, null, null, "", "Dinheiro", "",
           0.0, 10.0, 1, "N", "PDV"])",
       {}},
      {"CodigoBarra", State::kStarted, R"(["002", "K1", "K2", 0, "7891000100103", "EAN13"])", {}},
      {"Cancela_UltimoItem", State::kReceipt, R"([""])", {}},
      {"Cancela_ItGenerico",
       State::kReceipt,
       R"(["", "001", "", "", "", "", "", "", "", 0.0, 0.0])",
       {}},
      {"Cancela_Cupom_Imp",
       State::kReceipt,
       R"([{"array": ["002", true, false, null, "1", "1", "S", "N"]}, {"array": [null]}])",
       closed},
      {"Acrescimo_Imp", State::kStarted, R"(["", ""])", {}},
      {"Cupom_Troca", State::kStarted, R"(["002", "K1", "K2", "texto"])", {}},
      {"DataMoviFiscal", State::kStarted, R"([""])", {}},
      // Till documents, fiscal-memory readings and the fiscal menu's files:
      // only that they return, and tell the operator, under every fault.
      {"ExportRedZ",
       State::kStarted,
       R"(["", "002", "0001", 0, "@host_table", "@host_table", "@host_table", "@host_table", "@host_table"])",
       {}},
      {"Suprimento", State::kStarted, R"(["", "002", 10.5])", new_document},
      {"Sangria", State::kStarted, R"(["", "002", 0.0])", new_document},
      {"GeraReciboSangria",
       State::kStarted,
       R"(["", "DOC", "K1", "K2", "0001", 0, "", "@host_table", "@host_table", "@host_table", "@host_table", "@host_table", "@host_table", "@host_table", "@host_table", {"date": "2026-12-10T18:00:00"}, true, true, false, "@host_table", "@host_table", "@host_table", "@host_table", false, "@host_table", "N", "S", "N", "S", "002", false, false, true, "", ""])",
       {}},
      {"Relatorio_Produto",
       State::kStarted,
       R"(["", "A", "DOC", "K1", "K2", "", "@host_table", "N", "S", "002", false])",
       {}},
      {"RegistroVenda", State::kStarted, R"(["K1", "K2", "002", "@host_table", "0012"])", {}},
      {"ImprimeMesasAbertas",
       State::kStarted,
       R"(["@host_table", "K1", "K2", "002", "", "", "@host_table"])",
       {}},
      {"imprimeProdutosTransf",
       State::kStarted,
       R"(["K1", "K2", "002", "", "", "@host_table"])",
       {}},
      {"imprimeTipoRece", State::kStarted, R"(["K1", "K2", "002", "DOC", "texto\n", ""])", {}},
      {"Comp_DebitoCons",
       State::kStarted,
       R"(["002", "@host_table", 5.0, "Convenio", "4471", "ANA", "15", "", "", 50.0, 0.0, 0.0, "1", "", "T", "100", "", null])",
       {}},
      {"Imp_CompVenCred",
       State::kStarted,
       R"(["002", "@host_table", "@host_table", 5.0, "Credito", "4471", "ANA", "15", "", "", 10.0, 0.0, 0.0, "0"])",
       {}},
      {"Compr_CredPessoal",
       State::kStarted,
       R"(["", "", "DOC", "K1", "K2", "002", "", "", "@host_table", 20.0, "ANA", "0042", "", "", "", "", "", "", "", "", "", "", "", "", "", "LANCHES", false, ""])",
       {}},
      {"Cancela_Cred_Pessoal",
       State::kStarted,
       R"(["", "DOC", "K1", "K2", "002", "", "0042", "15", "ANA", "", "Dinheiro", 30.0, 20.0, "LANCHES"])",
       {}},
      {"Cabecalho", State::kStarted, R"(["K1", "002", "SALDO", "003", "", ""])", {}},
      {"ImpSaldo", State::kStarted, R"(["002", "@host_table", "4471", "ANA"])", {}},
      {"SaldoNegativo",
       State::kStarted,
       R"(["K1", "002", "@host_table", "@host_table", "SALDO", "003", "", ""])",
       {}},
      {"Saldo_CredPessoal", State::kStarted, R"(["K1", "K2", "002", "SALDO", "@host_table"])", {}},
      {"ImprimeProdBloq", State::kStarted, R"(["K1", "K2", "002", "@host_table"])", {}},
      {"Extrato", State::kStarted, R"(["linha\n", "002"])", {}},
      {"Memoria_Fiscal_Imp", State::kStarted, R"(["002", "R", "1", "1", ""])", {}},
      {"EmiteLeituraMemoriaFiscal", State::kStarted, R"(["002", "1", "1", "S", "REDUCAO"])", {}},
      {"EmiteLeituraMemoriaFiscalSerial",
       State::kStarted,
       R"([{"array": ["002", "01/12/2026", "10/12/2026", "S", "DATA"]}, null])",
       {}},
      {"geraEad", State::kStarted, R"(["ausente.txt"])", {}},
      {"geraEspelhoMfd",
       State::kStarted,
       R"([{"array": ["002", "", "", "", "", "", "10/12/2026", "10/12/2026", "1"]}, null])",
       {}},
      {"Gera_ArquivoMFD",
       State::kStarted,
       R"([{"array": [{"table": {"fields": [{"name": "NRSERIEECF", "type": "string", "size": 20}, {"name": "IDESQUEMA", "type": "string", "size": 20}, {"name": "CDFILIAL", "type": "string", "size": 20}, {"name": "CDCAIXA", "type": "string", "size": 20}, {"name": "CDPORTAIMPFIS", "type": "string", "size": 20}], "rows": [["IB010900000000000001", "002", "0001", "001", "COM1"]]}}, "01/12/2026", "10/12/2026", "MF", "D"]}, null])",
       {}},
      {"GeraCatGenerica",
       State::kStarted,
       R"([{"array": [{"table": {"fields": [{"name": "NRSERIEECF", "type": "string", "size": 20}, {"name": "IDESQUEMA", "type": "string", "size": 20}, {"name": "CDFILIAL", "type": "string", "size": 20}, {"name": "CDCAIXA", "type": "string", "size": 20}, {"name": "CDPORTAIMPFIS", "type": "string", "size": 20}], "rows": [["IB010900000000000001", "002", "0001", "001", "COM1"]]}}, "01/12/2026", "10/12/2026"]}, {"list": []}])",
       {}},
      {"DataHoraGravacaoUsuarioSWBasicoMFAdicional", State::kStarted, R"(["002", "", "", ""])", {}},
      {"ImprimeDadosPaf",
       State::kStarted,
       R"([{"array": ["K1", "K2", "002", "@host_table", "@host_table", "DOC"]}, null])",
       {}},
  };
}

// The host table the till documents and listings are given: empty, with the
// fields they read, so that they run to the end on any printer state.
constexpr const char* kHostTable = R"({"table": {"fields": [
    {"name": "VRSALDCONFAM", "type": "float"}, {"name": "VRMOVIVEND", "type": "float"},
    {"name": "NRMESA", "type": "string", "size": 20},
    {"name": "NRENVELOPE", "type": "string", "size": 20},
    {"name": "NMFAMILISALD", "type": "string", "size": 20},
    {"name": "CDTIPOCONS", "type": "string", "size": 20},
    {"name": "CDPRODUTO", "type": "string", "size": 20},
    {"name": "CDPROD", "type": "string", "size": 20},
    {"name": "NMTIPORECE", "type": "string", "size": 20},
    {"name": "NRMESADSCOMORIT", "type": "string", "size": 20},
    {"name": "NMTIPOCONS", "type": "string", "size": 20},
    {"name": "NMPROD", "type": "string", "size": 20},
    {"name": "CDPROTECLADO", "type": "string", "size": 20},
    {"name": "NMPRODUTO", "type": "string", "size": 20},
    {"name": "STQTDE", "type": "string", "size": 20}, {"name": "VRFECHAINF", "type": "float"},
    {"name": "STVALOR", "type": "string", "size": 20},
    {"name": "QTPRODCOMVEN", "type": "float"}, {"name": "VRPRECCOMVEN", "type": "float"},
    {"name": "SALDOFAM", "type": "float"}]}})";

// "@host_table" in a sample stands for kHostTable.
void PutHostTables(Json& json) {
  if (json == Json("@host_table")) {
    json = Json::parse(kHostTable);
  } else if (json.is_structured()) {
    for (auto& element : json) PutHostTables(element);
  }
}

Json ArgsOf(const SampleCall& sample) {
  if (sample.args == nullptr) return Json::array({Json::parse(kStartParams)});
  Json args = Json::parse(sample.args);
  PutHostTables(args);
  return args;
}

TEST(FaultMatrixSamplesTest, EveryOperationHasASampleCallOfItsShape) {
  std::map<std::string, const SampleCall*> samples;
  const std::vector<SampleCall> calls = SampleCalls();
  for (const SampleCall& call : calls) samples[call.name] = &call;
  for (const auto& [name, operation] : Operations()) {
    auto it = samples.find(name);
    if (it == samples.end()) {
      ADD_FAILURE() << name << " has no sample call in the fault matrix";
      continue;
    }
    EXPECT_NO_THROW(operation.check(ArgsOf(*it->second))) << name;
  }
  for (const SampleCall& call : calls) {
    EXPECT_EQ(Operations().count(call.name), 1u) << call.name << " is not an operation";
  }
}

struct Fault {
  const char* name;
  // A per-call fault: the control command, " nth N" added.
  const char* per_call;
  // A standing condition set before the call.
  const char* standing;
};

constexpr Fault kFaults[] = {
    {"printer off", nullptr, "power off"},
    {"paper out", nullptr, "paper end"},
    {"clock a day behind", nullptr, "clock-skew -86400"},
    {"NAK", "nak next", nullptr},
    {"refusal", "fail next -1", nullptr},
    {"done but no answer", "done-no-answer next", nullptr},
};

class FaultMatrixTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ZelResetModuleState();
    library_ = sandbox_.OpenLibrary("IBMFI32.dll");
    ASSERT_NE(library_, nullptr) << sandbox_.LastErrorText();
    control_ = reinterpret_cast<ControlFn>(sandbox_.LibrarySymbol(library_, "IBM_EMU_Control"));
    ASSERT_NE(control_, nullptr);
    Control("init");
  }
  void TearDown() override {
    zel::platform::LibraryHandle driver_handle = ImpFisDLLHandle;
    ZelResetModuleState();
    sandbox_.CloseLibrary(driver_handle);
    sandbox_.CloseLibrary(library_);
  }

  std::string Control(const std::string& command) {
    char answer[4096] = {};
    EXPECT_EQ(control_(command.c_str(), answer, sizeof answer), 1) << command << ": " << answer;
    return answer;
  }

  // A fresh printer and driver in the state the sample needs.
  void Prepare(State setup) {
    Control("reset");
    ZelResetModuleState();
    host_.Clear();
    host_.SetDefaultAnswer(false);
    Call("StartImpFiscal", Json::array({Json::parse(kStartParams)}), true);
    if (setup == State::kStarted) return;
    if (setup == State::kTotalizers) {
      FindOperation("CarregaTotalizador")
          .invoke(Json::parse(R"(["", "", "", "", "", "002", 0, null])"));
      host_.Clear();
      return;
    }
    if (setup == State::kReport) {
      Call("Relatorio_Gerencial_Imp", Json::parse(R"(["002", "K1", "K2", ""])"), true);
      host_.Clear();
      return;
    }
    Call("AbreCupom", Json::parse(kOpenParams), true);
    Call("VendaItem", Json::parse(kItemParams), true);
    if (setup != State::kReceipt) Call("FechaCupom", Json::parse(kClosing), true);
    if (setup == State::kLinkedSlip) {
      Call("Abre_Comp_NFiscalVinc", Json::parse(R"(["002", "Dinheiro", "10,00", ""])"), true);
    }
    host_.Clear();
  }

  void Call(const std::string& name, const Json& args, bool must_succeed) {
    const CallOutcome outcome = FindOperation(name).invoke(args);
    if (must_succeed) {
      ASSERT_EQ(outcome.result, Json(true)) << name;
    }
  }

  // Runs one sample under one fault; false when the fault did not fire (the
  // operation makes fewer vendor calls than `nth`).
  // A standing condition is set before the call for `nth` 0, else just
  // before the operation's `nth` vendor call.
  bool RunOnce(const SampleCall& sample, const Fault& fault, int nth) {
    Prepare(sample.setup);
    const std::string before = Control("state");
    mid_call = MidCall{control_, "", 0, 0};
    if (fault.per_call != nullptr) {
      Control(std::string(fault.per_call) + " nth " + std::to_string(nth));
    } else if (nth == 0) {
      Control(fault.standing);
    } else {
      mid_call.command = fault.standing;
      mid_call.arm_at = nth;
      WrapEntryPoints();
    }
    CallOutcome outcome;
    try {
      outcome = FindOperation(sample.name).invoke(ArgsOf(sample));
    } catch (const zel::ConvertError&) {
      // The host runtime's conversion error is the interface's own way of
      // telling that an answer was not a number (an unanswered grand-total
      // query): the host gets it as its own exception.
      outcome.result = Json(false);
    } catch (const std::exception& e) {
      ADD_FAILURE() << "an exception reached the host: " << e.what();
      return false;
    }
    const std::string state = Control("state");
    if ((fault.per_call != nullptr &&
         state.find(std::string(fault.per_call).substr(0, 4)) != std::string::npos) ||
        (mid_call.arm_at > 0 && mid_call.calls < mid_call.arm_at)) {
      mid_call = MidCall{};
      Control("clear");
      return false;  // the fault did not fire: no N-th call
    }
    mid_call = MidCall{};
    Control("clear");
    const std::string after = Control("state");
    if (sample.effect) {
      const bool done = sample.effect(before, after);
      EXPECT_EQ(outcome.result, Json(done))
          << "the printer " << (done ? "did" : "did not do") << " it\n"
          << before << "--\n"
          << after;
      if (outcome.result == Json(false)) {
        EXPECT_FALSE(host_.dialogs().empty()) << "the operator was not told";
      }
    }
    return true;
  }

  zel::test::SandboxPlatform sandbox_;
  zel::RecordingHost host_;
  zel::platform::LibraryHandle library_ = nullptr;
  ControlFn control_ = nullptr;
};

TEST_F(FaultMatrixTest, EveryOperationUnderEveryFaultOnEveryCall) {
  int runs = 0;
  for (const SampleCall& sample : SampleCalls()) {
    for (const Fault& fault : kFaults) {
      for (int nth = fault.per_call != nullptr ? 1 : 0; nth <= 40; ++nth) {
        SCOPED_TRACE(sample.name + " / " + fault.name + " / call " + std::to_string(nth));
        if (!RunOnce(sample, fault, nth)) break;
        ++runs;
      }
    }
  }
  // Every sample ran at least under the standing conditions.
  EXPECT_GE(runs, static_cast<int>(SampleCalls().size() * 3));
  RecordProperty("runs", runs);
}

}  // namespace
}  // namespace ecf
