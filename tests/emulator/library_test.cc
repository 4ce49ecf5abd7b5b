// The library as the driver sees it: loaded through the platform layer, with
// IBMFI32.INI in the sandbox's system directory and the memory in files.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "emulator/config.h"
#include "emulator/ibmfi32.h"
#include "emulator/mfd.h"
#include "emulator/persistence.h"
#include "emulator/printer.h"
#include "platform/platform.h"
#include "support/sandbox_platform.h"

namespace zel::emu::test {
namespace {

const char* const kEntryPoints[] = {
    "IBM_FI_AbrePortaSerial",
    "IBM_FI_FechaPortaSerial",
    "IBM_FI_VerificaEstadoImpressora",
    "IBM_FI_RetornoImpressora",
    "IBM_FI_FechaRelatorioGerencial",
    "IBM_FI_LeArquivoRetorno",
    "IBM_FI_DataMovimento",
    "IBM_FI_DataHoraImpressora",
    "IBM_FI_NumeroCaixa",
    "IBM_FI_NumeroSerie",
    "IBM_FI_NumeroSerieMFD",
    "IBM_FI_ProgramaFormaPagamentoMFD",
    "IBM_FI_VerificaTotalizadoresNaoFiscais",
    "IBM_FI_NomeiaTotalizadorNaoSujeitoIcms",
    "IBM_FI_RetornoAliquotas",
    "IBM_FI_VerificaAliquotasIss",
    "IBM_FI_AbreCupom",
    "IBM_FI_AbreCupomMFD",
    "IBM_FI_NumeroCupom",
    "IBM_FI_VendeItem",
    "IBM_FI_VendeItemDepartamento",
    "IBM_FI_CancelaItemGenerico",
    "IBM_FI_CancelaCupom",
    "IBM_FI_CancelaItemAnterior",
    "IBM_FI_AcionaGaveta",
    "IBM_FI_IniciaFechamentoCupom",
    "IBM_FI_EfetuaFormaPagamento",
    "IBM_FI_TerminaFechamentoCupom",
    "IBM_FI_RecebimentoNaoFiscal",
    "IBM_FI_ReducaoZ",
    "IBM_FI_AbreComprovanteNaoFiscalVinculado",
    "IBM_FI_UsaComprovanteNaoFiscalVinculado",
    "IBM_FI_FechaComprovanteNaoFiscalVinculado",
    "IBM_FI_LeituraX",
    "IBM_FI_AumentaDescricaoItem",
    "IBM_FI_VerificaEstadoGaveta",
    "IBM_FI_LeituraXSerial",
    "IBM_FI_DadosUltimaReducao",
    "IBM_FI_DadosUltimaReducaoMFD",
    "IBM_FI_DadosSintegra",
    "IBM_FI_MapaResumo",
    "IBM_FI_RelatorioGerencial",
    "IBM_FI_Suprimento",
    "IBM_FI_Sangria",
    "IBM_FI_Acrescimos",
    "IBM_FI_ProgramaHorarioVerao",
    "IBM_FI_FlagsFiscais",
    "IBM_FI_LeituraMemoriaFiscalData",
    "IBM_FI_LeituraMemoriaFiscalSerialDataMFD",
    "IBM_FI_LeituraMemoriaFiscalReducao",
    "IBM_FI_LeituraMemoriaFiscalReducaoMFD",
    "IBM_FI_LeituraMemoriaFiscalSerialReducaoMFD",
    "IBM_FI_DownloadMFD",
    "IBM_FI_DownloadMF",
    "IBM_FI_FormatoDadosMFD",
    "IBM_FI_VerificaFormasPagamento",
    "IBM_FI_InicioFimCOOsMFD",
    "IBM_FI_NumeroCuponsCancelados",
    "IBM_FI_GrandeTotal",
    "IBM_FI_VerificaImpressoraLigada",
    "IBM_FI_AcionaGuilhotinaMFD",
    "IBM_FI_CodigoBarrasCODABARMFD",
    "IBM_FI_CodigoBarrasCODE128MFD",
    "IBM_FI_CodigoBarrasCODE39MFD",
    "IBM_FI_CodigoBarrasCODE93MFD",
    "IBM_FI_CodigoBarrasEAN13MFD",
    "IBM_FI_CodigoBarrasEAN8MFD",
    "IBM_FI_CodigoBarrasISBNMFD",
    "IBM_FI_CodigoBarrasITFMFD",
    "IBM_FI_CodigoBarrasMSIMFD",
    "IBM_FI_CodigoBarrasPLESSEYMFD",
    "IBM_FI_CodigoBarrasUPCAMFD",
    "IBM_FI_CodigoBarrasUPCEMFD",
    "IBM_FI_LeituraMemoriaFiscalDataMFD",
    "IBM_FI_ContadorCupomFiscalMFD",
    "IBM_FI_NumeroSubstituicoesProprietario",
    "IBM_FI_NumeroOperacoesNaoFiscais",
    "IBM_FI_NumeroIntervencoes",
    "IBM_FI_NumeroReducoes",
    "IBM_FI_VendaBruta",
    "IBM_FI_Cancelamentos",
    "IBM_FI_VerificaTotalizadoresParciais",
    "IBM_FI_VerificaRecebimentoNaoFiscal",
    "IBM_FI_VerificaRecebimentoNaoFiscalMFD",
    "IBM_FI_Descontos",
    "IBM_FI_ContadorRelatoriosGerenciaisMFD",
    "IBM_FI_ContadorComprovantesCreditoMFD",
    "IBM_FI_MarcaModeloTipoImpressoraMFD",
    "IBM_FI_VersaoFirmwareMFD",
    "IBM_FI_AberturaDoDia",
    "IBM_FI_IniciaPorta",
    "IBM_FI_AtivaDesativaVendaUmaLinhaMFD",
    "IBM_FI_StatusEstendidoMFD",
    "IBM_FI_DataHoraSoftwareBasico",
    "IBM_FI_GeraAtoCotepe1704",
};

class LibraryTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(Control("init"), 1) << answer_; }

  int Control(const std::string& command) {
    char buffer[2048];
    int code = IBM_EMU_Control(command.c_str(), buffer, sizeof buffer);
    answer_ = buffer;
    return code;
  }
  void Status(int* ack, int* st1, int* st2) {
    int32_t a = -1, s1 = -1, s2 = -1;
    ASSERT_EQ(IBM_FI_RetornoImpressora(&a, &s1, &s2), 1);
    *ack = a, *st1 = s1, *st2 = s2;
  }
  std::string Query(int32_t (*fn)(char*), size_t width) {
    std::string buffer(width, ' ');
    EXPECT_EQ(fn(buffer.data()), 1);
    return buffer;
  }
  int Flags() {
    int32_t flags = 0;
    EXPECT_EQ(IBM_FI_FlagsFiscais(&flags), 1);
    return flags;
  }
  std::string SystemFile(const std::string& name) {
    return platform::JoinPath(sandbox_.SystemDirectory(), name);
  }
  int Sell() {
    return IBM_FI_VendeItemDepartamento("1", "ITEM", "01", "10,00", "1,000", "0000", "0000", "01",
                                        "UN");
  }

