// The data module's stored definition: field definitions, indexes, the
// after-open handler and the message tables, applied when the instance is
// built.
#include "zel01900/data_module.h"

#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/message_tables.h"
#include "runtime/field.h"
#include "zel01900/core.h"

namespace {

using zel::FieldType;
using zel::MemTable;

struct StoredField {
  const char* name;
  FieldType type;
  int size;  // width of a text field; 0 for other types
};

constexpr FieldType kText = FieldType::kString;
constexpr FieldType kFloat = FieldType::kFloat;
constexpr FieldType kDateTime = FieldType::kDateTime;

// Payment-form layout; cdsRecebAux stores the first 28 fields (up to
// DSIMAGEMBUT).
constexpr StoredField kPaymentForm[] = {
    {"CDFILIAL", kText, 4},      {"CDTIPORECE", kText, 3},    {"NMTIPORECE", kText, 40},
    {"VRTAXAADMI", kFloat, 0},   {"VRMINCARTAO", kFloat, 0},  {"CDTIPOTROCO", kText, 3},
    {"NRORDTROCO", kText, 3},    {"IDEMIVALE", kText, 1},     {"IDVALE", kText, 1},
    {"IDDEBCLIE", kText, 1},     {"CDFPIMPFIS", kText, 10},   {"IDTIPORECE", kText, 1},
    {"CDTPINDICE", kText, 1},    {"IDPERVALOR", kText, 1},    {"CDINDICE", kText, 4},
    {"NRCONFTELA", kText, 5},    {"IDTPBUTTON", kText, 1},    {"NRBUTTON", kText, 5},
    {"NRPGCONFTELA", kText, 2},  {"IDTPBUTONAUX", kText, 1},  {"NRBUTTONAUX", kText, 5},
    {"NRPGCONFTAUX", kText, 2},  {"CDIDENTBUTON", kText, 10}, {"DSBUTTON", kText, 40},
    {"NRCOLORTEXT", kFloat, 0},  {"NRCOLORBACK", kFloat, 0},  {"DSMESSAGEBUT", kText, 300},
    {"DSIMAGEMBUT", kText, 200}, {"DSIMPFISCAL", kText, 50},  {"CDADMINCART", kText, 20},
    {"CDBANCARTCR", kText, 10},  {"IDMOSTRARECE", kText, 1},  {"IDDESABTEF", kText, 1},
};
constexpr int kRecebAuxFieldCount = 28;

// Z-reduction layout; cdsRedzAux01 leaves out IDORIGEMREDZ.
constexpr StoredField kReductionZ[] = {
    {"NRECFREDZ", kText, 4},     {"DTREDUCAOZ", kDateTime, 0}, {"NRREINIREDZ", kText, 10},
    {"NRREDREDZ", kText, 10},    {"NRLEITREDZ", kText, 10},    {"NRGERCNFREDZ", kText, 10},
    {"NRCANCFREDZ", kText, 10},  {"NRPRIMCFREDZ", kText, 10},  {"NRULTCFREDZ", kText, 10},
    {"VRGTREDZ", kFloat, 0},     {"VRVENBRUREDZ", kFloat, 0},  {"VRISSREDZ", kFloat, 0},
    {"VRTOTCANREDZ", kFloat, 0}, {"VRTOTDESREDZ", kFloat, 0},  {"VRVENLIQREDZ", kFloat, 0},
    {"VRTOTACRREDZ", kFloat, 0}, {"VRSTRIBREDZ", kFloat, 0},   {"VRISENCREDZ", kFloat, 0},
    {"VRNINCIDREDZ", kFloat, 0}, {"QTTEMLIGREDZ", kText, 6},   {"QTTEMPCFREDZ", kText, 6},
    {"QTMEMRESREDZ", kFloat, 0}, {"IDORIGEMREDZ", kText, 3},   {"DSMODMARCAECF", kText, 30},
    {"NRUSUARIOMFD", kText, 10}, {"CDMFADICIONAL", kText, 5},  {"DTGRAVSBECF", kDateTime, 0},
};
constexpr std::string_view kReductionOriginField = "IDORIGEMREDZ";

constexpr StoredField kAliqImpFis[] = {
    {"CDALIQIMPFIS", kText, 10}, {"VRALIQIMPFIS", kFloat, 0}, {"IDALIQIMPFIS", kText, 1}};

constexpr StoredField kMovFecha[] = {{"CDTIPORECE", kText, 3},     {"NMTIPORECE", kText, 40},
                                     {"DTABERCAIX", kDateTime, 0}, {"VRFECHAINF", kFloat, 0},
                                     {"VRFECHADIG", kFloat, 0},    {"NRENVELOPE", kText, 6}};

constexpr StoredField kSangria[] = {{"CDTIPORECE", kText, 3},
                                    {"NMTIPORECE", kText, 40},
                                    {"VRSANGRIA", kFloat, 0},
                                    {"CDCLIENTE", kText, 21}};

constexpr StoredField kMovement[] = {{"IDTIPOREG", kText, 1},
                                     {"CDTIPORECE", kText, 3},
                                     {"NMTIPORECE", kText, 40},
                                     {"VRSAIDA", kFloat, 0}};

constexpr StoredField kFormPgtoRedZ[] = {{"NRECFREDZ", kText, 4},
                                         {"DTREDUCAOZ", kDateTime, 0},
                                         {"CDTIPORECE", kText, 3},
                                         {"VRFORMPGTORZ", kFloat, 0},
                                         {"CDTPRECEORIG", kText, 3}};

constexpr StoredField kImpostoRedZ[] = {{"NRECFREDZ", kText, 4},     {"DTREDUCAOZ", kDateTime, 0},
                                        {"CDALIQIMPRZ", kText, 10},  {"VRALIQIMPRZ", kFloat, 0},
                                        {"VRBCALCIMPRZ", kFloat, 0}, {"VRIMPOSTORZ", kFloat, 0},
                                        {"IDTPIMPREDZ", kText, 1}};

constexpr StoredField kTotNFiscRedZ[] = {{"NRECFREDZ", kText, 4},     {"DTREDUCAOZ", kDateTime, 0},
                                         {"NRTOTNFISCRZ", kText, 10}, {"DSTOTNFISCRZ", kText, 50},
                                         {"NRCONTOTNFIS", kText, 10}, {"VRACUTOTNFIS", kFloat, 0}};

constexpr StoredField kAliqProduto[] = {
    {"VRPERCSITTRIB", kFloat, 0}, {"VRTOTALALIQ", kFloat, 0}, {"IDTPIMPOSFIS", kText, 20}};

constexpr StoredField kImposto[] = {{"CDALIQIMPFIS", kText, 10},
                                    {"VRALIQIMPFIS", kText, 14},
                                    {"VRIMPOSTO", kText, 14},
                                    {"VRVENDIDO", kText, 14},
                                    {"CDIMPOSTO", kText, 10}};

constexpr StoredField kTeste[] = {{"QTPRODCOMVEN", kFloat, 0},
                                  {"VRPRECCOMVEN", kFloat, 0},
                                  {"CDARVPROD", kText, 20},
                                  {"NMPRODUTO", kText, 50},
                                  {"CDPRODUTO", kText, 10}};

template <size_t N>
void DefineFields(MemTable& table, const StoredField (&fields)[N], size_t count = N,
                  std::string_view skip = {}) {
  for (size_t i = 0; i < count; ++i) {
    if (!skip.empty() && skip == fields[i].name) continue;
    table.AddField(fields[i].name, fields[i].type, fields[i].size);
  }
}

// Gives a stored field its display format (how the closing reports show it).
void SetDisplayFormat(MemTable& table, std::string_view field, std::string_view format) {
  std::vector<zel::FieldDef> defs = table.FieldDefs();
  table.ClearFields();
  for (zel::FieldDef& def : defs) {
    if (def.name == field) def.display_format = std::string(format);
    table.AddFieldDef(std::move(def));
  }
}

void LoadMessages(zel::TMessages& messages, const zel::core::MessageEntries& entries) {
  messages.Clear();
  for (const auto& [key, text] : entries) messages.Add(key, text);
}

}  // namespace

