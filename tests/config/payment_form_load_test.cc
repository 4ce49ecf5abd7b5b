// CarregaRecebimento and Config_FormaPg: which forms are programmed, how the
// host's table and cdsReceb are marked, and the deletion of a refused form.
#include <algorithm>
#include <string>
#include <vector>

#include "core/core_fixture.h"
#include "hostutil/layout.h"
#include "runtime/memtable.h"
#include "zel01900/config_loads.h"
#include "zel01900/data_module.h"

namespace zel::test {
namespace {

using Strings = std::vector<std::string>;

class PaymentFormLoadTest : public CoreTest {
 protected:
  PaymentFormLoadTest() {
    for (const char* name : {"CDTIPORECE", "NMTIPORECE", "IDEMIVALE", "CDFPIMPFIS", "IDTIPORECE",
                             "IDTPBUTTON", "DSIMPFISCAL", "IDMOSTRARECE"}) {
      host_table_.AddField(name, FieldType::kString, 50);
    }
    host_table_.CreateDataSet();
    // CDTIPORECE, NMTIPORECE, IDEMIVALE, CDFPIMPFIS, IDTIPORECE, IDTPBUTTON,
    // DSIMPFISCAL, IDMOSTRARECE
    host_table_.AppendRecord({"001", "Din", "", "", "1", "5", "Dinheiro", "S"});
    host_table_.AppendRecord({"002", "Chq", "", "", "4", "5", "Cheque", ""});
    host_table_.AppendRecord({"003", "Rec", "", "", "1", "5", "Recusado", "S"});
    host_table_.AppendRecord({"004", "Bol", "", "", "B", "5", "Boleto", "S"});
    host_table_.AppendRecord({"005", "Ocu", "", "", "1", "5", "Oculto", "N"});
    host_table_.AppendRecord({"006", "Val", "", "", "1", "3", "Vale", "S"});
    // The printer knows "DINHEIRO" in its own letter case.
    fake_.Answer("IBM_FI_VerificaFormasPagamento", 1,
                 TamFixo("DINHEIRO", 16) + std::string(40, '0') + "1,");
  }

  Strings Rows(MemTable& table) {
    Strings rows;
    for (table.First(); !table.Eof(); table.Next()) {
      rows.push_back(table.FieldByName("CDTIPORECE").AsString() + " " +
                     table.FieldByName("NMTIPORECE").AsString() + " " +
                     table.FieldByName("CDFPIMPFIS").AsString() + " " +
                     table.FieldByName("IDEMIVALE").AsString());
    }
    return rows;
  }

  MemTable host_table_;
};

TEST_F(PaymentFormLoadTest, ProgramsMissingFormsAndDeletesRefusedOnes) {
  fake_.AnswerOnce("IBM_FI_ProgramaFormaPagamentoMFD", 1);  // Cheque
  fake_.AnswerOnce("IBM_FI_ProgramaFormaPagamentoMFD", 0);  // Recusado
  CarregaRecebimento("", "007", 0, host_table_);

  Strings programmed;
  for (const FakeCall& call : fake_.CallsTo("IBM_FI_ProgramaFormaPagamentoMFD")) {
    programmed.push_back(call.args[0] + "/" + call.args[1]);
  }
  EXPECT_EQ(programmed, (Strings{"Cheque/1", "Recusado/1", "Rel Gerencial/1"}));
  EXPECT_EQ(host_table_.Filter(), "IDTPBUTTON = '5'");
  EXPECT_TRUE(host_table_.Filtered());
  EXPECT_EQ(Rows(host_table_),
            (Strings{"001 DINHEIRO S S", "002 Chq S N", "004 Bol  ", "005 Ocu  "}));
  // cdsReceb keeps every row of the host's table; the programmed form has
  // its printer code emptied there, the known one its printer name.
  MemTable& receb = dtmImpIBM->cdsReceb;
  EXPECT_FALSE(receb.Filtered());
  EXPECT_EQ(Rows(receb), (Strings{"001 DINHEIRO  S", "002 Chq  N", "003 Rec  ", "004 Bol  ",
                                  "005 Ocu  ", "006 Val  "}));
  EXPECT_NE(std::find(LogEntries().begin(), LogEntries().end(),
                      "IBM_FI_ProgramaFormaPagamentoMFD : Cheque1"),
            LogEntries().end());
}

TEST_F(PaymentFormLoadTest, AFormNamedTwiceIsProgrammedOnce) {
  host_table_.AppendRecord({"007", "Chq2", "", "", "1", "5", "CHEQUE", "S"});
  // A name that ends one programmed before is a form of its own.
  host_table_.AppendRecord({"008", "Que", "", "", "1", "5", "que", "S"});
  CarregaRecebimento("", "007", 0, host_table_);
  // Cheque, Recusado, que and the report.
  EXPECT_EQ(fake_.CallCount("IBM_FI_ProgramaFormaPagamentoMFD"), 4);
  ASSERT_TRUE(host_table_.Locate("CDTIPORECE", HostVariant("007")));
  EXPECT_EQ(host_table_.FieldByName("NMTIPORECE").AsString(), "CHEQUE");
}

TEST_F(PaymentFormLoadTest, RefusedLastFormEndsTheWalk) {
  // The refused form is the last row under the filter: deleting it must not
  // bring the row before it round again.
  MemTable& table = host_table_;
  table.EmptyDataSet();
  table.AppendRecord({"001", "Din", "", "", "1", "5", "Dinheiro", "S"});
  table.AppendRecord({"002", "Chq", "", "", "4", "5", "Cheque", ""});
  table.AppendRecord({"006", "Val", "", "", "1", "3", "Vale", "S"});
  // Without a fiscal name the form is offered to the printer as such (and
  // refused here), never named after the printer's first form.
  table.AppendRecord({"007", "Sem", "", "", "1", "5", "", "S"});
  table.AppendRecord({"003", "Rec", "", "", "1", "5", "Recusado", "S"});
  fake_.AnswerOnce("IBM_FI_ProgramaFormaPagamentoMFD", 1);  // Cheque
  fake_.AnswerOnce("IBM_FI_ProgramaFormaPagamentoMFD", 0);  // no name
  fake_.AnswerOnce("IBM_FI_ProgramaFormaPagamentoMFD", 0);  // Recusado
  CarregaRecebimento("", "007", 0, table);
  const std::vector<FakeCall> calls = fake_.CallsTo("IBM_FI_ProgramaFormaPagamentoMFD");
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_TRUE(calls[1].IsNull(0));
  EXPECT_EQ(Rows(table), (Strings{"001 DINHEIRO S S", "002 Chq S N"}));
  EXPECT_EQ(Rows(dtmImpIBM->cdsReceb),
            (Strings{"001 DINHEIRO  S", "002 Chq  N", "006 Val  ", "007 Sem  ", "003 Rec  "}));
}

TEST_F(PaymentFormLoadTest, ConfigFormaPgProgramsFifteenCharacters) {
  EXPECT_TRUE(Config_FormaPg("007", "Cartao Debito Maestro", false, false));
  EXPECT_EQ(fake_.CallsTo("IBM_FI_ProgramaFormaPagamentoMFD")[0].args,
            (Strings{"Cartao Debito M", "1"}));
  fake_.Answer("IBM_FI_ProgramaFormaPagamentoMFD", -24);
  EXPECT_FALSE(Config_FormaPg("007", "X", true, false));
  ASSERT_EQ(host_.dialogs().size(), 1u);
  EXPECT_EQ(host_.dialogs()[0].text, "Forma de pagamento n\xE3o programada.");
}

}  // namespace
}  // namespace zel::test
