// Layouts of tables the host hands to the driver, shared by the tests and the
// benchmarks that build them.
#pragma once

#include "runtime/memtable.h"

namespace zel::test {

// The sale's cash movements (the closing's table of movements): fields only.
inline void DefineMovementFields(MemTable& table) {
  for (const char* name :
       {"CDFILIAL", "IDTIPOMOVIVE", "CDTIPORECE", "NMTIPORECE", "IDTIPORECE", "CDTIPOTROCO",
        "NRORDTROCO", "CDCLIENTE", "CDCONSUMIDOR", "DSIMPFISCAL", "CDFPIMPFIS", "NRCARTBANCO",
        "CDNSUHOSTTEF", "CDBANCARTCR", "CDTIPORECEORIG"}) {
    table.AddField(name, FieldType::kString, 40);
  }
  for (const char* name : {"VRMOVIVEND", "VRMOVIVEOUT", "VRCOTINDOUT"}) {
    table.AddField(name, FieldType::kFloat);
  }
  table.AddField("DTHRINCMOV", FieldType::kDateTime);
  table.AddField("DTMOVIMCAIXA", FieldType::kDateTime);
}

}  // namespace zel::test