TdtmImpIBM::TdtmImpIBM() {
  LoadMessages(msgPadrao, zel::core::PadraoMessageEntries());
  LoadMessages(msgPadrao2, zel::core::Padrao2MessageEntries());

  DefineFields(cdsReceb, kPaymentForm);
  DefineFields(cdsTipoRece, kPaymentForm);
  DefineFields(cdsTipoReceAux, kPaymentForm);
  DefineFields(cdsRecebAux, kPaymentForm, kRecebAuxFieldCount);

  DefineFields(cdsReducaoZ, kReductionZ);
  DefineFields(cdsRedzAux01, kReductionZ, std::size(kReductionZ), kReductionOriginField);

  DefineFields(cdsAliqImpFis, kAliqImpFis);
  DefineFields(cdsMovFecha, kMovFecha);
  SetDisplayFormat(cdsMovFecha, "VRFECHADIG", TdtmImpIBM::kVrFechaDigDisplayFormat);
  DefineFields(cdsSangria, kSangria);
  DefineFields(cdsMovAbertura, kMovement);
  DefineFields(cdsMovTot, kMovement);
  DefineFields(cdsFormPgtoRedZ, kFormPgtoRedZ);
  DefineFields(cdsFormRedzAux01, kFormPgtoRedZ);
  DefineFields(cdsImpostoRedZ, kImpostoRedZ);
  DefineFields(cdsImpostoRedzAux01, kImpostoRedZ);
  DefineFields(cdsTotNFiscRedZ, kTotNFiscRedZ);
  DefineFields(cdsTotNFisAux01, kTotNFiscRedZ);
  DefineFields(cdsAliqProduto, kAliqProduto);
  DefineFields(cdsImposto, kImposto);
  DefineFields(cdsTeste, kTeste);

  // Stored indexes. The ones marked active are selected now; on the tables
  // whose fields come at run time the order applies once the fields exist.
  cdsAliqImpFis.AddIndex("IdxIdAliqVrAliq", "IDALIQIMPFIS;VRALIQIMPFIS");
  cdsAliqImpFis.SetIndexName("IdxIdAliqVrAliq");
  for (MemTable* movements : {&cdsMovCaixa, &cdsMovCaixaTef}) {
    movements->AddIndex("idxNRORDTROCO", "NRORDTROCO;DTHRINCMOV");
    movements->AddIndex("idxDTHRINCMOV", "DTHRINCMOV");
    movements->SetIndexName("idxNRORDTROCO");
  }
  cdsProdVend.AddIndex("IDXCDPRODUTO", "CDPRODUTO");
  cdsProdVend.AddIndex("idxTributacao", "IDTPIMPOSFIS;VRPEALIMPFIS");
  cdsAliqProduto.AddIndex("idxTributacao", "VRPERCSITTRIB");

  cdsCheckECF.SetAfterOpen(cdsCheckECFAfterOpen);
}

