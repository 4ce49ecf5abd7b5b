// CarregaTotalizador: the indices of the five totalizers, found in the
// printer's list or named after its last record.
#include <string>
#include <vector>

#include "core/core_fixture.h"
#include "hostutil/layout.h"
#include "zel01900/config_loads.h"

namespace zel::test {
namespace {

using Strings = std::vector<std::string>;

std::string Record(const std::string& name) { return TamFixo(name, 19) + ","; }

class TotalizerLoadTest : public CoreTest {
 protected:
  void Load() { CarregaTotalizador(cv_, vcons_, comp_, canc_, "", "007", 0, nullptr); }
  Strings Indices() { return {cv_, vcons_, comp_, canc_, IdTotRelatorio}; }
  Strings Named() {
    Strings named;
    for (const FakeCall& call : fake_.CallsTo("IBM_FI_NomeiaTotalizadorNaoSujeitoIcms")) {
      named.push_back(call.args[0] + ":" + call.args[1]);
    }
    return named;
  }
  std::string cv_ = "x", vcons_ = "x", comp_ = "x", canc_ = "x";
};

TEST_F(TotalizerLoadTest, AllFoundNothingNamed) {
  fake_.Answer("IBM_FI_VerificaTotalizadoresNaoFiscais", 1,
               Record("SANGRIA") + Record("Canc Credito") + Record("Relatorios") +
                   Record("CONTRA-VALE EMITIDO") + Record("VENDA CONSUMIDOR") +
                   Record("Cred Pessoal") + Record("CONTRA-VALE EMI") + std::string(1, '\0'));
  Load();
  EXPECT_TRUE(Named().empty());
  // A name found twice keeps its last position.
  EXPECT_EQ(Indices(), (Strings{"07", "05", "06", "02", "03"}));
  EXPECT_EQ((Strings{IdTotParcCV, IdTotParcVCons, IdTotCompCred, IdTotCancCred}),
            (Strings{"07", "05", "06", "02"}));
}

TEST_F(TotalizerLoadTest, MissingOnesAreNamedAfterTheLastRecord) {
  fake_.Answer("IBM_FI_VerificaTotalizadoresNaoFiscais", 1,
               Record("SANGRIA") + Record("VENDA CONSUMIDOR") + std::string(1, '\0'));
  fake_.Answer("IBM_FI_NomeiaTotalizadorNaoSujeitoIcms", 0);  // refused: indices kept
  Load();
  EXPECT_EQ(Named(),
            (Strings{"3:CONTRA-VALE EMITIDO", "4:Cred Pessoal", "5:Relatorios", "6:Canc Credito"}));
  EXPECT_EQ(Indices(), (Strings{"03", "02", "04", "06", "05"}));
  EXPECT_EQ(LogEntries()[1], "IBM_FI_NomeiaTotalizadorNaoSujeitoIcms : 03 - CONTRA-VALE EMITIDO");
  EXPECT_NE(dtmImpIBM, nullptr);
}

TEST_F(TotalizerLoadTest, EmptyPrinterNamesAllFromPositionOne) {
  fake_.Answer("IBM_FI_VerificaTotalizadoresNaoFiscais", 1, std::string(1, '\0'));
  Load();
  EXPECT_EQ(Indices(), (Strings{"01", "04", "02", "05", "03"}));
}

}  // namespace
}  // namespace zel::test
