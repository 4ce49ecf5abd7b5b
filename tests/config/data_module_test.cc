// The data module's stored definition: message tables, table fields in
// order with types and widths, indexes and the after-open handler.
#include "zel01900/data_module.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/message_tables.h"
#include "runtime/memtable.h"
#include "zel01900/testing.h"

namespace zel::test {
namespace {

using Strings = std::vector<std::string>;

class DataModuleTest : public ::testing::Test {
 protected:
  DataModuleTest() { ZelResetModuleState(); }
  ~DataModuleTest() override { ZelResetModuleState(); }

  TdtmImpIBM& dm() { return EnsureDataModule(); }

  // "NAME:type:size" for each stored field, type as S (text), F (float) or
  // D (date-time).
  static Strings Layout(const MemTable& table) {
    Strings layout;
    for (const FieldDef& def : table.FieldDefs()) {
      const char* type = def.type == FieldType::kString     ? "S"
                         : def.type == FieldType::kFloat    ? "F"
                         : def.type == FieldType::kDateTime ? "D"
                                                            : "?";
      std::string entry = def.name + ":" + type;
      if (def.type == FieldType::kString) entry += ":" + std::to_string(def.size);
      layout.push_back(entry);
    }
    return layout;
  }
};

const Strings kPaymentForm = {
    "CDFILIAL:S:4",     "CDTIPORECE:S:3",   "NMTIPORECE:S:40",    "VRTAXAADMI:F",
    "VRMINCARTAO:F",    "CDTIPOTROCO:S:3",  "NRORDTROCO:S:3",     "IDEMIVALE:S:1",
    "IDVALE:S:1",       "IDDEBCLIE:S:1",    "CDFPIMPFIS:S:10",    "IDTIPORECE:S:1",
    "CDTPINDICE:S:1",   "IDPERVALOR:S:1",   "CDINDICE:S:4",       "NRCONFTELA:S:5",
    "IDTPBUTTON:S:1",   "NRBUTTON:S:5",     "NRPGCONFTELA:S:2",   "IDTPBUTONAUX:S:1",
    "NRBUTTONAUX:S:5",  "NRPGCONFTAUX:S:2", "CDIDENTBUTON:S:10",  "DSBUTTON:S:40",
    "NRCOLORTEXT:F",    "NRCOLORBACK:F",    "DSMESSAGEBUT:S:300", "DSIMAGEMBUT:S:200",
    "DSIMPFISCAL:S:50", "CDADMINCART:S:20", "CDBANCARTCR:S:10",   "IDMOSTRARECE:S:1",
    "IDDESABTEF:S:1"};

const Strings kReductionZ = {
    "NRECFREDZ:S:4",     "DTREDUCAOZ:D",      "NRREINIREDZ:S:10", "NRREDREDZ:S:10",
    "NRLEITREDZ:S:10",   "NRGERCNFREDZ:S:10", "NRCANCFREDZ:S:10", "NRPRIMCFREDZ:S:10",
    "NRULTCFREDZ:S:10",  "VRGTREDZ:F",        "VRVENBRUREDZ:F",   "VRISSREDZ:F",
    "VRTOTCANREDZ:F",    "VRTOTDESREDZ:F",    "VRVENLIQREDZ:F",   "VRTOTACRREDZ:F",
    "VRSTRIBREDZ:F",     "VRISENCREDZ:F",     "VRNINCIDREDZ:F",   "QTTEMLIGREDZ:S:6",
    "QTTEMPCFREDZ:S:6",  "QTMEMRESREDZ:F",    "IDORIGEMREDZ:S:3", "DSMODMARCAECF:S:30",
    "NRUSUARIOMFD:S:10", "CDMFADICIONAL:S:5", "DTGRAVSBECF:D"};

TEST_F(DataModuleTest, CreatedOnFirstNeedAndThenKept) {
  ASSERT_EQ(dtmImpIBM, nullptr);
  TdtmImpIBM& first = EnsureDataModule();
  EXPECT_EQ(dtmImpIBM, &first);
  first.cdsTeste.CreateDataSet();
  first.cdsTeste.AppendRecord({1.0});
  TdtmImpIBM& second = EnsureDataModule();
  EXPECT_EQ(&second, &first);
  EXPECT_EQ(second.cdsTeste.RecordCount(), 1);  // tables keep their content
}

TEST_F(DataModuleTest, PaymentFormTables) {
  EXPECT_EQ(Layout(dm().cdsReceb), kPaymentForm);
  EXPECT_EQ(Layout(dm().cdsTipoRece), kPaymentForm);
  EXPECT_EQ(Layout(dm().cdsTipoReceAux), kPaymentForm);
  const Strings first28(kPaymentForm.begin(), kPaymentForm.begin() + 28);
  EXPECT_EQ(Layout(dm().cdsRecebAux), first28);
  EXPECT_EQ(first28.back(), "DSIMAGEMBUT:S:200");
}

TEST_F(DataModuleTest, ReductionTables) {
  EXPECT_EQ(Layout(dm().cdsReducaoZ), kReductionZ);
  Strings without_origin = kReductionZ;
  std::erase(without_origin, "IDORIGEMREDZ:S:3");
  EXPECT_EQ(Layout(dm().cdsRedzAux01), without_origin);
  EXPECT_EQ(without_origin.size(), 26u);
}

TEST_F(DataModuleTest, OtherStoredTables) {
  struct Case {
    MemTable* table;
    Strings layout;
  };
  TdtmImpIBM& d = dm();
  const Strings movement = {"IDTIPOREG:S:1", "CDTIPORECE:S:3", "NMTIPORECE:S:40", "VRSAIDA:F"};
  const Strings forms = {"NRECFREDZ:S:4", "DTREDUCAOZ:D", "CDTIPORECE:S:3", "VRFORMPGTORZ:F",
                         "CDTPRECEORIG:S:3"};
  const Strings taxes = {"NRECFREDZ:S:4",  "DTREDUCAOZ:D",  "CDALIQIMPRZ:S:10", "VRALIQIMPRZ:F",
                         "VRBCALCIMPRZ:F", "VRIMPOSTORZ:F", "IDTPIMPREDZ:S:1"};
  const Strings totals = {"NRECFREDZ:S:4",     "DTREDUCAOZ:D",      "NRTOTNFISCRZ:S:10",
                          "DSTOTNFISCRZ:S:50", "NRCONTOTNFIS:S:10", "VRACUTOTNFIS:F"};
  const std::vector<Case> cases = {
      {&d.cdsAliqImpFis, {"CDALIQIMPFIS:S:10", "VRALIQIMPFIS:F", "IDALIQIMPFIS:S:1"}},
      {&d.cdsMovFecha,
       {"CDTIPORECE:S:3", "NMTIPORECE:S:40", "DTABERCAIX:D", "VRFECHAINF:F", "VRFECHADIG:F",
        "NRENVELOPE:S:6"}},
      {&d.cdsSangria, {"CDTIPORECE:S:3", "NMTIPORECE:S:40", "VRSANGRIA:F", "CDCLIENTE:S:21"}},
      {&d.cdsMovAbertura, movement},
      {&d.cdsMovTot, movement},
      {&d.cdsFormPgtoRedZ, forms},
      {&d.cdsFormRedzAux01, forms},
      {&d.cdsImpostoRedZ, taxes},
      {&d.cdsImpostoRedzAux01, taxes},
      {&d.cdsTotNFiscRedZ, totals},
      {&d.cdsTotNFisAux01, totals},
      {&d.cdsAliqProduto, {"VRPERCSITTRIB:F", "VRTOTALALIQ:F", "IDTPIMPOSFIS:S:20"}},
      {&d.cdsImposto,
       {"CDALIQIMPFIS:S:10", "VRALIQIMPFIS:S:14", "VRIMPOSTO:S:14", "VRVENDIDO:S:14",
        "CDIMPOSTO:S:10"}},
      {&d.cdsTeste,
       {"QTPRODCOMVEN:F", "VRPRECCOMVEN:F", "CDARVPROD:S:20", "NMPRODUTO:S:50", "CDPRODUTO:S:10"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Layout(*c.table), c.layout) << c.table->name();
  }
}

TEST_F(DataModuleTest, ClosingAmountIsShownWithThousandsAndTwoDecimals) {
  MemTable& table = dm().cdsMovFecha;
  table.CreateDataSet();
  table.Append();
  table.FieldByName("VRFECHADIG").SetAsFloat(1234.5);
  table.FieldByName("VRFECHAINF").SetAsFloat(1234.5);
  table.Post();
  EXPECT_EQ(table.FieldByName("VRFECHADIG").DisplayText(), "1.234,50");
  EXPECT_EQ(table.FieldByName("VRFECHAINF").DisplayText(), "1234,5");
}

TEST_F(DataModuleTest, FortyTablesStartClosedAndEmpty) {
  TdtmImpIBM& d = dm();
  const Strings runtime_defined = {
      "cdsParcProdutos", "cdsMovCaixa",       "cdsMovCaixaTef",     "cdsOperadorSup",
      "cdsProdVend",     "cdsItemsReg",       "cdsProdDeb",         "cdsTipoReceHomolog",
      "cdsMesaAberZel",  "cdsProdutoTransf",  "cdsDadosPaf",        "cdsCheckECF",
      "cdsParametros",   "cdsArquivosLumMd5", "cdsBuscaNrSerieEcf", "cdsSaldCred",
      "cdsFamiliaSaldo", "cdsEmprestimo",     "cdsVrSaldConsumi",   "cdsProdCred"};
  Strings names;
  for (int i = 0; i < TdtmImpIBM::kTableCount; ++i) {
    MemTable* table = d.Tables(i);
    ASSERT_NE(table, nullptr);
    EXPECT_FALSE(table->Active()) << table->name();
    EXPECT_EQ(d.FindTable(table->name()), table);
    names.push_back(table->name());
  }
  EXPECT_EQ(d.Tables(TdtmImpIBM::kTableCount), nullptr);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(std::unique(names.begin(), names.end()), names.end());
  for (const std::string& name : runtime_defined) {
    MemTable* table = d.FindTable(name);
    ASSERT_NE(table, nullptr) << name;
    EXPECT_EQ(table->FieldCount(), 0) << name;
  }
  EXPECT_EQ(d.FindTable("CDSRECEB"), &d.cdsReceb);
  EXPECT_EQ(d.FindTable("cdsNada"), nullptr);
}

TEST_F(DataModuleTest, StoredIndexes) {
  TdtmImpIBM& d = dm();
  auto indexes = [](const MemTable& table) {
    Strings list;
    for (const MemTable::IndexDef& index : table.IndexDefs()) {
      list.push_back(index.name + "(" + index.fields + ")");
    }
    return list;
  };
  EXPECT_EQ(indexes(d.cdsAliqImpFis), Strings{"IdxIdAliqVrAliq(IDALIQIMPFIS;VRALIQIMPFIS)"});
  EXPECT_EQ(d.cdsAliqImpFis.IndexName(), "IdxIdAliqVrAliq");
  for (MemTable* table : {&d.cdsMovCaixa, &d.cdsMovCaixaTef}) {
    EXPECT_EQ(indexes(*table),
              (Strings{"idxNRORDTROCO(NRORDTROCO;DTHRINCMOV)", "idxDTHRINCMOV(DTHRINCMOV)"}));
    EXPECT_EQ(table->IndexName(), "idxNRORDTROCO");
  }
  EXPECT_EQ(indexes(d.cdsProdVend),
            (Strings{"IDXCDPRODUTO(CDPRODUTO)", "idxTributacao(IDTPIMPOSFIS;VRPEALIMPFIS)"}));
  EXPECT_EQ(d.cdsProdVend.IndexName(), "");
  EXPECT_EQ(indexes(d.cdsAliqProduto), Strings{"idxTributacao(VRPERCSITTRIB)"});
  EXPECT_EQ(d.cdsAliqProduto.IndexName(), "");
}

TEST_F(DataModuleTest, ActiveIndexOrdersTheRecords) {
  MemTable& rates = dm().cdsAliqImpFis;
  rates.CreateDataSet();
  rates.AppendRecord({"01", 18.0, "T"});
  rates.AppendRecord({"02", 5.0, "S"});
  rates.AppendRecord({"03", 7.0, "T"});
  Strings order;
  for (rates.First(); !rates.Eof(); rates.Next()) {
    order.push_back(rates.FieldByName("CDALIQIMPFIS").AsString());
  }
  EXPECT_EQ(order, (Strings{"02", "03", "01"}));
}

TEST_F(DataModuleTest, RuntimeDefinedMovementsFollowTheirActiveIndex) {
  MemTable& movements = dm().cdsMovCaixa;
  movements.AddField("NRORDTROCO", FieldType::kString, 3);
  movements.AddField("DTHRINCMOV", FieldType::kDateTime);
  movements.AddField("VRMOVIVEND", FieldType::kFloat);
  movements.CreateDataSet();
  movements.AppendRecord({"2", HostVariant::FromDateTime(10.5), 1.0});
  movements.AppendRecord({"1", HostVariant::FromDateTime(11.5), 2.0});
  movements.AppendRecord({"1", HostVariant::FromDateTime(10.5), 3.0});
  Strings order;
  for (movements.First(); !movements.Eof(); movements.Next()) {
    order.push_back(movements.FieldByName("VRMOVIVEND").AsString());
  }
  EXPECT_EQ(order, (Strings{"3", "2", "1"}));
}

TEST_F(DataModuleTest, CheckEcfTurnsItsChangeLogOffWhenOpened) {
  MemTable source;
  source.AddField("CAMPO01", FieldType::kString, 1);
  source.CreateDataSet();
  source.AppendRecord({"S"});
  MemTable& check = dm().cdsCheckECF;
  check.SetData(source.Data());
  EXPECT_FALSE(check.LogChanges());
  // The packet's own logged insert stays; the edit is not logged.
  EXPECT_EQ(check.ChangeCount(), 1);
  check.MergeChangeLog();
  check.Edit();
  check.FieldByName("CAMPO01").SetAsString("N");
  check.Post();
  EXPECT_EQ(check.ChangeCount(), 0);
  // Other tables keep the runtime's default.
  dm().cdsTeste.CreateDataSet();
  EXPECT_TRUE(dm().cdsTeste.LogChanges());
}

TEST_F(DataModuleTest, MessageTablesHoldTheStoredEntries) {
  EXPECT_EQ(dm().msgPadrao.Count(), 222);
  EXPECT_EQ(dm().msgPadrao2.Count(), 39);
  EXPECT_EQ(dm().msgPadrao.Msg("ImpDeslig"), "Impressora desligada ou desconectada.");
  // The first of the two AliqNaoCad entries is the one found.
  EXPECT_EQ(dm().msgPadrao.Msg("AliqNaoCad"),
            "Al\xEDquota n\xE3o cadastrada na impressora fiscal.");
  for (const auto& [key, text] : core::Padrao2MessageEntries()) {
    EXPECT_EQ(dm().msgPadrao2.Msg(key), text) << key;
  }
}

}  // namespace
}  // namespace zel::test