zel::MemTable* TdtmImpIBM::Tables(int index) {
  std::array<MemTable*, kTableCount> tables = {
      &cdsReceb,         &cdsRecebAux,       &cdsTipoRece,         &cdsTipoReceAux,
      &cdsReducaoZ,      &cdsRedzAux01,      &cdsAliqImpFis,       &cdsMovFecha,
      &cdsSangria,       &cdsMovAbertura,    &cdsMovTot,           &cdsFormPgtoRedZ,
      &cdsFormRedzAux01, &cdsImpostoRedZ,    &cdsImpostoRedzAux01, &cdsTotNFiscRedZ,
      &cdsTotNFisAux01,  &cdsAliqProduto,    &cdsImposto,          &cdsTeste,
      &cdsParcProdutos,  &cdsMovCaixa,       &cdsMovCaixaTef,      &cdsOperadorSup,
      &cdsProdVend,      &cdsItemsReg,       &cdsProdDeb,          &cdsTipoReceHomolog,
      &cdsMesaAberZel,   &cdsProdutoTransf,  &cdsDadosPaf,         &cdsCheckECF,
      &cdsParametros,    &cdsArquivosLumMd5, &cdsBuscaNrSerieEcf,  &cdsSaldCred,
      &cdsFamiliaSaldo,  &cdsEmprestimo,     &cdsVrSaldConsumi,    &cdsProdCred,
  };
  if (index < 0 || index >= kTableCount) return nullptr;
  return tables[static_cast<size_t>(index)];
}

zel::MemTable* TdtmImpIBM::FindTable(std::string_view name) {
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
  for (int i = 0; i < kTableCount; ++i) {
    MemTable* table = Tables(i);
    const std::string& table_name = table->name();
    if (table_name.size() != name.size()) continue;
    bool same = true;
    for (size_t c = 0; c < name.size() && same; ++c) same = lower(table_name[c]) == lower(name[c]);
    if (same) return table;
  }
  return nullptr;
}

TdtmImpIBM& EnsureDataModule() {
  // Created on first need and kept for the life of the process, as the host
  // application owns it; only the test reset drops it.
  if (dtmImpIBM == nullptr) dtmImpIBM = new TdtmImpIBM();
  return *dtmImpIBM;
}
