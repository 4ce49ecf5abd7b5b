// Carrega_Dados_Impressora: the bundle returned, the skipped queries, and the
// correction of the vendor library's printer setting in IBMFI32.INI.
#include <string>
#include <vector>

#include "core/core_fixture.h"
#include "hostutil/params.h"
#include "runtime/host_error.h"
#include "zel01900/config_loads.h"

namespace zel::test {
namespace {

using Strings = std::vector<std::string>;

// Counts the termination requests instead of passing them on.
class TerminationRecorder : public platform::PlatformWrapper {
 public:
  TerminationRecorder() : PlatformWrapper(&platform::Current()), previous_(&platform::Current()) {
    platform::SetCurrent(this);
  }
  ~TerminationRecorder() override { platform::SetCurrent(previous_); }
  void RequestTermination() override { ++requests; }
  int requests = 0;

 private:
  platform::Platform* previous_;
};

class PrinterDataLoadTest : public CoreTest {
 protected:
  void SetUp() override {
    fake_.Answer("IBM_FI_DataMovimento", 1, "091226");
    fake_.Answer("IBM_FI_DataHoraImpressora", 1, "101226", "103005");
    fake_.Answer("IBM_FI_NumeroCaixa", 1, "0003");
    fake_.Answer("IBM_FI_NumeroSerieMFD", 1, "IB0000000000000012AB");
  }
  static HostParams Params() {
    return MakeParams({{"ESQUEMA", "007"},
                       {"DATAATUIMP", "host"},
                       {"ECFIMP", "0001"},
                       {"REDIMP", "0042"},
                       {"SERIEIMP", "x"},
                       {"DATAIMP", ""}});
  }
  std::string IniPath() { return platform::JoinPath(sandbox_.SystemDirectory(), "IBMFI32.INI"); }
  std::string Ini() {
    std::string text;
    sandbox_.ReadWholeFile(IniPath(), &text);
    return text;
  }

  TerminationRecorder termination_;
};

Strings Values(const HostParams& params) {
  Strings values;
  for (const HostVariant& pair : params.Elements()) {
    values.push_back(pair.Elements()[0].AsString() + "=" + pair.Elements()[1].AsString());
  }
  return values;
}

TEST_F(PrinterDataLoadTest, ReturnsThePrintersIdentityAndDates) {
  HostParams params = Params();
  EXPECT_TRUE(Carrega_Dados_Impressora(params));
  EXPECT_EQ(Values(params), (Strings{"DATAATUIMP=101226103005", "ECFIMP=0003", "REDIMP=",
                                     "SERIEIMP=IB0000000000000012AB", "DATAIMP=091226"}));
  EXPECT_EQ(LogEntries(),
            (Strings{"IBM_FI_DataMovimento\r\nRetorno da Impressora : 091226",
                     "IBM_FI_DataHoraImpressora\r\nRetorno da Impressora : 101226103005",
                     "IBM_FI_NumeroCaixa\r\nRetorno da Impressora : 0003",
                     "IBM_FI_NumeroSerieMFD : \r\nRetorno da Impressora : IB0000000000000012AB"}));
  EXPECT_TRUE(host_.dialogs().empty());
  EXPECT_EQ(termination_.requests, 0);
}

TEST_F(PrinterDataLoadTest, BlankFiscalDateIsTodayAndBlankAnswersSkipTheNextQuery) {
  fake_.Answer("IBM_FI_DataMovimento", 1, "      ");
  fake_.Answer("IBM_FI_NumeroCaixa", 1, "    ");
  HostParams params = Params();
  EXPECT_FALSE(Carrega_Dados_Impressora(params));
  EXPECT_EQ(RecebeParams(params, "DATAIMP").AsString(), "101226");
  EXPECT_EQ(RecebeParams(params, "SERIEIMP").AsString(), "x");
  EXPECT_EQ(fake_.CallCount("IBM_FI_NumeroSerieMFD"), 0);
}

TEST_F(PrinterDataLoadTest, UnreadableParameterIsReportedAndTheLoadGoesOn) {
  HostParams params = MakeParams({{"ESQUEMA", "007"}, {"DATAATUIMP", HostVariant::Null()}});
  EXPECT_TRUE(Carrega_Dados_Impressora(params));
  ASSERT_EQ(host_.dialogs().size(), 1u);
  const std::string text = host_.dialogs()[0].text;
  EXPECT_NE(text.find("\rErro no recebimento dos par\xE2metros da fun\xE7\xE3o: "
                      "Carrega_Dados_Impressora - Zel_01900.bpl"),
            std::string::npos);
  EXPECT_EQ(host_.dialogs()[0].colour_scheme, "001");
  EXPECT_EQ(RecebeParams(params, "DATAATUIMP").AsString(), "101226103005");
}

TEST_F(PrinterDataLoadTest, PrinterSettingZeroIsCorrected) {
  ASSERT_TRUE(sandbox_.WriteWholeFile(IniPath(), "[Sistema]\r\nPath=C:\\IBM\r\nImpressora=0\r\n"));
  HostParams params = Params();
  EXPECT_TRUE(Carrega_Dados_Impressora(params));
  EXPECT_EQ(Ini(), "[Sistema]\r\nPath=C:\\IBM\r\nImpressora=1\r\n");
  ASSERT_EQ(host_.dialogs().size(), 1u);
  EXPECT_NE(host_.dialogs()[0].text.find("IBMFI32.INI"), std::string::npos);
  EXPECT_EQ(host_.dialogs()[0].colour_scheme, "007");
  EXPECT_EQ(termination_.requests, 1);
  EXPECT_EQ(RecebeParams(params, "ECFIMP").AsString(), "0003");  // still loaded
}

TEST_F(PrinterDataLoadTest, OtherSettingsAreLeftAlone) {
  // Only the first Impressora line counts, whatever its section.
  for (const std::string ini : {"Impressora=1\r\n", "Impressora=00\r\n", "Path=C:\\\r\n",
                                "[A]\r\nImpressora=1\r\n[B]\r\nImpressora=0\r\n"}) {
    ASSERT_TRUE(sandbox_.WriteWholeFile(IniPath(), ini));
    HostParams params = Params();
    EXPECT_TRUE(Carrega_Dados_Impressora(params));
    EXPECT_EQ(Ini(), ini);
  }
  EXPECT_TRUE(host_.dialogs().empty());
  EXPECT_EQ(termination_.requests, 0);
}

TEST_F(PrinterDataLoadTest, FailedRewriteKeepsTheFileAndReachesTheHost) {
  ASSERT_TRUE(sandbox_.WriteWholeFile(IniPath(), "Impressora=0\r\n"));
  sandbox_.FailNextWrite(platform::kErrorDiskFull);
  HostParams params = Params();
  EXPECT_THROW(Carrega_Dados_Impressora(params), FileIOError);
  EXPECT_EQ(Ini(), "Impressora=0\r\n");
  EXPECT_EQ(termination_.requests, 0);
}

}  // namespace
}  // namespace zel::test