  zel::test::SandboxPlatform sandbox_;
  std::string answer_;
};

TEST_F(LibraryTest, ResolvesAllNinetyFiveEntryPointsThroughThePlatform) {
  platform::LibraryHandle library = platform::Current().OpenLibrary("IBMFI32.dll");
  ASSERT_NE(library, nullptr) << platform::Current().LastErrorText();
  std::set<std::string> names;
  for (const char* name : kEntryPoints) {
    EXPECT_NE(platform::Current().LibrarySymbol(library, name), nullptr) << name;
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 95u);
  EXPECT_NE(platform::Current().LibrarySymbol(library, "IBM_EMU_Control"), nullptr);
  auto numero_cupom = reinterpret_cast<int32_t (*)(char*)>(
      platform::Current().LibrarySymbol(library, "IBM_FI_NumeroCupom"));
  ASSERT_NE(numero_cupom, nullptr);
  std::string coo(6, ' ');
  EXPECT_EQ(numero_cupom(coo.data()), 1);
  EXPECT_EQ(coo, "000000");
  platform::Current().CloseLibrary(library);
}

TEST_F(LibraryTest, WithoutTheIniFileAnswersMinusFour) {
  ASSERT_TRUE(platform::Current().RemoveFile(SystemFile("IBMFI32.INI")));
  std::string coo(6, ' ');
  EXPECT_EQ(IBM_FI_NumeroCupom(coo.data()), -4);
  EXPECT_EQ(coo, "      ");
  int32_t ack = 0, st1 = 0, st2 = 0;
  EXPECT_EQ(IBM_FI_RetornoImpressora(&ack, &st1, &st2), -4);
  EXPECT_EQ(IBM_FI_AbreCupomMFD(nullptr, nullptr, nullptr), -4);
}

struct BufferQuery {
  const char* name;
  std::function<int32_t(char*)> call;
  size_t width;
};

TEST_F(LibraryTest, BuffersAreNeverWrittenBeyondTheirWidth) {
  // Some data in every record first.
  ASSERT_EQ(IBM_FI_NomeiaTotalizadorNaoSujeitoIcms(1, "VENDA CONSUMIDOR"), 1);
  ASSERT_EQ(IBM_FI_AbreCupomMFD("", "", ""), 1);
  ASSERT_EQ(Sell(), 1);
  std::vector<BufferQuery> queries = {
      {"DataMovimento", IBM_FI_DataMovimento, 6},
      {"NumeroCaixa", IBM_FI_NumeroCaixa, 4},
      {"NumeroSerie", IBM_FI_NumeroSerie, 20},
      {"NumeroSerieMFD", IBM_FI_NumeroSerieMFD, 20},
      {"VerificaTotalizadoresNaoFiscais", IBM_FI_VerificaTotalizadoresNaoFiscais, 179},
      {"RetornoAliquotas", IBM_FI_RetornoAliquotas, 79},
      {"VerificaAliquotasIss", IBM_FI_VerificaAliquotasIss, 79},
      {"NumeroCupom", IBM_FI_NumeroCupom, 6},
      {"Acrescimos", IBM_FI_Acrescimos, 14},
      {"DadosUltimaReducao", IBM_FI_DadosUltimaReducao, 1278},
      {"DadosUltimaReducaoMFD", IBM_FI_DadosUltimaReducaoMFD, 1278},
      {"VerificaFormasPagamento", IBM_FI_VerificaFormasPagamento, 3016},
      {"NumeroCuponsCancelados", IBM_FI_NumeroCuponsCancelados, 4},
      {"GrandeTotal", IBM_FI_GrandeTotal, 18},
      {"ContadorCupomFiscalMFD", IBM_FI_ContadorCupomFiscalMFD, 6},
      {"NumeroSubstituicoesProprietario", IBM_FI_NumeroSubstituicoesProprietario, 4},
      {"NumeroOperacoesNaoFiscais", IBM_FI_NumeroOperacoesNaoFiscais, 6},
      {"NumeroIntervencoes", IBM_FI_NumeroIntervencoes, 4},
      {"NumeroReducoes", IBM_FI_NumeroReducoes, 4},
      {"VendaBruta", IBM_FI_VendaBruta, 18},
      {"Cancelamentos", IBM_FI_Cancelamentos, 14},
      {"VerificaTotalizadoresParciais", IBM_FI_VerificaTotalizadoresParciais, 445},
      {"VerificaRecebimentoNaoFiscal", IBM_FI_VerificaRecebimentoNaoFiscal, 2200},
      {"VerificaRecebimentoNaoFiscalMFD", IBM_FI_VerificaRecebimentoNaoFiscalMFD, 2200},
      {"Descontos", IBM_FI_Descontos, 14},
      {"ContadorRelatoriosGerenciaisMFD", IBM_FI_ContadorRelatoriosGerenciaisMFD, 6},
      {"ContadorComprovantesCreditoMFD", IBM_FI_ContadorComprovantesCreditoMFD, 6},
      {"VersaoFirmwareMFD", IBM_FI_VersaoFirmwareMFD, 6},
      {"DataHoraImpressora.date",
       [](char* b) {
         char time[6];
         return IBM_FI_DataHoraImpressora(b, time);
       },
       6},
      {"DataHoraImpressora.time",
       [](char* b) {
         char date[6];
         return IBM_FI_DataHoraImpressora(date, b);
       },
       6},
      {"InicioFimCOOsMFD.first",
       [](char* b) {
         char last[6];
         return IBM_FI_InicioFimCOOsMFD(b, last);
       },
       6},
      {"MarcaModeloTipo.make",
       [](char* b) {
         char model[20], type[7];
         return IBM_FI_MarcaModeloTipoImpressoraMFD(b, model, type);
       },
       15},
      {"MarcaModeloTipo.model",
       [](char* b) {
         char make[15], type[7];
         return IBM_FI_MarcaModeloTipoImpressoraMFD(make, b, type);
       },
       20},
      {"MarcaModeloTipo.type",
       [](char* b) {
         char make[15], model[20];
         return IBM_FI_MarcaModeloTipoImpressoraMFD(make, model, b);
       },
       7},
  };
  for (const BufferQuery& q : queries) {
    std::string buffer = std::string(q.width, ' ') + std::string(16, '#');
    EXPECT_EQ(q.call(buffer.data()), 1) << q.name;
    EXPECT_EQ(buffer.substr(q.width), std::string(16, '#')) << q.name;
    EXPECT_EQ(q.call(nullptr), -2) << q.name;
  }
  EXPECT_EQ(IBM_FI_FlagsFiscais(nullptr), -2);
  EXPECT_EQ(IBM_FI_VerificaEstadoGaveta(nullptr), -2);
}

