// The Z export: the summary row, tax rows, non-fiscal totalizer rows and
// payment rows built from the printer's answers, and the folders beside the
// host's executable.
#include <string>
#include <vector>

#include "core/core_fixture.h"
#include "runtime/format.h"
#include "runtime/memtable.h"

namespace zel::test {
namespace {

using Strings = std::vector<std::string>;

std::string Digits(long long cents, size_t width) {
  std::string text = std::to_string(cents);
  return std::string(width - text.size(), '0') + text;
}

// A rate list: the given four-digit rates, then "0000" up to sixteen.
std::string RateList(const Strings& rates) {
  std::string list;
  for (size_t i = 0; i < 16; ++i) list += (i < rates.size() ? rates[i] : "0000") + ",";
  return list.substr(0, 79);
}

// The partial totals: sixteen taxed totals, then exempt, non-incidence and
// substitution (cents).
std::string PartialTotals(const std::vector<long long>& taxed, long long exempt,
                          long long non_incidence, long long substitution) {
  std::string record;
  for (size_t i = 0; i < 16; ++i) record += Digits(i < taxed.size() ? taxed[i] : 0, 14);
  record += "," + Digits(exempt, 14) + "," + Digits(non_incidence, 14) + "," +
            Digits(substitution, 14) + ",";
  return record;
}

std::string NonFiscalRecord(const std::string& counter, long long cents, const std::string& name) {
  return counter + Digits(cents, 20) + name + std::string(19 - name.size(), ' ') + ",";
}

std::string PaymentRecord(const std::string& name, long long cents) {
  return name + std::string(15 - name.size(), ' ') + "," + Digits(cents, 20) + std::string(22, '0');
}

class ZExportTest : public CoreTest {
 protected:
  void SetUp() override {
    fake_.Answer("IBM_FI_NumeroCupom", 1, "000123");
    fake_.Answer("IBM_FI_MarcaModeloTipoImpressoraMFD", 1, "IBM", "4610 KN4", "ECF-IF");
    fake_.Answer("IBM_FI_NumeroSubstituicoesProprietario", 1, "0002");
    fake_.Answer("IBM_FI_DataMovimento", 1, "091226");
    fake_.Answer("IBM_FI_NumeroOperacoesNaoFiscais", 1, "000045");
    fake_.Answer("IBM_FI_NumeroIntervencoes", 1, "0003");
    fake_.Answer("IBM_FI_NumeroReducoes", 1, "0011");
    fake_.Answer("IBM_FI_GrandeTotal", 1, "000000000000123450");
    fake_.Answer("IBM_FI_VendaBruta", 1, Digits(10000, 18));
    fake_.Answer("IBM_FI_Cancelamentos", 1, Digits(1000, 14));
    fake_.Answer("IBM_FI_Descontos", 1, Digits(500, 14));
    fake_.Answer("IBM_FI_Acrescimos", 1, Digits(200, 14));
    fake_.Answer("IBM_FI_RetornoAliquotas", 1, RateList({"1800", "1200", "0700", "0500"}));
    fake_.Answer("IBM_FI_VerificaTotalizadoresParciais", 1,
                 PartialTotals({10000, 0, 5000, 2000}, 3000, 4000, 1500));
    fake_.Answer("IBM_FI_VerificaRecebimentoNaoFiscal", 1,
                 NonFiscalRecord("0002", 1234, "SANGRIA") + std::string(44, ' ') +
                     NonFiscalRecord("0000", 0, "0RESERVADO") +
                     NonFiscalRecord("0001", 5000, "SUPRIMENTO"));
    fake_.Answer("IBM_FI_VerificaFormasPagamento", 1,
                 PaymentRecord("Dinheiro", 10000) + PaymentRecord("Cheque", 3000) +
                     PaymentRecord("especie", 700) + PaymentRecord("Vale", 900));
    types_.AddField("CDTIPORECE", FieldType::kString, 3);
    types_.AddField("NMTIPORECE", FieldType::kString, 40);
    types_.CreateDataSet();
    types_.AppendRecord({"001", "Dinheiro"});
    types_.AppendRecord({"002", "CHEQUE"});
    types_.AppendRecord({"001", "ESPECIE"});
  }

