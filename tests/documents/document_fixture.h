// Common set-up of the till-document tests: the core fixture (sandbox,
// recording host, fake vendor) plus the printed text as the printer received
// it and small host tables built from literal rows.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "core/core_fixture.h"
#include "runtime/memtable.h"

namespace zel::test {

// A field of a test table: a name and a type ('s' text, 'f' float).
struct TestField {
  const char* name;
  char type = 's';
};

// A host table with these fields (texts of 60 characters) and rows.
inline void FillTable(MemTable& table, std::initializer_list<TestField> fields,
                      const std::vector<std::vector<HostVariant>>& rows) {
  table.Close();
  table.ClearFields();
  for (const TestField& f : fields) {
    if (f.type == 'f') {
      table.AddField(f.name, FieldType::kFloat);
    } else {
      table.AddField(f.name, FieldType::kString, 60);
    }
  }
  table.CreateDataSet();
  for (const auto& row : rows) table.AppendRecord(row);
  table.First();
}

// A products-sold table (the product report's layout): CDPRODIMPFIS,
// CDPRODUTO, NMPRODUTO, QTPRODVEND, VRTOTAL, VRACRE, VRDESC, IDTPIMPOSFIS,
// VRPEALIMPFIS.
inline void FillProducts(MemTable& table, const std::vector<std::vector<HostVariant>>& rows) {
  FillTable(table,
            {{"CDPRODIMPFIS"},
             {"CDPRODUTO"},
             {"NMPRODUTO"},
             {"QTPRODVEND", 'f'},
             {"VRTOTAL", 'f'},
             {"VRACRE", 'f'},
             {"VRDESC", 'f'},
             {"IDTPIMPOSFIS"},
             {"VRPEALIMPFIS", 'f'}},
            rows);
}

class DocumentTest : public CoreTest {
 protected:
  void SetUp() override { fake_.Answer("IBM_FI_NumeroCupom", 1, "000123"); }

  // The texts fed to the printer, one per feed call.
  std::vector<std::string> Feeds() const {
    std::vector<std::string> feeds;
    for (const FakeCall& call : fake_.CallsTo("IBM_FI_UsaComprovanteNaoFiscalVinculado")) {
      feeds.push_back(call.args[0]);
    }
    return feeds;
  }
  // Everything fed, as one text.
  std::string Printed() const {
    std::string text;
    for (const std::string& feed : Feeds()) text += feed;
    return text;
  }
  // The vendor calls without the status queries of the return analysis.
  std::vector<std::string> Commands() const {
    std::vector<std::string> names;
    for (const std::string& name : fake_.Names()) {
      if (name != "IBM_FI_RetornoImpressora") names.push_back(name);
    }
    return names;
  }
  // The document types recorded with the host, in order.
  std::vector<std::string> Records() const {
    std::vector<std::string> types;
    for (const DocCall& call : host_.doc_calls()) types.push_back(call.doc_type);
    return types;
  }
};

}  // namespace zel::test