// Every entry point that takes texts, called with null pointers for all of
// them (an empty text to the library).
const std::vector<std::pair<const char*, std::function<int32_t()>>>& NullTextCalls() {
  static const std::vector<std::pair<const char*, std::function<int32_t()>>> calls = {
      {"IniciaPorta", [] { return IBM_FI_IniciaPorta(nullptr); }},
      {"ProgramaFormaPagamentoMFD",
       [] { return IBM_FI_ProgramaFormaPagamentoMFD(nullptr, nullptr); }},
      {"NomeiaTotalizadorNaoSujeitoIcms",
       [] { return IBM_FI_NomeiaTotalizadorNaoSujeitoIcms(3, nullptr); }},
      {"VendeItemDepartamento",
       [] {
         return IBM_FI_VendeItemDepartamento(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                             nullptr, nullptr, nullptr);
       }},
      {"VendeItem",
       [] { return IBM_FI_VendeItem(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr); }},
      {"AumentaDescricaoItem", [] { return IBM_FI_AumentaDescricaoItem(nullptr); }},
      {"CancelaItemGenerico", [] { return IBM_FI_CancelaItemGenerico(nullptr); }},
      {"IniciaFechamentoCupom",
       [] { return IBM_FI_IniciaFechamentoCupom(nullptr, nullptr, nullptr); }},
      {"EfetuaFormaPagamento", [] { return IBM_FI_EfetuaFormaPagamento(nullptr, nullptr); }},
      {"TerminaFechamentoCupom", [] { return IBM_FI_TerminaFechamentoCupom(nullptr); }},
      {"RecebimentoNaoFiscal",
       [] { return IBM_FI_RecebimentoNaoFiscal(nullptr, nullptr, nullptr); }},
      {"AbreComprovanteNaoFiscalVinculado",
       [] { return IBM_FI_AbreComprovanteNaoFiscalVinculado(nullptr, nullptr, nullptr); }},
      {"UsaComprovanteNaoFiscalVinculado",
       [] { return IBM_FI_UsaComprovanteNaoFiscalVinculado(nullptr); }},
      {"RelatorioGerencial", [] { return IBM_FI_RelatorioGerencial(nullptr); }},
      {"Suprimento", [] { return IBM_FI_Suprimento(nullptr, nullptr); }},
      {"Sangria", [] { return IBM_FI_Sangria(nullptr); }},
      {"AberturaDoDia", [] { return IBM_FI_AberturaDoDia(nullptr, nullptr); }},
      {"CodigoBarrasCODABARMFD", [] { return IBM_FI_CodigoBarrasCODABARMFD(nullptr); }},
      {"CodigoBarrasCODE128MFD", [] { return IBM_FI_CodigoBarrasCODE128MFD(nullptr); }},
      {"CodigoBarrasCODE39MFD", [] { return IBM_FI_CodigoBarrasCODE39MFD(nullptr); }},
      {"CodigoBarrasCODE93MFD", [] { return IBM_FI_CodigoBarrasCODE93MFD(nullptr); }},
      {"CodigoBarrasEAN13MFD", [] { return IBM_FI_CodigoBarrasEAN13MFD(nullptr); }},
      {"CodigoBarrasEAN8MFD", [] { return IBM_FI_CodigoBarrasEAN8MFD(nullptr); }},
      {"CodigoBarrasISBNMFD", [] { return IBM_FI_CodigoBarrasISBNMFD(nullptr); }},
      {"CodigoBarrasITFMFD", [] { return IBM_FI_CodigoBarrasITFMFD(nullptr); }},
      {"CodigoBarrasMSIMFD", [] { return IBM_FI_CodigoBarrasMSIMFD(nullptr); }},
      {"CodigoBarrasPLESSEYMFD", [] { return IBM_FI_CodigoBarrasPLESSEYMFD(nullptr); }},
      {"CodigoBarrasUPCAMFD", [] { return IBM_FI_CodigoBarrasUPCAMFD(nullptr); }},
      {"CodigoBarrasUPCEMFD", [] { return IBM_FI_CodigoBarrasUPCEMFD(nullptr); }},
      {"LeituraMemoriaFiscalData",
       [] { return IBM_FI_LeituraMemoriaFiscalData(nullptr, nullptr); }},
      {"LeituraMemoriaFiscalReducao",
       [] { return IBM_FI_LeituraMemoriaFiscalReducao(nullptr, nullptr); }},
      {"LeituraMemoriaFiscalDataMFD",
       [] { return IBM_FI_LeituraMemoriaFiscalDataMFD(nullptr, nullptr, nullptr); }},
      {"LeituraMemoriaFiscalReducaoMFD",
       [] { return IBM_FI_LeituraMemoriaFiscalReducaoMFD(nullptr, nullptr, nullptr); }},
      {"LeituraMemoriaFiscalSerialDataMFD",
       [] { return IBM_FI_LeituraMemoriaFiscalSerialDataMFD(nullptr, nullptr, nullptr); }},
      {"LeituraMemoriaFiscalSerialReducaoMFD",
       [] { return IBM_FI_LeituraMemoriaFiscalSerialReducaoMFD(nullptr, nullptr, nullptr); }},
      {"DownloadMFD",
       [] { return IBM_FI_DownloadMFD(nullptr, nullptr, nullptr, nullptr, nullptr); }},
      {"DownloadMF", [] { return IBM_FI_DownloadMF(nullptr); }},
      {"FormatoDadosMFD",
       [] {
         return IBM_FI_FormatoDadosMFD(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                       nullptr);
       }},
      {"GeraAtoCotepe1704",
       [] {
         char answer[512];
         return IBM_FI_GeraAtoCotepe1704(nullptr, nullptr, nullptr, answer);
       }},
      {"DadosSintegra", [] { return IBM_FI_DadosSintegra(nullptr, nullptr); }},
      {"AbreCupom", [] { return IBM_FI_AbreCupom(nullptr); }},
      {"ReducaoZ", [] { return IBM_FI_ReducaoZ(nullptr, nullptr); }},
  };
  return calls;
}

TEST_F(LibraryTest, NullTextsAreEmptyTextsAndRefusalsCarryTheirReason) {
  // Twice: with nothing open, then (after AbreCupom) inside a receipt.
  for (int round = 0; round < 2; ++round) {
    for (const auto& [name, call] : NullTextCalls()) {
      int32_t code = call();
      EXPECT_TRUE(code == 1 || code == -1 || code == -2 || code == -3 || code == -24 || code == -25)
          << name << " " << code;
      int ack = 0, st1 = 0, st2 = 0;
      Status(&ack, &st1, &st2);
      int reason = st1 & ~(kSt1ReceiptOpen | kSt1PaperLow);
      if (code == 1) {
        EXPECT_EQ(ack, 6) << name;
        EXPECT_EQ(reason | st2, 0) << name;
      } else {
        EXPECT_TRUE(ack == 21 || reason != 0 || st2 != 0) << name << " " << code;
      }
    }
  }
  int32_t flags = -1;
  EXPECT_EQ(IBM_FI_FlagsFiscais(&flags), 1);
}

