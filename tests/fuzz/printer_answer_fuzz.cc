// libFuzzer target: the fixed-width answers the printer writes into the
// driver's buffers, and the texts the driver reads numbers from. Every vendor
// entry point is replaced by one that writes fuzzed bytes into the caller's
// buffers (never more than the blanks the caller filled), sets fuzzed status
// bytes and answers a fuzzed return code; then one driver operation that reads
// printer answers runs. Whatever the printer answers, an operation may report
// failure or raise a host-runtime exception (zel::HostError), but must not
// crash, read outside a buffer or raise anything else.
//
// Input: one byte choosing the operation, then the bytes the fake printer
// answers with, in call order (see Answer*).
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "hostutil/params.h"
#include "platform/platform.h"
#include "runtime/datetime.h"
#include "runtime/host_error.h"
#include "runtime/memtable.h"
#include "zel01900/testing.h"
#include "zel01900/zel01900.h"

namespace {

FuzzedDataProvider* input = nullptr;

// ---- The fake printer ----

int32_t AnswerCode() {
  if (input->ConsumeBool()) return 1;
  static constexpr int32_t kCodes[] = {0, -1, -2, -3, -4, -5, -6, -24, -25, 1, 2, -27};
  return input->PickValueInArray(kCodes);
}

// A result buffer: the caller filled it with blanks (a NUL-terminated text);
// the answer overwrites at most that many characters and adds no terminator.
void Answer(char* buffer) {
  if (buffer == nullptr) return;
  const size_t width = std::strlen(buffer);
  const std::string bytes = input->ConsumeRandomLengthString(width);
  std::memcpy(buffer, bytes.data(), std::min(width, bytes.size()));
}
void Answer(int32_t* value) {
  if (value != nullptr) *value = input->ConsumeIntegral<uint8_t>();
}
void Answer(const char*) {}
void Answer(int32_t) {}

template <typename Fn>
struct FakeEntry;
template <typename... Args>
struct FakeEntry<int32_t (*)(Args...)> {
  static int32_t Call(Args... args) {
    (Answer(args), ...);
    return AnswerCode();
  }
};

void InstallFakePrinter() {
#define ZEL_FUZZ_FAKE(name, type) name = &FakeEntry<type>::Call;
  ZEL_VENDOR_ENTRY_POINTS(ZEL_FUZZ_FAKE)
#undef ZEL_FUZZ_FAKE
}

// ---- A platform that keeps nothing: no log file, no folders, a fixed clock ----

class FuzzPlatform : public zel::platform::PlatformWrapper {
 public:
  FuzzPlatform() : PlatformWrapper(&zel::platform::Native()) {}
  std::string SystemDirectory() override { return "/nonexistent/zel-fuzz/system"; }
  std::string ExecutableDirectory() override { return "/nonexistent/zel-fuzz/host"; }
  bool FileExists(const std::string&) override { return false; }
  bool DirectoryExists(const std::string&) override { return false; }
  bool MakeDirectory(const std::string&) override { return false; }
  bool WriteWholeFile(const std::string&, const std::string&) override { return true; }
  bool WriteFileAtomically(const std::string&, const std::string&) override { return true; }
  bool AppendToFile(const std::string&, const std::string&) override { return true; }
  bool ReadWholeFile(const std::string&, std::string* out) override {
    out->clear();
    return false;
  }
  zel::TDateTime Now() override { return zel::EncodeDateTime(2026, 12, 10, 10, 0, 0, 0); }
  void Delay(int) override {}
  void ProcessMessages() override {}
  void RequestTermination() override {}
};

// The host's payment-form table for CarregaRecebimento.
void FillPaymentForms(zel::MemTable& table) {
  for (const char* name : {"CDTIPORECE", "NMTIPORECE", "IDEMIVALE", "CDFPIMPFIS", "IDTIPORECE",
                           "IDTPBUTTON", "DSIMPFISCAL", "IDMOSTRARECE"}) {
    table.AddField(name, zel::FieldType::kString, 50);
  }
  table.CreateDataSet();
  table.AppendRecord({"001", "Dinheiro", "", "", "1", "5", "Dinheiro", "S"});
  table.AppendRecord({"002", "Cartao", "", "", "3", "5",
                      "Cart\xE3o Cr\xE9"
                      "dito",
                      "S"});
  table.AppendRecord({"003", "Vale", "", "", "4", "5", "Vale Refei\xE7\xE3o", "N"});
}

void RunOperation(uint8_t which) {
  const std::string esquema = "002";
  std::string a, b, c, d;
  switch (which % 16) {
    case 0:
      GetValue(input->ConsumeRemainingBytesAsString());
      break;
    case 1:
      FormataCNPJ(input->ConsumeRemainingBytesAsString());
      break;
    case 2: {
      zel::MemTable rates;
      CarregaAliquota(esquema, rates);
      for (rates.First(); !rates.Eof(); rates.Next()) rates.FieldByName("VRALIQIMPFIS").AsFloat();
      break;
    }
    case 3:
      CarregaTotalizador(a, b, c, d, "", esquema, 0, nullptr);
      break;
    case 4: {
      zel::HostParams params = zel::MakeParams({{"ESQUEMA", esquema}});
      Carrega_Dados_Impressora(params);
      break;
    }
    case 5:
      NumeroReducoes(esquema, a);
      break;
    case 6:
      ContadorCupomFiscalMFD(esquema, a);
      NumeroSubstituicoesProprietario(esquema, a);
      NumeroOperacoesNaoFiscais(esquema, a);
      VendaBruta(esquema, a);
      Descontos(esquema, a);
      Cancelamentos(esquema, a);
      NumeroIntervencoes(esquema, a);
      ContadorRelatoriosGerenciaisMFD(esquema, a);
      ContadorComprovantesCreditoMFD(esquema, a);
      break;
    case 7:
      BuscaTotGer(esquema, a);
      break;
    case 8: {
      zel::TDateTime data = 0;
      std::string data_hora;
      VerificaData(esquema, data, data_hora, input->ConsumeRandomLengthString(16), true);
      break;
    }
    case 9: {
      zel::TDateTime data = 0;
      std::string data_hora = input->ConsumeRandomLengthString(16);
      VerificaData(esquema, data, data_hora, input->ConsumeRemainingBytesAsString(), false);
      break;
    }
    case 10:
      InfImpTerm(esquema, 0, a, b, c);
      Modelo_Impressora(esquema, a, b, c);
      Versao_Software_Basico(esquema, a);
      Nr_Cupom("", esquema);
      Data_Imp(esquema, a);
      break;
    case 11:
      AnalisaRetorno(esquema, AnswerCode(), input->ConsumeBool(), input->ConsumeBool(),
                     input->ConsumeBool());
      ImpressoraOK(esquema, input->ConsumeBool(), input->ConsumeBool(), input->ConsumeBool());
      Estado_Imp(esquema, false, false);
      break;
    case 12: {
      zel::MemTable forms;
      FillPaymentForms(forms);
      CarregaRecebimento("", esquema, 0, forms);
      break;
    }
    case 13:
      AbrePorta(zel::MakeParams({{"CDFILIAL", "0001"},
                                 {"CDCAIXA", "001"},
                                 {"NRSERIEIMP", "IB010900000000000001"},
                                 {"ESQUEMACOR", esquema},
                                 {"PORTAIMPFIS", "COM1"}}));
      break;
    case 14: {
      zel::HostVariant result = zel::HostVariant::MakeArray(std::vector<zel::HostVariant>(49));
      zel::MemTable taxes;
      DadosUltimaRedZ({esquema}, result, taxes);
      Retorno_Aliquotas_Imp(esquema);
      break;
    }
    case 15:
      Estado_Gaveta_Imp("");
      Estado_HorVerao("");
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzPlatform* platform = [] {
    auto* p = new FuzzPlatform();
    zel::platform::SetCurrent(p);
    return p;
  }();
  (void)platform;

  FuzzedDataProvider in(data, size);
  input = &in;
  const uint8_t which = in.ConsumeIntegral<uint8_t>();
  // The module's variables start afresh for each input. The data module is
  // kept: building it again costs nine tenths of the run, and the operations
  // fuzzed here empty or recreate the tables they use.
  static TdtmImpIBM* data_module = [] {
    ZelResetModuleState();
    return &EnsureDataModule();
  }();
  boImpFiscalOK = false;
  boClieUtil = false;
  inRetorno = 0;
  stMensagemTaa.clear();
  IdTotRelatorio.clear();
  IdTotParcCV.clear();
  IdTotParcVCons.clear();
  IdTotCompCred.clear();
  IdTotCancCred.clear();
  stAliquotaIss.clear();
  dtmImpIBM = data_module;
  InstallFakePrinter();
  boNUtilTaa = (which & 0x80) != 0;
  try {
    RunOperation(which);
  } catch (const zel::HostError&) {
    // The runtime's exceptions reach the host by design.
  }
  input = nullptr;
  return 0;
}