  bool Export() {
    return ExportRedZ("", "002", "0001", 0, types_, summary_, payments_, taxes_, totals_);
  }

  MemTable types_, summary_, payments_, taxes_, totals_;
};

TEST_F(ZExportTest, SummaryRow) {
  EXPECT_TRUE(Export());
  ASSERT_EQ(summary_.RecordCount(), 1);
  summary_.First();
  auto text = [&](const char* field) { return summary_.FieldByName(field).AsString(); };
  auto value = [&](const char* field) { return summary_.FieldByName(field).AsFloat(); };
  EXPECT_EQ(text("NRECFREDZ"), "0001");
  EXPECT_EQ(FormatDateTime("dd/mm/yyyy", summary_.FieldByName("DTREDUCAOZ").AsDateTime()),
            "09/12/2026");
  EXPECT_EQ(text("NRGERCNFREDZ"), "000045");
  EXPECT_EQ(text("NRREINIREDZ"), "0003");
  EXPECT_EQ(text("NRREDREDZ"), "0012");  // the coming reduction
  EXPECT_EQ(text("NRLEITREDZ"), "0000000000");
  EXPECT_EQ(text("NRCANCFREDZ"), "0000000000");
  EXPECT_EQ(text("NRPRIMCFREDZ"), "0000000000");
  EXPECT_EQ(text("NRULTCFREDZ"), "0000000124");
  EXPECT_DOUBLE_EQ(value("VRGTREDZ"), 1234.50);
  EXPECT_DOUBLE_EQ(value("VRVENBRUREDZ"), 100.00);
  EXPECT_DOUBLE_EQ(value("VRTOTCANREDZ"), 10.00);
  EXPECT_DOUBLE_EQ(value("VRTOTDESREDZ"), 5.00);
  EXPECT_DOUBLE_EQ(value("VRVENLIQREDZ"), 85.00);
  EXPECT_DOUBLE_EQ(value("VRTOTACRREDZ"), 2.00);
  EXPECT_DOUBLE_EQ(value("VRISSREDZ"), 0);
  EXPECT_DOUBLE_EQ(value("VRISENCREDZ"), 30.00);
  EXPECT_DOUBLE_EQ(value("VRNINCIDREDZ"), 40.00);
  EXPECT_DOUBLE_EQ(value("VRSTRIBREDZ"), 15.00);
  EXPECT_EQ(text("DSMODMARCAECF"), "IBM|4610 KN4");
  EXPECT_EQ(text("NRUSUARIOMFD"), "0002");
  EXPECT_FALSE(summary_.FieldByName("CDMFADICIONAL").IsNull());
  EXPECT_TRUE(summary_.FieldByName("QTTEMLIGREDZ").IsNull());
  EXPECT_TRUE(summary_.FieldByName("DTGRAVSBECF").IsNull());
}

TEST_F(ZExportTest, TaxRowsUpToTheFirstUnprogrammedRate) {
  Export();
  Strings rows;
  for (taxes_.First(); !taxes_.Eof(); taxes_.Next()) {
    rows.push_back(taxes_.FieldByName("NRECFREDZ").AsString() + " " +
                   taxes_.FieldByName("CDALIQIMPRZ").AsString() + " " +
                   taxes_.FieldByName("VRALIQIMPRZ").AsString() + " " +
                   taxes_.FieldByName("VRBCALCIMPRZ").AsString() + " " +
                   taxes_.FieldByName("VRIMPOSTORZ").AsString() + " " +
                   taxes_.FieldByName("IDTPIMPREDZ").AsString());
  }
  EXPECT_EQ(rows, (Strings{"0001 1 18 100 18 T", "0001 2 12 0 0 T", "0001 3 7 50 3,5 T",
                           "0001 4 5 20 1 T"}));
}

TEST_F(ZExportTest, SixteenProgrammedRatesGiveSixteenRows) {
  fake_.Answer("IBM_FI_RetornoAliquotas", 1, RateList(Strings(16, "0100")));
  Export();
  EXPECT_EQ(taxes_.RecordCount(), 16);
  taxes_.Last();
  EXPECT_EQ(taxes_.FieldByName("CDALIQIMPRZ").AsString(), "16");
}

TEST_F(ZExportTest, NonFiscalRowsSkipUnnamedSlotsInTheirNumbering) {
  Export();
  Strings rows;
  for (totals_.First(); !totals_.Eof(); totals_.Next()) {
    rows.push_back(totals_.FieldByName("NRTOTNFISCRZ").AsString() + "|" +
                   totals_.FieldByName("DSTOTNFISCRZ").AsString() + "|" +
                   totals_.FieldByName("NRCONTOTNFIS").AsString() + "|" +
                   totals_.FieldByName("VRACUTOTNFIS").AsString());
  }
  EXPECT_EQ(rows, (Strings{"01|SANGRIA            |0002|12,34", "02|SUPRIMENTO         |0001|50"}));
}

TEST_F(ZExportTest, PaymentFormsSumByHostCode) {
  Export();
  Strings rows;
  for (payments_.First(); !payments_.Eof(); payments_.Next()) {
    rows.push_back(payments_.FieldByName("CDTIPORECE").AsString() + "|" +
                   payments_.FieldByName("CDTPRECEORIG").AsString() + "|" +
                   payments_.FieldByName("VRFORMPGTORZ").AsString());
  }
  // "especie" maps to 001 as "Dinheiro" does; "Vale" is not a host type.
  EXPECT_EQ(rows, (Strings{"001|001|107", "002|002|30"}));
}

TEST_F(ZExportTest, UnansweredListsGiveNoRows) {
  for (const char* list :
       {"IBM_FI_RetornoAliquotas", "IBM_FI_VerificaTotalizadoresParciais",
        "IBM_FI_VerificaRecebimentoNaoFiscal", "IBM_FI_VerificaFormasPagamento"}) {
    fake_.Answer(list, -1);
  }
  EXPECT_TRUE(Export());
  EXPECT_EQ(summary_.RecordCount(), 1);
  EXPECT_EQ(taxes_.RecordCount(), 0);
  EXPECT_EQ(totals_.RecordCount(), 0);
  EXPECT_EQ(payments_.RecordCount(), 0);
  summary_.First();
  EXPECT_DOUBLE_EQ(summary_.FieldByName("VRISENCREDZ").AsFloat(), 0);
}

TEST_F(ZExportTest, AFailedStepStillHandsBackWhatWasComplete) {
  // The receipt number cannot be read: the summary row is never complete.
  fake_.Answer("IBM_FI_NumeroCupom", -1);
  EXPECT_TRUE(Export());
  EXPECT_EQ(summary_.RecordCount(), 0);
  EXPECT_GT(summary_.FieldCount(), 0);
}

TEST_F(ZExportTest, FoldersBesideTheHostExecutable) {
  Export();
  const std::string base = sandbox_.ExecutableDirectory();
  EXPECT_TRUE(sandbox_.DirectoryExists(platform::JoinPath(base, "Dados")));
  // "Dados\Reduções" in Windows-1252 is "Dados/Reduções" in UTF-8 on disk.
  EXPECT_TRUE(sandbox_.DirectoryExists(platform::JoinPath(base,
                                                          "Dados\\Redu\xE7\xF5"
                                                          "es")));
  EXPECT_TRUE(host_.dialogs().empty());
}

TEST_F(ZExportTest, AFolderThatCannotBeMadeIsToldAndTheExportGoesOn) {
  const std::string base = sandbox_.ExecutableDirectory();
  ASSERT_TRUE(sandbox_.WriteWholeFile(platform::JoinPath(base, "Dados"), "not a folder"));
  EXPECT_TRUE(Export());
  const Strings dialogs = host_.DialogTexts();
  ASSERT_EQ(dialogs.size(), 2u);
  // The driver names the host's folder by its short form (8.3 names on
  // Windows).
  EXPECT_EQ(dialogs[0], "N\xE3o foi poss\xEDvel criar o diret\xF3rio:  " +
                            platform::JoinPath(sandbox_.ShortPath(base), "Dados"));
  EXPECT_EQ(summary_.RecordCount(), 1);
}

}  // namespace
}  // namespace zel::test
