// The simulated printer's journal readers on arbitrary bytes: a journal scan
// (records with their marks, lengths and checksums), an MFD download file and
// a reduction's line. None may crash, read out of bounds or take a cut or
// damaged record as a good one; a download that parses is written back as
// the same bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "emulator/mfd.h"
#include "emulator/persistence.h"
#include "emulator/printer_state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);

  size_t seen = 0;
  zel::emu::MfdScan scan = zel::emu::ScanMfd(bytes, 0, [&](const zel::emu::MfdRecord& record) {
    seen += zel::emu::kMfdRecordHeader + 28 + record.text.size() + record.data.size();
  });
  if (scan.good_bytes > size || seen != scan.good_bytes) __builtin_trap();

  zel::emu::MfdDump dump;
  std::string why;
  if (zel::emu::ParseMfdDump(bytes, &dump, &why)) {
    if (zel::emu::MakeMfdDump(dump).size() != size) __builtin_trap();
    zel::emu::MfdMirrorText(dump);
  }

  zel::emu::ZRecord z;
  if (zel::emu::DeserializeReduction(bytes, &z)) {
    zel::emu::ZRecord again;
    if (!zel::emu::DeserializeReduction(zel::emu::SerializeReduction(z), &again)) {
      __builtin_trap();
    }
  }
  return 0;
}
