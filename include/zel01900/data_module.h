// The driver's data module: the two keyed message tables and the forty
// working tables that the operations share, in one object (the single
// instance dtmImpIBM of module_vars.h).
//
// Every component is a public member under its stored name. The tables start
// closed and empty; the tables with stored fields carry their field
// definitions (names, types, widths, in stored order) and the stored indexes,
// so that CreateDataSet opens them ready to fill. The tables whose fields the
// operations define at run time start without definitions (some carry
// stored indexes; the active one is selected and takes effect once the table
// has the indexed fields). cdsCheckECF runs cdsCheckECFAfterOpen each time
// it opens.
#pragma once

#include <string_view>

#include "hostutil/messages.h"
#include "runtime/memtable.h"
#include "zel01900/module_vars.h"

class TdtmImpIBM {
 public:
  // Builds every component from the stored definition; the message tables
  // are filled with their stored entries.
  TdtmImpIBM();
  TdtmImpIBM(const TdtmImpIBM&) = delete;
  TdtmImpIBM& operator=(const TdtmImpIBM&) = delete;

  // ---- Message tables ----
  zel::TMessages msgPadrao;   // 222 entries
  zel::TMessages msgPadrao2;  // 39 entries

  // ---- Tables with stored fields ----
  // Payment-form layout (33 fields; cdsRecebAux the first 28).
  zel::MemTable cdsReceb{"cdsReceb"};
  zel::MemTable cdsRecebAux{"cdsRecebAux"};
  zel::MemTable cdsTipoRece{"cdsTipoRece"};
  zel::MemTable cdsTipoReceAux{"cdsTipoReceAux"};
  // Z-reduction layout (27 fields; cdsRedzAux01 without IDORIGEMREDZ).
  zel::MemTable cdsReducaoZ{"cdsReducaoZ"};
  zel::MemTable cdsRedzAux01{"cdsRedzAux01"};
  zel::MemTable cdsAliqImpFis{"cdsAliqImpFis"};
  // VRFECHADIG is shown with kVrFechaDigDisplayFormat.
  zel::MemTable cdsMovFecha{"cdsMovFecha"};
  zel::MemTable cdsSangria{"cdsSangria"};
  zel::MemTable cdsMovAbertura{"cdsMovAbertura"};
  zel::MemTable cdsMovTot{"cdsMovTot"};
  zel::MemTable cdsFormPgtoRedZ{"cdsFormPgtoRedZ"};
  zel::MemTable cdsFormRedzAux01{"cdsFormRedzAux01"};
  zel::MemTable cdsImpostoRedZ{"cdsImpostoRedZ"};
  zel::MemTable cdsImpostoRedzAux01{"cdsImpostoRedzAux01"};
  zel::MemTable cdsTotNFiscRedZ{"cdsTotNFiscRedZ"};
  zel::MemTable cdsTotNFisAux01{"cdsTotNFisAux01"};
  zel::MemTable cdsAliqProduto{"cdsAliqProduto"};
  zel::MemTable cdsImposto{"cdsImposto"};
  zel::MemTable cdsTeste{"cdsTeste"};

  // ---- Tables whose fields are defined at run time ----
  zel::MemTable cdsParcProdutos{"cdsParcProdutos"};
  zel::MemTable cdsMovCaixa{"cdsMovCaixa"};
  zel::MemTable cdsMovCaixaTef{"cdsMovCaixaTef"};
  zel::MemTable cdsOperadorSup{"cdsOperadorSup"};
  zel::MemTable cdsProdVend{"cdsProdVend"};
  zel::MemTable cdsItemsReg{"cdsItemsReg"};
  zel::MemTable cdsProdDeb{"cdsProdDeb"};
  zel::MemTable cdsTipoReceHomolog{"cdsTipoReceHomolog"};
  zel::MemTable cdsMesaAberZel{"cdsMesaAberZel"};
  zel::MemTable cdsProdutoTransf{"cdsProdutoTransf"};
  zel::MemTable cdsDadosPaf{"cdsDadosPaf"};
  zel::MemTable cdsCheckECF{"cdsCheckECF"};
  zel::MemTable cdsParametros{"cdsParametros"};
  zel::MemTable cdsArquivosLumMd5{"cdsArquivosLumMd5"};
  zel::MemTable cdsBuscaNrSerieEcf{"cdsBuscaNrSerieEcf"};
  zel::MemTable cdsSaldCred{"cdsSaldCred"};
  zel::MemTable cdsFamiliaSaldo{"cdsFamiliaSaldo"};
  zel::MemTable cdsEmprestimo{"cdsEmprestimo"};
  zel::MemTable cdsVrSaldConsumi{"cdsVrSaldConsumi"};
  zel::MemTable cdsProdCred{"cdsProdCred"};

  // Display format of cdsMovFecha.VRFECHADIG.
  static constexpr std::string_view kVrFechaDigDisplayFormat = "#,##0.00";

  // Number of working tables (the MemTable members above).
  static constexpr int kTableCount = 40;
  // The working tables in the order above; for code that visits them all.
  zel::MemTable* Tables(int index);
  // The working table of that name (compared without regard to case), or
  // nullptr.
  zel::MemTable* FindTable(std::string_view name);
};

// The data module, created (with every component as stored) when no
// instance exists yet; the existing one otherwise. The instance is kept in
// dtmImpIBM and never destroyed by the driver's operations.
TdtmImpIBM& EnsureDataModule();
