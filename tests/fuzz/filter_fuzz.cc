// libFuzzer target: any filter text is either applied or refused with
// DatasetError, and an applied filter evaluates every record.
#include <cstddef>
#include <cstdint>
#include <string>

#include "runtime/datetime.h"
#include "runtime/host_error.h"
#include "runtime/memtable.h"

namespace {

zel::MemTable& Table() {
  static zel::MemTable* table = [] {
    auto* t = new zel::MemTable("fuzz");
    t->AddField("CD", zel::FieldType::kString, 3);
    t->AddField("NM", zel::FieldType::kString, 20);
    t->AddField("VR", zel::FieldType::kFloat);
    t->AddField("QT", zel::FieldType::kInteger);
    t->AddField("OK", zel::FieldType::kBoolean);
    t->AddField("DT", zel::FieldType::kDateTime);
    t->CreateDataSet();
    t->AppendRecord({"1", "Dinheiro", 10.5, 2, true,
                     zel::HostVariant::FromDateTime(zel::EncodeDate(2024, 1, 5))});
    t->AppendRecord({"2"});
    t->AppendRecord({"3", "", -1.0, 0, false});
    return t;
  }();
  return *table;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zel::MemTable& table = Table();
  table.SetFiltered(false);
  table.SetFilter(std::string(reinterpret_cast<const char*>(data), size));
  try {
    table.SetFiltered(true);
  } catch (const zel::DatasetError&) {
    return 0;
  }
  for (table.First(); !table.Eof(); table.Next()) {
  }
  return 0;
}
