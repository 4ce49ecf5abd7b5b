// libFuzzer target: any bytes given to a table as a data packet (binary or
// XML) either load or raise DatasetError; what loads can be written again in
// both forms and read back.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "runtime/host_error.h"
#include "runtime/memtable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view packet(reinterpret_cast<const char*>(data), size);
  zel::MemTable table;
  try {
    table.SetData(packet);
  } catch (const zel::DatasetError&) {
    return 0;
  }
  try {
    zel::MemTable copy;
    copy.SetData(table.Data());
    copy.SetData(table.SaveToString(zel::MemTable::PacketFormat::kXml));
    copy.SetData(table.SaveToString(zel::MemTable::PacketFormat::kXmlUtf8));
  } catch (const zel::DatasetError&) {
    // A value that only its own form can hold (a decimal too long to pack).
  }
  return 0;
}
