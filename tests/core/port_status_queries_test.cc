// The clock check, the status check and the identity queries.
#include <string>
#include <vector>

#include "core_fixture.h"
#include "runtime/datetime.h"
#include "runtime/host_error.h"

namespace zel::test {
namespace {

using Strings = std::vector<std::string>;

constexpr const char* kClockText =
    "Data da impressora fiscal difere da data do sistema em mais de 15 minutos.";

class PortStatusTest : public CoreTest {};

// ---- VerificaData ----

struct ClockCase {
  const char* label;
  const char* printer;  // DDMMYYHHMMSS; the computer says 10/12/2026 10:00:00
  bool accepted;
};

class VerificaDataClockTest : public PortStatusTest,
                              public ::testing::WithParamInterface<ClockCase> {};

TEST_P(VerificaDataClockTest, ToleratesFifteenMinutesWithinTheDay) {
  const ClockCase& c = GetParam();
  boClieUtil = true;
  TDateTime data = 0;
  std::string printer = c.printer;
  EXPECT_EQ(VerificaData("005", data, printer, "", false), c.accepted);
  EXPECT_EQ(host_.DialogTexts(), c.accepted ? Strings{} : Strings{kClockText});
  EXPECT_EQ(boClieUtil, c.accepted);
  EXPECT_EQ(data, EncodeDate(2026, 12, 10));
  EXPECT_TRUE(fake_.Calls().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VerificaDataClockTest,
    ::testing::Values(ClockCase{"Same", "101226100000", true},
                      ClockCase{"FifteenAhead", "101226101500", true},
                      ClockCase{"FifteenAheadSecondsIgnored", "101226101559", true},
                      ClockCase{"FifteenBehind", "101226094500", true},
                      ClockCase{"SixteenAhead", "101226101600", false},
                      ClockCase{"SixteenBehind", "101226094400", false},
                      ClockCase{"OneHourAhead", "101226110000", false},
                      ClockCase{"OneHourBehind", "101226090000", false},
                      ClockCase{"OneDayAheadSameTime", "111226100000", true},
                      ClockCase{"OneDayBehindSameTime", "091226100000", true},
                      ClockCase{"OneDayAndSixteenMinutes", "111226101600", false}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(PortStatusTest, ClockDialogIsShownEvenOnSelfServiceTerminal) {
  boNUtilTaa = false;
  boClieUtil = true;
  TDateTime data = 0;
  std::string printer = "101226120000";
  EXPECT_FALSE(VerificaData("005", data, printer, "", false));
  ASSERT_EQ(host_.dialogs().size(), 1u);
  EXPECT_EQ(host_.dialogs()[0].kind, 3);
  EXPECT_EQ(host_.dialogs()[0].question, "N");
  EXPECT_EQ(host_.dialogs()[0].colour_scheme, "005");
  // Only an attended till loses its clean-status flag.
  EXPECT_TRUE(boClieUtil);
}

TEST_F(PortStatusTest, VerificaDataWithoutQueryOrTextsIsToday) {
  TDateTime data = 0;
  std::string printer;
  EXPECT_TRUE(VerificaData("001", data, printer, "", false));
  EXPECT_EQ(data, EncodeDate(2026, 12, 10));
  EXPECT_TRUE(fake_.Calls().empty());
  EXPECT_TRUE(host_.dialogs().empty());
}

TEST_F(PortStatusTest, FiscalDateTakesTheCurrentCentury) {
  TDateTime data = 0;
  std::string printer;
  EXPECT_TRUE(VerificaData("001", data, printer, "090126", false));
  EXPECT_EQ(data, EncodeDate(2026, 1, 9));
  EXPECT_TRUE(VerificaData("001", data, printer, "311299", false));
  EXPECT_EQ(data, EncodeDate(2099, 12, 31));
}

TEST_F(PortStatusTest, TextsThatDoNotConvertLeaveTheResultAndGiveToday) {
  TDateTime data = 0;
  std::string printer = "            ";  // a printer that wrote nothing
  EXPECT_TRUE(VerificaData("001", data, printer, "", false));
  EXPECT_EQ(data, EncodeDate(2026, 12, 10));

  data = 0;
  printer.clear();
  EXPECT_TRUE(VerificaData("001", data, printer, "321326", false));
  EXPECT_EQ(data, EncodeDate(2026, 12, 10));

  // A clock failure already found is kept when the fiscal date is bad.
  data = 0;
  printer = "101226130000";
  EXPECT_FALSE(VerificaData("001", data, printer, "xx", false));
  EXPECT_EQ(data, EncodeDate(2026, 12, 10));
}

TEST_F(PortStatusTest, VerificaDataQueriesThePrinter) {
  fake_.Answer("IBM_FI_DataHoraImpressora", 1, "101226", "095959");
  TDateTime data = 0;
  std::string printer;
  EXPECT_TRUE(VerificaData("001", data, printer, "", true));
  EXPECT_EQ(printer, "101226095959");
  EXPECT_EQ(fake_.Names(), (Strings{"IBM_FI_DataHoraImpressora", "IBM_FI_RetornoImpressora"}));
}

TEST_F(PortStatusTest, FailedQueryReturnsAtOnceWithoutDate) {
  fake_.Answer("IBM_FI_DataHoraImpressora", -5);
  boClieUtil = true;
  TDateTime data = 123;
  std::string printer;
  EXPECT_FALSE(VerificaData("001", data, printer, "090126", true));
  EXPECT_EQ(data, 123);
  EXPECT_FALSE(boClieUtil);
}

// ---- Data_Imp ----

TEST_F(PortStatusTest, DataImpJoinsDateAndTimeAndLogsThem) {
  fake_.Answer("IBM_FI_DataHoraImpressora", 1, "101226", "093015");
  std::string data_hora = "old";
  EXPECT_TRUE(Data_Imp("001", data_hora));
  EXPECT_EQ(data_hora, "101226093015");
  EXPECT_EQ(inRetorno, 1);
  EXPECT_EQ(LogEntries(),
            Strings{"IBM_FI_DataHoraImpressora\r\nRetorno da Impressora : 101226093015"});
}

TEST_F(PortStatusTest, DataImpShowsDialogsUnlessSelfServiceWithCleanStatus) {
  struct Case {
    bool n_util_taa;
    bool clie_util;
    bool shown;
  };
  for (const Case& c : {Case{true, true, true}, Case{true, false, true}, Case{false, false, true},
                        Case{false, true, false}}) {
    host_.Clear();
    boNUtilTaa = c.n_util_taa;
    boClieUtil = c.clie_util;
    fake_.Answer("IBM_FI_DataHoraImpressora", -5);
    std::string data_hora;
    EXPECT_FALSE(Data_Imp("001", data_hora));
    EXPECT_EQ(inRetorno, -5);
    EXPECT_EQ(host_.dialogs().size(), c.shown ? 1u : 0u) << c.n_util_taa << " " << c.clie_util;
  }
}

// ---- Estado_Imp ----

TEST_F(PortStatusTest, EstadoImpClearsMessagesAndStoresTheResult) {
  stMensagemTaa = " velha";
  fake_.Answer("IBM_FI_VerificaEstadoImpressora", 1);
  EXPECT_TRUE(Estado_Imp("003", false, false));
  EXPECT_TRUE(boClieUtil);
  EXPECT_EQ(stMensagemTaa, "");
  EXPECT_EQ(fake_.Names(),
            (Strings{"IBM_FI_VerificaEstadoImpressora", "IBM_FI_RetornoImpressora"}));

  fake_.Answer("IBM_FI_VerificaEstadoImpressora", -6);
  boNUtilTaa = false;
  EXPECT_FALSE(Estado_Imp("003", true, true));
  EXPECT_FALSE(boClieUtil);
  EXPECT_EQ(inRetorno, -6);
  EXPECT_EQ(stMensagemTaa, " Impressora desligada ou desconectada.");
  EXPECT_TRUE(host_.dialogs().empty());
}

TEST_F(PortStatusTest, EstadoImpShowsDialogsOnAttendedTill) {
  fake_.AnswerStatus(6, 128, 0);
  boNUtilTaa = true;
  EXPECT_FALSE(Estado_Imp("003", false, false));
  EXPECT_EQ(host_.DialogTexts(), Strings{"Impressora fiscal sem papel."});
  EXPECT_EQ(host_.dialogs()[0].colour_scheme, "003");
}

TEST_F(PortStatusTest, EstadoImpIsFalseWhenTheCheckRaises) {
  boClieUtil = true;
  fake_.AnswerStatus(6, 128, 0);
  sandbox_.FailNextWrite(platform::kErrorDiskFull);  // the debug log cannot be written
  EXPECT_FALSE(Estado_Imp("003", false, false));
  EXPECT_FALSE(boClieUtil);
}

// ---- Identity queries ----

TEST_F(PortStatusTest, BuscaTotGerConvertsTheTotalAndIsAlwaysTrue) {
  fake_.Answer("IBM_FI_GrandeTotal", 1, "000000000001234567");
  std::string total;
  EXPECT_TRUE(BuscaTotGer("001", total));
  EXPECT_EQ(total, "12345,67");
  EXPECT_EQ(fake_.CallsTo("IBM_FI_GrandeTotal")[0].args, Strings{std::string(18, ' ')});
  EXPECT_EQ(LogEntries(),
            Strings{"IBM_FI_GrandeTotal\r\nRetorno da Impressora : 000000000001234567"});

  fake_.Answer("IBM_FI_GrandeTotal", 0, "000000000000000100");
  EXPECT_TRUE(BuscaTotGer("001", total));
  EXPECT_EQ(total, "1");
  EXPECT_EQ(inRetorno, 0);
  EXPECT_TRUE(host_.dialogs().empty());  // analysed without dialogs
  EXPECT_EQ(LogEntries().back(), "ERRO!!! Erro de comunica\xE7\xE3o.");
}

TEST_F(PortStatusTest, BuscaTotGerBlankAnswerDoesNotConvert) {
  fake_.Answer("IBM_FI_GrandeTotal", 0);
  std::string total = "keep";
  EXPECT_THROW(BuscaTotGer("001", total), ConvertError);
  EXPECT_EQ(total, "keep");
}

TEST_F(PortStatusTest, ModeloImpressoraFillsTheThreeTexts) {
  fake_.Answer("IBM_FI_MarcaModeloTipoImpressoraMFD", 1, "IBM", "4610 TF6", "ECF-IF");
  std::string marca, modelo, tipo;
  EXPECT_TRUE(Modelo_Impressora("001", marca, modelo, tipo));
  EXPECT_EQ(marca, "IBM            ");
  EXPECT_EQ(modelo, "4610 TF6            ");
  EXPECT_EQ(tipo, "ECF-IF ");
  EXPECT_EQ(fake_.CallsTo("IBM_FI_MarcaModeloTipoImpressoraMFD")[0].args,
            (Strings{std::string(15, ' '), std::string(20, ' '), std::string(7, ' ')}));
  EXPECT_EQ(LogEntries(), Strings{"IBM_FI_MarcaModeloTipoImpressoraMFD\r\nRetorno da "
                                  "Impressora : IBM             - 4610 TF6             - "
                                  "ECF-IF "});

  boNUtilTaa = false;  // dialogs are always on for this query
  fake_.Answer("IBM_FI_MarcaModeloTipoImpressoraMFD", -6);
  EXPECT_FALSE(Modelo_Impressora("009", marca, modelo, tipo));
  EXPECT_EQ(host_.DialogTexts(), Strings{"Impressora desligada ou desconectada."});
  EXPECT_EQ(host_.dialogs()[0].colour_scheme, "009");
}

TEST_F(PortStatusTest, VersaoSoftwareBasicoReadsSixCharacters) {
  fake_.Answer("IBM_FI_VersaoFirmwareMFD", 1, "010203");
  std::string versao;
  EXPECT_TRUE(Versao_Software_Basico("001", versao));
  EXPECT_EQ(versao, "010203");
  EXPECT_EQ(LogEntries(), Strings{"IBM_FI_VersaoFirmwareMFD\r\nRetorno da Impressora : 010203"});
  inRetorno = 77;
  fake_.Answer("IBM_FI_VersaoFirmwareMFD", -1);
  EXPECT_FALSE(Versao_Software_Basico("001", versao));
  EXPECT_EQ(host_.dialogs().size(), 1u);
  EXPECT_EQ(inRetorno, 77);  // this query keeps its code to itself
}

TEST_F(PortStatusTest, InfImpTermReadsTheCounterRangeAndIsAlwaysTrue) {
  fake_.Answer("IBM_FI_InicioFimCOOsMFD", 1, "000001", "004321");
  fake_.Answer("IBM_FI_NumeroCuponsCancelados", 1, "0012");
  std::string primeiro, cancelados, ultimo;
  EXPECT_TRUE(InfImpTerm("001", 0, primeiro, cancelados, ultimo));
  EXPECT_EQ(primeiro, "000001");
  EXPECT_EQ(ultimo, "004321");
  EXPECT_EQ(cancelados, "0012");
  EXPECT_EQ(LogEntries(),
            (Strings{"IBM_FI_InicioFimCOOsMFD\r\nRetorno da Impressora : 000001 - 004321",
                     "IBM_FI_NumeroCuponsCancelados\r\nRetorno da Impressora : 0012"}));
  EXPECT_EQ(fake_.Names(), (Strings{"IBM_FI_InicioFimCOOsMFD", "IBM_FI_RetornoImpressora",
                                    "IBM_FI_NumeroCuponsCancelados", "IBM_FI_RetornoImpressora"}));

  fake_.Answer("IBM_FI_InicioFimCOOsMFD", -1);
  fake_.Answer("IBM_FI_NumeroCuponsCancelados", 0);
  EXPECT_TRUE(InfImpTerm("001", 0, primeiro, cancelados, ultimo));
  EXPECT_EQ(primeiro, "      ");
  EXPECT_EQ(cancelados, "    ");
  EXPECT_EQ(inRetorno, 0);
  EXPECT_TRUE(host_.dialogs().empty());
}

}  // namespace
}  // namespace zel::test
