// AbrePorta and FechaPorta: the sequence of printer commands at start-up, the
// clock and power checks, and the recovery of an interrupted sale.
#include <string>
#include <vector>

#include "core_fixture.h"
#include "hostutil/cipher.h"
#include "runtime/host_error.h"
#include "runtime/memtable.h"

namespace zel::test {
namespace {

using Strings = std::vector<std::string>;

constexpr const char* kOffText = "Impressora desligada ou desconectada.";
constexpr const char* kClockText =
    "Data da impressora fiscal difere da data do sistema em mais de 15 minutos.";

class AbrePortaTest : public CoreTest {
 protected:
  void SetUp() override {
    // The printer's clock 5 minutes ahead of the computer's (10/12/2026 10:00).
    fake_.Answer("IBM_FI_DataHoraImpressora", 1, "101226", "100500");
  }

  HostParams Params() {
    return MakeParams({{"CDFILIAL", "0001"},
                       {"CDCAIXA", "002"},
                       {"NRSERIEIMP", "IB0123456789"},
                       {"ESQUEMACOR", "007"},
                       {"PORTAIMPFIS", "COM1"}});
  }

  void TouchHostFile(const std::string& name) {
    ASSERT_TRUE(sandbox_.WriteWholeFile(platform::JoinPath(sandbox_.ExecutableDirectory(), name),
                                        "pending"));
  }
};

TEST_F(AbrePortaTest, OpensChecksAndClosesLeftoversInOrder) {
  ASSERT_EQ(dtmImpIBM, nullptr);
  EXPECT_TRUE(AbrePorta(Params()));
  EXPECT_EQ(fake_.Names(), (Strings{"IBM_FI_AbrePortaSerial", "IBM_FI_DataHoraImpressora",
                                    "IBM_FI_RetornoImpressora", "IBM_FI_VerificaImpressoraLigada",
                                    "IBM_FI_FechaComprovanteNaoFiscalVinculado",
                                    "IBM_FI_FechaRelatorioGerencial", "IBM_FI_RetornoImpressora"}));
  EXPECT_EQ(fake_.CallsTo("IBM_FI_DataHoraImpressora")[0].args, (Strings{"      ", "      "}));
  EXPECT_EQ(LogEntries(),
            Strings{"IBM_FI_DataHoraImpressora\r\nRetorno da Impressora : 101226100500"});
  EXPECT_TRUE(host_.dialogs().empty());
  EXPECT_NE(dtmImpIBM, nullptr);
}

TEST_F(AbrePortaTest, AnswersOfTheLeftoverClosingsAreIgnored) {
  fake_.Answer("IBM_FI_AbrePortaSerial", 0);
  fake_.Answer("IBM_FI_FechaComprovanteNaoFiscalVinculado", -1);
  fake_.Answer("IBM_FI_FechaRelatorioGerencial", -1);
  EXPECT_TRUE(AbrePorta(Params()));
  EXPECT_TRUE(host_.dialogs().empty());
}

TEST_F(AbrePortaTest, PrinterClockSixteenMinutesOffIsRefused) {
  fake_.Answer("IBM_FI_DataHoraImpressora", 1, "101226", "101600");
  EXPECT_FALSE(AbrePorta(Params()));
  ASSERT_EQ(host_.dialogs().size(), 1u);
  EXPECT_EQ(host_.dialogs()[0].text, kClockText);
  EXPECT_EQ(host_.dialogs()[0].kind, 3);
  EXPECT_EQ(host_.dialogs()[0].colour_scheme, "007");
  EXPECT_EQ(fake_.CallCount("IBM_FI_VerificaImpressoraLigada"), 0);
  EXPECT_EQ(fake_.CallCount("IBM_FI_FechaPortaSerial"), 0);  // the port stays open
}

TEST_F(AbrePortaTest, FailedClockQueryStopsTheOpening) {
  fake_.Answer("IBM_FI_DataHoraImpressora", 0);
  boNUtilTaa = false;  // no dialogs: the failure still stops the opening
  EXPECT_FALSE(AbrePorta(Params()));
  EXPECT_EQ(fake_.CallCount("IBM_FI_VerificaImpressoraLigada"), 0);
  EXPECT_FALSE(boClieUtil);
}

TEST_F(AbrePortaTest, PrinterSwitchedOffIsRefused) {
  fake_.Answer("IBM_FI_VerificaImpressoraLigada", -6);
  EXPECT_FALSE(AbrePorta(Params()));
  EXPECT_EQ(LogEntries().back(), std::string("ERRO!!! ") + kOffText);
  ASSERT_EQ(host_.dialogs().size(), 1u);
  const DialogCall& dialog = host_.dialogs()[0];
  EXPECT_EQ(dialog.text, kOffText);
  EXPECT_EQ(dialog.question, "N");
  EXPECT_EQ(dialog.kind, 3);
  EXPECT_EQ(dialog.colour_scheme, "007");
  EXPECT_EQ(fake_.CallCount("IBM_FI_FechaComprovanteNaoFiscalVinculado"), 0);
  EXPECT_EQ(fake_.CallCount("IBM_FI_CancelaCupom"), 0);
}

TEST_F(AbrePortaTest, OtherPowerCheckFailuresDoNotStopTheOpening) {
  fake_.Answer("IBM_FI_VerificaImpressoraLigada", 0);
  EXPECT_TRUE(AbrePorta(Params()));
  EXPECT_TRUE(host_.dialogs().empty());
}

struct RecoveryCase {
  const char* label;
  int st1;
  const char* host_file;  // nullptr: none
  bool cancels;
};

class AbrePortaRecoveryTest : public AbrePortaTest,
                              public ::testing::WithParamInterface<RecoveryCase> {};

TEST_P(AbrePortaRecoveryTest, CancelsAnInterruptedSale) {
  const RecoveryCase& c = GetParam();
  if (c.host_file != nullptr) TouchHostFile(c.host_file);
  // The status read by AbrePorta itself comes after the clock analysis.
  fake_.AnswerStatusOnce(6, 0, 0);
  fake_.AnswerStatusOnce(6, c.st1, 0);
  EXPECT_TRUE(AbrePorta(Params()));
  EXPECT_EQ(fake_.CallCount("IBM_FI_CancelaCupom"), c.cancels ? 1 : 0);
  // The grand-total update reads the printer's total only when it runs (here
  // without a "Vendrix.cds", which it reports and goes on).
  EXPECT_EQ(fake_.CallCount("IBM_FI_GrandeTotal"), 0);
  EXPECT_EQ(host_.dialogs().size(), c.cancels ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AbrePortaRecoveryTest,
    ::testing::Values(RecoveryCase{"OpenReceiptAlone", 2, nullptr, true},
                      RecoveryCase{"LowPaperAndOpenReceipt", 66, nullptr, false},
                      RecoveryCase{"Clean", 0, nullptr, false},
                      RecoveryCase{"PendingSale", 0, "cdsVenda.cds", true},
                      RecoveryCase{"PendingCancelledItems", 0, "cdsItensCancelados.cds", true},
                      RecoveryCase{"OtherFileIgnored", 0, "cdsOutro.cds", false}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(AbrePortaTest, RecoveryStoresThePrinterGrandTotal) {
  // The host's printer file with the control switched on for this printer.
  MemTable vendrix;
  vendrix.AddField("CDFILIAL", FieldType::kString, 4);
  vendrix.AddField("CDCAIXA", FieldType::kString, 3);
  vendrix.AddField("NRSERIEECF", FieldType::kString, 40);
  vendrix.AddField("CAMPO01", FieldType::kString, 1);
  vendrix.AddField("CAMPO02", FieldType::kString, 40);
  vendrix.CreateDataSet();
  vendrix.AppendRecord({"0001", "002", Cripto("IB0123456789", fiscal::kVendrixCipherKey), "S",
                        Cripto("100,00", fiscal::kVendrixCipherKey)});
  vendrix.MergeChangeLog();
  const std::string path = platform::JoinPath(sandbox_.ExecutableDirectory(), "Vendrix.cds");
  ASSERT_TRUE(sandbox_.WriteWholeFile(path, vendrix.Data()));

  fake_.AnswerStatusOnce(6, 0, 0);
  fake_.AnswerStatusOnce(6, 2, 0);
  fake_.Answer("IBM_FI_GrandeTotal", 1, "000000000000023456");
  EXPECT_TRUE(AbrePorta(Params()));

  MemTable stored;
  std::string bytes;
  ASSERT_TRUE(sandbox_.ReadWholeFile(path, &bytes));
  stored.SetData(bytes);
  EXPECT_EQ(Uncripto(stored.FieldByName("CAMPO02").AsString(), fiscal::kVendrixCipherKey),
            "234,56");
  EXPECT_TRUE(host_.dialogs().empty());
  // The receipt is cancelled first; the total read afterwards includes it.
  Strings names = fake_.Names();
  names.erase(names.begin(), names.begin() + 6);  // port, clock and leftover closings
  EXPECT_EQ(names, (Strings{"IBM_FI_RetornoImpressora", "IBM_FI_CancelaCupom", "IBM_FI_GrandeTotal",
                            "IBM_FI_RetornoImpressora"}));
}

TEST_F(AbrePortaTest, UnconvertibleParameterReachesTheCaller) {
  const HostParams params = MakeParams({{"CDFILIAL", "0001"},
                                        {"CDCAIXA", "002"},
                                        {"NRSERIEIMP", "IB0123456789"},
                                        {"ESQUEMACOR", HostVariant::MakeArray({1, 2})}});
  EXPECT_THROW(AbrePorta(params), HostError);
  EXPECT_TRUE(fake_.Calls().empty());
}

TEST_F(AbrePortaTest, MissingKeysReadAsEmptyTexts) {
  EXPECT_TRUE(AbrePorta(MakeParams({})));
  EXPECT_EQ(fake_.CallCount("IBM_FI_AbrePortaSerial"), 1);
}

TEST_F(CoreTest, FechaPortaIsTrueOnlyForCodeOne) {
  for (int code : {1, 0, -1, -5, 2}) {
    fake_.Answer("IBM_FI_FechaPortaSerial", code);
    EXPECT_EQ(FechaPorta(), code == 1) << code;
  }
  EXPECT_EQ(fake_.Names(), Strings(5, "IBM_FI_FechaPortaSerial"));
  EXPECT_EQ(LogText(), "");
}

}  // namespace
}  // namespace zel::test