TEST_F(LibraryTest, UnprogrammedFormsAndTotalizersHaveTheirOwnCodes) {
  struct Case {
    const char* name;
    std::function<int32_t()> call;
    int32_t code;
  };
  const Case cases[] = {
      {"supply in an unknown form", [] { return IBM_FI_Suprimento("1,00", "Cheque"); }, -24},
      {"non-fiscal receipt on an unnamed totalizer",
       [] { return IBM_FI_RecebimentoNaoFiscal("09", "00000000000100", "Dinheiro"); }, -25},
      {"non-fiscal receipt in an unknown form",
       [] { return IBM_FI_RecebimentoNaoFiscal("01", "00000000000100", "Cheque"); }, -24},
      {"linked slip for an unknown form",
       [] { return IBM_FI_AbreComprovanteNaoFiscalVinculado("Cheque", nullptr, nullptr); }, -24},
  };
  ASSERT_EQ(IBM_FI_NomeiaTotalizadorNaoSujeitoIcms(1, "RECEBIMENTO"), 1);
  for (const Case& c : cases) {
    EXPECT_EQ(c.call(), c.code) << c.name;
    int ack, st1, st2;
    Status(&ack, &st1, &st2);
    EXPECT_EQ(st2, kSt2NotExecuted) << c.name;
  }
  EXPECT_EQ(Query(IBM_FI_NumeroCupom, 6), "000000");
}

