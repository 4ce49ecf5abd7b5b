// The detail-tape memory (MFD): every line the printer prints, kept as an
// append-only journal beside the memory file, and the files made from it
// (the binary download and the mirror text).
//
// Journal record (binary, little-endian):
//   "MFDR"             4 bytes, the record mark
//   length             uint32, bytes of the payload
//   checksum           uint32, CRC-32 of the payload
//   payload            COO (6 digits), date (yyyymmdd), time (hhmmss), the
//                      length of the printed text (8 digits), the printed
//                      lines (Windows-1252, each ending CR LF), then the
//                      document data (Printer::TakeFiscalDetail), if any
// A record is written once and never changed. The memory file records how
// many journal bytes belong to commands that completed (see session.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zel::emu {

struct MfdRecord {
  int coo = 0;
  int date = 0;      // yyyymmdd of the printer's clock
  int time = 0;      // hhmmss
  std::string text;  // the printed lines
  std::string data;  // the document data for the regulatory files
};

inline constexpr std::string_view kMfdRecordMark = "MFDR";
inline constexpr size_t kMfdRecordHeader = 12;

std::string FrameMfdRecord(const MfdRecord& record);

// The outcome of reading journal bytes from their start.
struct MfdScan {
  // How many bytes hold whole, intact records.
  size_t good_bytes = 0;
  // The bytes after good_bytes are the start of a record cut short (a write
  // that did not finish).
  bool torn_tail = false;
  // A record that is whole but damaged (wrong mark, checksum or payload);
  // `why` says where.
  bool damaged = false;
  std::string why;
};

// Reads records from `bytes`; `on_record` (may be empty) receives each
// intact record. `base` is the offset of `bytes` in the journal (for `why`).
MfdScan ScanMfd(std::string_view bytes, int64_t base,
                const std::function<void(const MfdRecord&)>& on_record);

// ---- The download file ----
//
//   "IBMFI32-DOWNLOAD-MFD 1" CR LF
//   "SERIE=" serial number CR LF
//   "FAIXA=" range type ";" start ";" end CR LF
//   "REGISTROS=" number of records CR LF
//   the records, framed as in the journal
//   "CRC32=" eight upper-case hexadecimal digits (CRC-32 of every byte
//   before this line) CR LF
struct MfdDump {
  std::string serial;
  std::string range_type, start, end;
  std::vector<MfdRecord> records;
};

std::string MakeMfdDump(const MfdDump& dump);
// False (with *why) when `bytes` is not a whole, intact download.
bool ParseMfdDump(std::string_view bytes, MfdDump* dump, std::string* why);

// The fiscal memory's download: the same layout under the first line
// "IBMFI32-DOWNLOAD-MF 1", its records those of the fiscal-memory journal
// (one per reduction: the CRZ as the COO, the movement date, the reduction's
// line as the text).
std::string MakeMfDump(const MfdDump& dump);
bool ParseMfDump(std::string_view bytes, MfdDump* dump, std::string* why);

// The mirror of the downloaded MFD as text (Windows-1252, CR LF): a header
// with the serial number and the range, then every record's lines under a
// line naming its COO, date and time.
std::string MfdMirrorText(const MfdDump& dump);

}  // namespace zel::emu