TEST_F(LibraryTest, DrawerAndCutter) {
  int32_t state = -1;
  ASSERT_EQ(IBM_FI_VerificaEstadoGaveta(&state), 1);
  EXPECT_EQ(state, 0);
  ASSERT_EQ(IBM_FI_AcionaGaveta(), 1);
  ASSERT_EQ(IBM_FI_VerificaEstadoGaveta(&state), 1);
  EXPECT_EQ(state, 1);
  ASSERT_EQ(IBM_FI_VerificaEstadoGaveta(&state), 1);
  EXPECT_EQ(state, 0);  // the cashier closed it
  ASSERT_EQ(Control("drawer open"), 1);
  int32_t status = 0;
  ASSERT_EQ(IBM_FI_StatusEstendidoMFD(&status), 1);
  EXPECT_EQ(status & 512, 512);

  EXPECT_EQ(IBM_FI_AcionaGuilhotinaMFD(0), 1);
  EXPECT_EQ(IBM_FI_AcionaGuilhotinaMFD(1), 1);
  EXPECT_EQ(IBM_FI_AcionaGuilhotinaMFD(2), -2);
  int ack, st1, st2;
  Status(&ack, &st1, &st2);
  EXPECT_EQ(st2, kSt2ParamType);
  ASSERT_EQ(IBM_FI_AbreCupomMFD(nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(IBM_FI_AcionaGuilhotinaMFD(0), -1);  // not in the middle of a receipt
  Status(&ack, &st1, &st2);
  EXPECT_EQ(st1, kSt1ReceiptOpen);
  EXPECT_EQ(st2, kSt2NotExecuted);
}

TEST_F(LibraryTest, QueriesAnswerTheDayInTheirWidths) {
  std::string date = Query(IBM_FI_DataMovimento, 6);
  EXPECT_EQ(date, "      ");  // no fiscal day open
  ASSERT_EQ(IBM_FI_ProgramaFormaPagamentoMFD("Cartao", "1"), 1);
  ASSERT_EQ(IBM_FI_AbreCupomMFD(nullptr, nullptr, nullptr), 1);
  ASSERT_EQ(IBM_FI_VendeItemDepartamento("1", "A", "01", "10,00", "1,000", "00000020", "00000050",
                                         "01", "UN"),
            1);
  ASSERT_EQ(
      IBM_FI_VendeItemDepartamento("2", "B", "01", "5,00", "1,000", "0000", "0000", "01", "UN"), 1);
  ASSERT_EQ(IBM_FI_CancelaItemAnterior(), 1);
  ASSERT_EQ(IBM_FI_IniciaFechamentoCupom("A", "$", "1,00"), 1);
  ASSERT_EQ(IBM_FI_EfetuaFormaPagamento("Cartao", "10,70"), 1);
  ASSERT_EQ(IBM_FI_TerminaFechamentoCupom(nullptr), 1);
  ASSERT_EQ(IBM_FI_AbreComprovanteNaoFiscalVinculado("Cartao", nullptr, nullptr), 1);
  ASSERT_EQ(IBM_FI_FechaComprovanteNaoFiscalVinculado(), 1);
  ASSERT_EQ(IBM_FI_RelatorioGerencial("texto"), 1);
  ASSERT_EQ(IBM_FI_FechaRelatorioGerencial(), 1);
  ASSERT_EQ(IBM_FI_AbreCupomMFD(nullptr, nullptr, nullptr), 1);
  ASSERT_EQ(Sell(), 1);
  ASSERT_EQ(IBM_FI_IniciaFechamentoCupom("d", "$", nullptr), 1);
  ASSERT_EQ(IBM_FI_EfetuaFormaPagamento("Dinheiro", "10,00"), 1);
  ASSERT_EQ(IBM_FI_TerminaFechamentoCupom(nullptr), 1);
  ASSERT_EQ(IBM_FI_CancelaCupom(), 1);

  struct Expected {
    const char* name;
    int32_t (*call)(char*);
    const char* answer;
  };
  const Expected expected[] = {
      {"DataMovimento", IBM_FI_DataMovimento, "101226"},
      {"NumeroCupom", IBM_FI_NumeroCupom, "000005"},
      {"ContadorCupomFiscalMFD", IBM_FI_ContadorCupomFiscalMFD, "000002"},
      {"NumeroOperacoesNaoFiscais", IBM_FI_NumeroOperacoesNaoFiscais, "000002"},
      {"ContadorRelatoriosGerenciaisMFD", IBM_FI_ContadorRelatoriosGerenciaisMFD, "000001"},
      {"ContadorComprovantesCreditoMFD", IBM_FI_ContadorComprovantesCreditoMFD, "000001"},
      {"NumeroCuponsCancelados", IBM_FI_NumeroCuponsCancelados, "0001"},
      {"NumeroReducoes", IBM_FI_NumeroReducoes, "0000"},
      {"NumeroIntervencoes", IBM_FI_NumeroIntervencoes, "0001"},
      {"NumeroSubstituicoesProprietario", IBM_FI_NumeroSubstituicoesProprietario, "0001"},
      {"GrandeTotal", IBM_FI_GrandeTotal, "000000000000002620"},
      {"VendaBruta", IBM_FI_VendaBruta, "000000000000002620"},
      {"Descontos", IBM_FI_Descontos, "00000000000050"},
      {"Acrescimos", IBM_FI_Acrescimos, "00000000000120"},
      {"Cancelamentos", IBM_FI_Cancelamentos, "00000000001500"},
      {"NumeroCaixa", IBM_FI_NumeroCaixa, "0001"},
      {"NumeroSerieMFD", IBM_FI_NumeroSerieMFD, "IB010900000000000001"},
      {"VersaoFirmwareMFD", IBM_FI_VersaoFirmwareMFD, "010900"},
  };
  for (const Expected& e : expected) {
    EXPECT_EQ(Query(e.call, std::string(e.answer).size()), e.answer) << e.name;
  }
  char first[6], last[6], day[6], time[6], make[15], model[20], type[7];
  ASSERT_EQ(IBM_FI_InicioFimCOOsMFD(first, last), 1);
  EXPECT_EQ(std::string(first, 6) + std::string(last, 6), "000001000005");
  ASSERT_EQ(IBM_FI_DataHoraImpressora(day, time), 1);
  EXPECT_EQ(std::string(day, 6) + std::string(time, 6), "101226100000");
  ASSERT_EQ(IBM_FI_MarcaModeloTipoImpressoraMFD(make, model, type), 1);
  EXPECT_EQ(std::string(make, 15) + "|" + std::string(model, 20) + "|" + std::string(type, 7),
            "IBM            |ECF-IF EMULADOR     |ECF-IF ");
}

TEST_F(LibraryTest, PowerOffAnswersLikeASwitchedOffPrinter) {
  ASSERT_EQ(Control("power off"), 1);
  EXPECT_EQ(IBM_FI_VerificaImpressoraLigada(), -6);
  int32_t a, s1, s2;
  EXPECT_EQ(IBM_FI_RetornoImpressora(&a, &s1, &s2), -6);
  EXPECT_EQ(IBM_FI_AbreCupomMFD("", "", ""), -6);
  ASSERT_EQ(Control("power on"), 1);
  EXPECT_EQ(IBM_FI_VerificaImpressoraLigada(), 1);
  EXPECT_EQ(Flags() & kFlagReceiptOpen, 0);
}

TEST_F(LibraryTest, NakRefusesTheNextCommandOnly) {
  ASSERT_EQ(Control("nak next"), 1);
  EXPECT_EQ(IBM_FI_AbreCupomMFD("", "", ""), -1);
  int ack, st1, st2;
  Status(&ack, &st1, &st2);  // the status query does not consume the fault
  EXPECT_EQ(ack, 21);
  EXPECT_EQ(Flags() & kFlagReceiptOpen, 0);
  EXPECT_EQ(IBM_FI_AbreCupomMFD("", "", ""), 1);
  Status(&ack, &st1, &st2);
  EXPECT_EQ(ack, 6);
  EXPECT_EQ(st1, kSt1ReceiptOpen);
}

TEST_F(LibraryTest, StateQueryReportsTheStandingConditionsOnly) {
  EXPECT_EQ(IBM_FI_FechaRelatorioGerencial(), -1);  // nothing open
  int ack, st1, st2;
  Status(&ack, &st1, &st2);
  EXPECT_EQ(st2, kSt2NotExecuted);
  int32_t a = 0, s1 = 0, s2 = 0;
  ASSERT_EQ(IBM_FI_VerificaEstadoImpressora(&a, &s1, &s2), 1);
  EXPECT_EQ(a, 6);
  EXPECT_EQ(s1, 0);
  EXPECT_EQ(s2, 0);
  Status(&ack, &st1, &st2);
  EXPECT_EQ(st2, 0);
}

TEST_F(LibraryTest, ChosenCodeOnTheNthCallOfAnEntryPoint) {
  ASSERT_EQ(Control("fail IBM_FI_VendeItemDepartamento -2 nth 2"), 1);
  ASSERT_EQ(IBM_FI_AbreCupomMFD("", "", ""), 1);
  EXPECT_EQ(Sell(), 1);
  EXPECT_EQ(Sell(), -2);
  int ack, st1, st2;
  Status(&ack, &st1, &st2);
  EXPECT_EQ(st2, kSt2NotExecuted);
  EXPECT_EQ(Sell(), 1);
  EXPECT_EQ(Query(IBM_FI_VendaBruta, 18), "000000000000002000");  // two items, not three
}

TEST_F(LibraryTest, DoneButNoAnswerTakesEffect) {
  ASSERT_EQ(Control("done-no-answer IBM_FI_AbreCupomMFD"), 1);
  EXPECT_EQ(IBM_FI_AbreCupomMFD("", "", ""), 0);
  EXPECT_EQ(Flags() & kFlagReceiptOpen, kFlagReceiptOpen);
  EXPECT_EQ(Query(IBM_FI_NumeroCupom, 6), "000001");
  EXPECT_EQ(IBM_FI_AbreCupomMFD("", "", ""), -1);  // the retry finds it open
}

TEST_F(LibraryTest, ClockSkewAndPaperFaults) {
  ASSERT_EQ(Control("clock-skew +960"), 1);
  char date[6], time[6];
  ASSERT_EQ(IBM_FI_DataHoraImpressora(date, time), 1);
  EXPECT_EQ(std::string(date, 6), "101226");
  EXPECT_EQ(std::string(time, 6), "101600");
  ASSERT_EQ(Control("paper near-end"), 1);
  int ack, st1, st2;
  EXPECT_EQ(IBM_FI_AbreCupomMFD("", "", ""), 1);
  Status(&ack, &st1, &st2);
  EXPECT_EQ(st1, kSt1PaperLow | kSt1ReceiptOpen);
  ASSERT_EQ(Control("paper end"), 1);
  EXPECT_EQ(Sell(), -1);
  Status(&ack, &st1, &st2);
  EXPECT_EQ(st1, kSt1PaperOut | kSt1ReceiptOpen);
  ASSERT_EQ(Control("clear"), 1);
  EXPECT_EQ(Sell(), 1);
  EXPECT_EQ(Control("paper sideways"), -2);
  EXPECT_EQ(Control("fail IBM_FI_ReducaoZ"), -2);
}

TEST_F(LibraryTest, MemoryIsSharedWithOtherProcessesThroughItsFile) {
  ASSERT_EQ(IBM_FI_AbreCupomMFD("", "", ""), 1);
  ASSERT_EQ(Sell(), 1);
  // Another process (here: a second printer on the same file) cancels the
  // receipt the first left open.
  std::string text;
  ASSERT_TRUE(platform::Current().ReadWholeFile(SystemFile("IBMFI32.MEM"), &text));
  PrinterMemory memory;
  ASSERT_TRUE(DeserializeMemory(text, &memory));
  EXPECT_EQ(memory.open, OpenDocument::kReceipt);
  Printer other(ParseConfig(""), memory);
  other.SetComputerTime(platform::Current().Now());
  ASSERT_EQ(other.CancelReceipt(), 1);
  ASSERT_TRUE(platform::Current().WriteFileAtomically(SystemFile("IBMFI32.MEM"),
                                                      SerializeMemory(other.memory())));
  EXPECT_EQ(Flags() & kFlagReceiptOpen, 0);
  EXPECT_EQ(Query(IBM_FI_NumeroCuponsCancelados, 4), "0001");
}

// Another process's command holds the printer (here: this test holds the
// printer's lock and changes the memory as that command would). A command
// meanwhile waits for it and then works on what it left, never undoing it.
TEST_F(LibraryTest, ACommandWaitsForAnotherProcesssCommandAndBuildsOnIt) {
  ASSERT_EQ(IBM_FI_AbreCupomMFD("", "", ""), 1);
  ASSERT_EQ(Sell(), 1);
  std::string text;
  ASSERT_TRUE(platform::Current().ReadWholeFile(SystemFile("IBMFI32.MEM"), &text));
  PrinterMemory memory;
  ASSERT_TRUE(DeserializeMemory(text, &memory));

  auto other = platform::MakeNativePlatform();
  std::unique_ptr<platform::FileLock> held = other->LockFile(SystemFile("IBMFI32.MEM.lock"), 0);
  ASSERT_NE(held, nullptr) << other->LastErrorText();
  std::atomic<bool> done{false};
  int code = 0;
  std::thread pos([&] {
    code = Sell();
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(done);  // waiting for the printer
  Printer printer(ParseConfig(""), memory);
  printer.SetComputerTime(platform::Current().Now());
  EXPECT_EQ(printer.CancelReceipt(), 1);
  ASSERT_TRUE(
      other->WriteFileAtomically(SystemFile("IBMFI32.MEM"), SerializeMemory(printer.memory())));
  held.reset();
  pos.join();

  EXPECT_EQ(code, -1);  // the receipt was cancelled before this item came
  EXPECT_EQ(Flags() & kFlagReceiptOpen, 0);
  EXPECT_EQ(Query(IBM_FI_NumeroCuponsCancelados, 4), "0001");
  EXPECT_EQ(Query(IBM_FI_NumeroCupom, 6), "000001");
}

TEST_F(LibraryTest, FailedMemoryWriteDropsTheCommand) {
  sandbox_.FailNextWrite(platform::kErrorDiskFull);
  EXPECT_EQ(IBM_FI_AbreCupomMFD("", "", ""), -1);
  EXPECT_EQ(Flags() & kFlagReceiptOpen, 0);
  EXPECT_EQ(Query(IBM_FI_NumeroCupom, 6), "000000");
}

TEST_F(LibraryTest, AnUnreadableMemoryIsNeverReplacedSilently) {
  ASSERT_EQ(IBM_FI_LeituraX(), 1);
  std::string text;
  ASSERT_TRUE(platform::Current().ReadWholeFile(SystemFile("IBMFI32.MEM"), &text));
  const std::string torn = text.substr(0, text.size() / 2);
  ASSERT_TRUE(platform::Current().WriteWholeFile(SystemFile("IBMFI32.MEM"), torn));
  std::string coo(6, ' ');
  EXPECT_EQ(IBM_FI_NumeroCupom(coo.data()), -1);
  EXPECT_EQ(coo, "      ");
  EXPECT_EQ(IBM_FI_AbreCupomMFD("", "", ""), -1);
  EXPECT_EQ(Control("state"), -1);
  ASSERT_TRUE(platform::Current().ReadWholeFile(SystemFile("IBMFI32.MEM"), &text));
  EXPECT_EQ(text, torn);  // left for the technician to look at
  ASSERT_EQ(Control("reset"), 1);
  EXPECT_EQ(Query(IBM_FI_NumeroCupom, 6), "000000");

  // Nor is an emptied one (only a missing file is a new printer).
  ASSERT_EQ(IBM_FI_LeituraX(), 1);
  ASSERT_TRUE(platform::Current().WriteWholeFile(SystemFile("IBMFI32.MEM"), ""));
  EXPECT_EQ(IBM_FI_LeituraX(), -1);
  ASSERT_TRUE(platform::Current().ReadWholeFile(SystemFile("IBMFI32.MEM"), &text));
  EXPECT_EQ(text, "");
}

TEST_F(LibraryTest, ASalePrintsOnTheTape) {
  ASSERT_EQ(IBM_FI_AbreCupomMFD("", "", ""), 1);
  ASSERT_EQ(Sell(), 1);
  ASSERT_EQ(IBM_FI_IniciaFechamentoCupom("d", "$", "0"), 1);
  ASSERT_EQ(IBM_FI_EfetuaFormaPagamento("Dinheiro", "10,00"), 1);
  ASSERT_EQ(IBM_FI_TerminaFechamentoCupom("Promo\xE7\xE3o do dia"), 1);
  std::string tape;
  ASSERT_TRUE(platform::Current().ReadWholeFile(SystemFile("IBMFI32_BOBINA.TXT"), &tape));
  EXPECT_NE(tape.find("CUPOM FISCAL"), std::string::npos);
  EXPECT_NE(tape.find("Promo\xC3\xA7\xC3\xA3o do dia"), std::string::npos);  // UTF-8
  EXPECT_NE(tape.find("FAB:IB010900000000000001"), std::string::npos);
}

TEST_F(LibraryTest, IniIdentityAndStandingFaults) {
  std::string ini;
  ASSERT_TRUE(platform::Current().ReadWholeFile(SystemFile("IBMFI32.INI"), &ini));
  ini = SetIniValue(ini, "NumeroSerie", "ZZ000000000000000042");
  ini = SetIniValue(ini, "NumeroECF", "7");
  ini = SetIniValue(ini, "Desligada", "1");
  ASSERT_TRUE(platform::Current().WriteWholeFile(SystemFile("IBMFI32.INI"), ini));
  EXPECT_EQ(IBM_FI_VerificaImpressoraLigada(), -6);
  ini = SetIniValue(ini, "Desligada", "0");
  ASSERT_TRUE(platform::Current().WriteWholeFile(SystemFile("IBMFI32.INI"), ini));
  EXPECT_EQ(Query(IBM_FI_NumeroSerieMFD, 20), "ZZ000000000000000042");
  EXPECT_EQ(Query(IBM_FI_NumeroCaixa, 4), "0007");
}

TEST_F(LibraryTest, MemoryAndTapeWhereTheIniPutsThem) {
  ASSERT_TRUE(platform::Current().RemoveFile(SystemFile("IBMFI32.MEM")));  // made by init
  std::string ini;
  ASSERT_TRUE(platform::Current().ReadWholeFile(SystemFile("IBMFI32.INI"), &ini));
  ini = SetIniValue(ini, "Memoria", SystemFile("CAIXA1.MEM"));
  ini = SetIniValue(ini, "Bobina", SystemFile("CAIXA1.TXT"));
  ASSERT_TRUE(platform::Current().WriteWholeFile(SystemFile("IBMFI32.INI"), ini));
  EXPECT_EQ(IBM_FI_LeituraX(), -1);  // a named memory file is never made by a command
  EXPECT_FALSE(platform::Current().FileExists(SystemFile("CAIXA1.MEM")));
  ASSERT_EQ(Control("init"), 1) << answer_;  // the new printer's memory
  EXPECT_NE(answer_.find("CAIXA1.MEM"), std::string::npos) << answer_;
  ASSERT_EQ(IBM_FI_LeituraX(), 1);
  EXPECT_TRUE(platform::Current().FileExists(SystemFile("CAIXA1.MEM")));
  EXPECT_TRUE(platform::Current().FileExists(SystemFile("CAIXA1.TXT")));
  EXPECT_FALSE(platform::Current().FileExists(SystemFile("IBMFI32.MEM")));
  EXPECT_FALSE(platform::Current().FileExists(SystemFile("IBMFI32_BOBINA.TXT")));
}

// A Memoria that names no memory (a typing error, a cut INI, a folder that
// is gone) stops the printer with the reason, and never starts a fresh one
// (COO 1, grand total zero) beside the real memory.
TEST_F(LibraryTest, AMemoriaThatNamesNothingIsRefused) {
  ASSERT_EQ(IBM_FI_LeituraX(), 1);
  std::string ini;
  ASSERT_TRUE(platform::Current().ReadWholeFile(SystemFile("IBMFI32.INI"), &ini));
  struct Case {
    std::string memoria;
    const char* reason;
  };
  const Case cases[] = {
      {SystemFile("IBMFI32.MEN"), "memory file not found"},
      {SystemFile("IBMFI"), "memory file not found"},
      {"CAIXA1.MEM", "memory file not found"},  // relative: in the system folder
      {sandbox_.Path("gone\\IBMFI32.MEM"), "folder of the memory file does not exist"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.memoria);
    ASSERT_TRUE(platform::Current().WriteWholeFile(SystemFile("IBMFI32.INI"),
                                                   SetIniValue(ini, "Memoria", c.memoria)));
    std::string coo(6, ' ');
    EXPECT_EQ(IBM_FI_NumeroCupom(coo.data()), -1);
    EXPECT_EQ(coo, "      ");
    EXPECT_EQ(IBM_FI_AbreCupomMFD("", "", ""), -1);
    EXPECT_EQ(Control("state"), -1);
    EXPECT_NE(answer_.find(c.reason), std::string::npos) << answer_;
    EXPECT_FALSE(platform::Current().FileExists(SystemFile("IBMFI32.MEN")));
    EXPECT_FALSE(platform::Current().FileExists(SystemFile("IBMFI")));
    EXPECT_FALSE(platform::Current().FileExists(SystemFile("CAIXA1.MEM")));
    EXPECT_FALSE(platform::Current().DirectoryExists(sandbox_.Path("gone")));
  }
  ASSERT_TRUE(platform::Current().WriteWholeFile(SystemFile("IBMFI32.INI"), ini));
  EXPECT_EQ(Query(IBM_FI_NumeroCupom, 6), "000001");  // the real memory, untouched
}

// A memory file damaged or edited outside the printer stops it: every
// entry point answers -1, the state names the reason, the file stays as it
// is for a technician to look at.
TEST_F(LibraryTest, ADamagedMemoryIsRefusedWithTheReason) {
  ASSERT_EQ(IBM_FI_LeituraX(), 1);
  ASSERT_EQ(IBM_FI_AbreCupomMFD("", "", ""), 1);
  ASSERT_EQ(Sell(), 1);
  std::string good;
  ASSERT_TRUE(platform::Current().ReadWholeFile(SystemFile("IBMFI32.MEM"), &good));
  auto replaced = [&](const std::string& from, const std::string& to) {
    std::string text = good;
    size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
  };
  struct Case {
    const char* what;
    std::string text;
    const char* reason;
  };
  const Case cases[] = {
      {"COO set back", replaced("counters=2|", "counters=0|"), "checksum mismatch"},
      {"grand total lowered", replaced("grand_total=1000\n", "grand_total=10\n"),
       "checksum mismatch"},
      {"counters line gone", replaced("counters=", "x"), "checksum mismatch"},
      {"cut short", good.substr(0, good.size() - 30), "no checksum line"},
      {"not a memory file", "[Sistema]\r\n", "not a memory file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(platform::Current().WriteWholeFile(SystemFile("IBMFI32.MEM"), c.text));
    int32_t ack = 0, st1 = 0, st2 = 0;
    EXPECT_EQ(IBM_FI_RetornoImpressora(&ack, &st1, &st2), -1);
    EXPECT_EQ(Sell(), -1);
    EXPECT_EQ(Control("state"), -1);
    EXPECT_NE(answer_.find(c.reason), std::string::npos) << answer_;
    std::string left;
    ASSERT_TRUE(platform::Current().ReadWholeFile(SystemFile("IBMFI32.MEM"), &left));
    EXPECT_EQ(left, c.text);
  }
  ASSERT_TRUE(platform::Current().WriteWholeFile(SystemFile("IBMFI32.MEM"), good));
  EXPECT_EQ(Sell(), 1);  // the intact file works on
}

// `text` (a memory file) as a file of version 1 holds it: that first line,
// no checksum and, as before the journals, no "mf" and "mfd" records unless
// `journal_counts`.
std::string VersionOneFile(std::string text, bool journal_counts) {
  auto drop = [&](const std::string& key) {
    size_t at = text.find("\n" + key + "=");
    if (at != std::string::npos) text.erase(at + 1, text.find('\n', at + 1) - at);
  };
  drop("checksum");
  if (!journal_counts) {
    drop("mf");
    drop("mfd");
  }
  return text.replace(0, text.find('\n'), "IBMFI32-MEMORIA 1");
}

// A memory file of version 1 (no checksum) dates from before the journals:
// found beside them it is an old copy or a hand edit, never the printer's
// memory. It is refused as a damaged file is, and the journals stay as they
// are (taken, it emptied the fiscal memory's journal: a reading then showed
// no reduction where the counter said one).
TEST_F(LibraryTest, AVersionOneMemoryBesideTheJournalsIsRefused) {
  ASSERT_EQ(IBM_FI_LeituraX(), 1);
  ASSERT_EQ(IBM_FI_ReducaoZ(nullptr, nullptr), 1);
  std::string good, mf, mfd;
  ASSERT_TRUE(platform::Current().ReadWholeFile(SystemFile("IBMFI32.MEM"), &good));
  ASSERT_TRUE(platform::Current().ReadWholeFile(SystemFile("IBMFI32.MEM.mf"), &mf));
  ASSERT_TRUE(platform::Current().ReadWholeFile(SystemFile("IBMFI32.MEM.mfd"), &mfd));
  ASSERT_FALSE(mf.empty());
  for (bool journal_counts : {false, true}) {
    SCOPED_TRACE(journal_counts ? "with the journals' counts" : "as before the journals");
    const std::string old = VersionOneFile(good, journal_counts);
    ASSERT_TRUE(platform::Current().WriteWholeFile(SystemFile("IBMFI32.MEM"), old));
    std::string crz(4, ' ');
    EXPECT_EQ(IBM_FI_NumeroReducoes(crz.data()), -1);
    EXPECT_EQ(crz, "    ");
    EXPECT_EQ(IBM_FI_LeituraMemoriaFiscalSerialReducaoMFD("0001", "0001", "C"), -1);
    EXPECT_EQ(IBM_FI_LeituraX(), -1);
    EXPECT_EQ(Control("state"), -1);
    EXPECT_NE(answer_.find("version 1"), std::string::npos) << answer_;
    std::string left, mf_left, mfd_left;
    ASSERT_TRUE(platform::Current().ReadWholeFile(SystemFile("IBMFI32.MEM"), &left));
    ASSERT_TRUE(platform::Current().ReadWholeFile(SystemFile("IBMFI32.MEM.mf"), &mf_left));
    ASSERT_TRUE(platform::Current().ReadWholeFile(SystemFile("IBMFI32.MEM.mfd"), &mfd_left));
    EXPECT_EQ(left, old);  // left for the technician to look at
    EXPECT_TRUE(mf_left == mf) << "the fiscal memory's journal changed";
    EXPECT_TRUE(mfd_left == mfd) << "the MFD journal changed";
  }
  ASSERT_TRUE(platform::Current().WriteWholeFile(SystemFile("IBMFI32.MEM"), good));
  EXPECT_EQ(Query(IBM_FI_NumeroReducoes, 4), "0001");  // the real memory works on
}

// A printer from before the journals still starts from its memory file of
// version 1, which is written in the current version before any journal is
// made: a command whose memory write fails on the way leaves no journal
// beside the old file, and the printer works on.
TEST_F(LibraryTest, APrinterWithoutJournalsStartsFromAVersionOneMemory) {
  ASSERT_FALSE(platform::Current().FileExists(SystemFile("IBMFI32.MEM.mf")));
  ASSERT_FALSE(platform::Current().FileExists(SystemFile("IBMFI32.MEM.mfd")));
  std::string fresh;
  ASSERT_TRUE(platform::Current().ReadWholeFile(SystemFile("IBMFI32.MEM"), &fresh));
  ASSERT_TRUE(
      platform::Current().WriteWholeFile(SystemFile("IBMFI32.MEM"), VersionOneFile(fresh, false)));

  sandbox_.FailNextWrite(platform::kErrorDiskFull);
  EXPECT_EQ(IBM_FI_LeituraX(), -1);
  EXPECT_EQ(Query(IBM_FI_NumeroCupom, 6), "000000");  // the reading was not made
  std::string text;
  ASSERT_TRUE(platform::Current().ReadWholeFile(SystemFile("IBMFI32.MEM"), &text));
  EXPECT_EQ(text.substr(0, text.find('\n')), "IBMFI32-MEMORIA 2");

  ASSERT_EQ(IBM_FI_LeituraX(), 1);
  EXPECT_EQ(Query(IBM_FI_NumeroCupom, 6), "000001");
  std::string journal;
  ASSERT_TRUE(platform::Current().ReadWholeFile(SystemFile("IBMFI32.MEM.mfd"), &journal));
  int records = 0;
  ScanMfd(journal, 0, [&](const MfdRecord&) { ++records; });
  EXPECT_EQ(records, 1);  // the reading made, and only that
}

TEST_F(LibraryTest, IniFaultsFireOncePerValue) {
  std::string ini;
  ASSERT_TRUE(platform::Current().ReadWholeFile(SystemFile("IBMFI32.INI"), &ini));
  auto set_faults = [&](const std::string& value) {
    ini = SetIniValue(ini, "Falhas", value);
    ASSERT_TRUE(platform::Current().WriteWholeFile(SystemFile("IBMFI32.INI"), ini));
  };
  set_faults("nak next; clock-skew +60 ; fail IBM_FI_LeituraX -25 nth 2");
  EXPECT_EQ(IBM_FI_AbreCupomMFD("", "", ""), -1);
  int ack, st1, st2;
  Status(&ack, &st1, &st2);
  EXPECT_EQ(ack, 21);
  EXPECT_EQ(IBM_FI_LeituraX(), 1);
  EXPECT_EQ(IBM_FI_LeituraX(), -25);
  EXPECT_EQ(IBM_FI_LeituraX(), 1);  // spent: the same value does not fire again
  char date[6], time[6];
  ASSERT_EQ(IBM_FI_DataHoraImpressora(date, time), 1);
  EXPECT_EQ(std::string(time, 6), "100100");

  set_faults("power off");
  EXPECT_EQ(IBM_FI_VerificaImpressoraLigada(), -6);
  ASSERT_EQ(Control("clear"), 1);  // cleared faults stay cleared
  EXPECT_EQ(IBM_FI_VerificaImpressoraLigada(), 1);
  set_faults("done-no-answer IBM_FI_AbreCupomMFD; bogus words");
  EXPECT_EQ(IBM_FI_AbreCupomMFD("", "", ""), 0);
  EXPECT_EQ(Flags() & kFlagReceiptOpen, kFlagReceiptOpen);
}

TEST_F(LibraryTest, ReadingsToFilesAndEntriesOfALaterVersion) {
  ASSERT_EQ(IBM_FI_LeituraXSerial(), 1);
  std::string text;
  ASSERT_TRUE(platform::Current().ReadWholeFile(SystemFile("Retorno.txt"), &text));
  EXPECT_NE(text.find("LEITURA X"), std::string::npos);
  EXPECT_EQ(Query(IBM_FI_NumeroCupom, 6), "000000");  // not printed, not counted

  ASSERT_EQ(IBM_FI_LeituraX(), 1);
  ASSERT_EQ(IBM_FI_ReducaoZ(nullptr, nullptr), 1);
  EXPECT_EQ(IBM_FI_LeituraMemoriaFiscalReducao("0001", "0001"), 1);
  EXPECT_EQ(IBM_FI_LeituraMemoriaFiscalData("01/12/2026", "10/12/2026"), 1);
  EXPECT_EQ(IBM_FI_LeituraMemoriaFiscalData("32/12/2026", "10/12/2026"), -2);
  EXPECT_EQ(IBM_FI_LeituraMemoriaFiscalReducao("0001", "99999999999"), -2);
  EXPECT_EQ(IBM_FI_LeituraMemoriaFiscalReducao("0002", "0001"), -2);
  std::string tape;
  ASSERT_TRUE(platform::Current().ReadWholeFile(SystemFile("IBMFI32_BOBINA.TXT"), &tape));
  EXPECT_NE(tape.find("CRZ:0001 10/12/2026 COO:000002"), std::string::npos) << tape;
}

TEST_F(LibraryTest, ResetAndState) {
  ASSERT_EQ(IBM_FI_LeituraX(), 1);
  ASSERT_EQ(Control("state"), 1);
  EXPECT_NE(answer_.find("coo 000001"), std::string::npos) << answer_;
  ASSERT_EQ(Control("reset"), 1);
  EXPECT_EQ(Query(IBM_FI_NumeroCupom, 6), "000000");
}

}  // namespace
}  // namespace zel::emu::test
